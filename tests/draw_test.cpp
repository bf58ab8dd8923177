// Wrapped drawing: the lines handed to SDL_RenderDrawLine for segments and
// outlines on the torus field, recorded through the seam in tests/seams.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "draw.h"
#include "seams.h"

namespace {

using Lines = std::vector<DrawnLine>;
constexpr Vector FIELD{800, 600};

Segment seg(double x, double y, double dx, double dy) { return Segment{{x, y}, {dx, dy}}; }

Lines wrapped(Segment segment, Vector field = FIELD) {
    reset_seams();
    draw_wrapped_segment(nullptr, segment, field);
    return seams.lines;
}

} // namespace

TEST(DrawWrappedSegment, ExactLinesAcrossBordersMarginsAndCorners) {
    const std::pair<Segment, Lines> cases[] = {
        {seg(790, 300, 20, 10), {{0, 304, 10, 310}, {790, 300, 799, 304}}},
        {seg(810, 310, -20, -10), {{0, 304, 10, 310}, {790, 300, 799, 304}}},
        {seg(100, 590, 0, 20), {{100, 0, 100, 10}, {100, 590, 100, 599}}},
        {seg(-20, 100, 10, 0), {{779, 100, 789, 100}}},
        {seg(780, 100, 40, -20), {{20, 80, 0, 90}, {799, 90, 780, 100}}},
        {seg(785, 590, 20, 20), {{0, 5, 5, 10}, {794, 0, 799, 5}, {785, 590, 794, 599}}},
        {seg(-1000, 300, 250, 0), {{0, 300, 49, 300}, {599, 300, 799, 300}}},
        {seg(1590, 300, 20, 0), {{0, 300, 10, 300}, {790, 300, 799, 300}}},
        {seg(0, 300, 799.9999, 0), {{0, 300, 799, 300}, {799, 300, 799, 300}}},
        {seg(5, 300, 2000, 0), {{0, 300, 799, 300}, {0, 300, 405, 300}, {5, 300, 799, 300}}},
        // Starting on the left border leaves a one-pixel line at the far one.
        {seg(0, 300, 10, 0), {{0, 300, 9, 300}, {799, 300, 799, 300}}},
        // Once the overhang is cut off, the rest ends a rounding step past the cut
        // line; it still has to be moved to start inside the field.
        {seg(-224.1, 300, 1024.1, 0),
         {{0, 300, 0, 300}, {0, 300, 799, 300}, {0, 300, 0, 300}, {575, 300, 799, 300}}},
        // An end exactly on the margin: a cut-off stretch of no length, still drawn.
        {seg(100, 0, 0, 0.0001), {{100, 0, 100, 0}, {100, 599, 100, 599}}},
        // Points: on the borders they wrap, on the margins they stay.
        {seg(0, 300, 0, 0), {{799, 300, 799, 300}}},
        {seg(800, 300, 0, 0), {{0, 300, 0, 300}}},
        {seg(0.0001, 300, 0, 0), {{0, 300, 0, 300}}},
        {seg(799.9999, 300, 0, 0), {{799, 300, 799, 300}}},
        // Far outside, up to the reach: moved by whole periods.
        {seg(-1e6, 300, 0, 0), {{799, 300, 799, 300}}},
        {seg(800 + 1e6, 300, 0, 0), {{0, 300, 0, 300}}},
    };
    for (const auto& [s, lines] : cases) {
        EXPECT_EQ(wrapped(s), lines) << s.origin.x << ", " << s.origin.y;
    }
    EXPECT_EQ(wrapped(seg(0.0001, 300, 0, 0), {0.00025, 600}), (Lines{{0, 300, 0, 300}}))
        << "a field of half a margin's period is still drawn";
    // A field so tall that its margin is below the rounding of y: the cut at the
    // bottom border must not come out longer than the segment.
    EXPECT_EQ(wrapped(seg(0, 1e-306, 799.9999, 0x1.33p-12), {800, 2576980377600}),
              (Lines{{0, 0, 799, 0}}));
    // Nor shorter than none, when moving a copy by a period falls short of the cut.
    for (const DrawnLine& line : wrapped(seg(0, 1e-229, 39.99349346504277, 0x1.336e2eb1c2d88p-12),
                                         {3.126953125, 352321536000})) {
        EXPECT_TRUE(line.x1 >= 0 && line.x1 <= 3 && line.x2 >= 0 && line.x2 <= 3)
            << line.x1 << " to " << line.x2;
    }
}

TEST(DrawWrappedSegment, UndrawableInputsAndTinyFieldsEndPromptlyAndDrawNothing) {
    const double just = std::nextafter(0.0002, 1), barely = 0.0002 + 1e-13;
    const std::pair<Segment, Vector> cases[] = {
        {seg(NAN, 300, 10, 0), FIELD},
        {seg(-INFINITY, 300, INFINITY, 0), FIELD},
        {seg(-1e6 - 10, 300, 5, 0), FIELD},
        {seg(1e6, 300, 1000, 0), FIELD},
        {seg(300, 1e6, 0, 1000), FIELD},
        {seg(0, 5e5, 1e6, 6e5), FIELD}, // the far end is out of reach, and only along y
        {seg(400, 600 + 1e6 + 10, 0, -5), FIELD},
        {seg(100, 100, 10, 10), {0.0002, 600}},
        {seg(100, 100, 10, 10), {800, INFINITY}},
        // Fields barely wider than both margins: the margin alone would take
        // billions of passes, or, below the rounding of the coordinates, no end.
        {seg(0, 300, 0.0002, 0), {barely, 600}},
        {seg(0, 300, 0.0002, 0), {just, 600}},
        {seg(300, 0, 0, 0.0002), {800, barely}},
        {seg(300, 0, 0, 0.0002), {800, just}},
    };
    for (const auto& [s, field] : cases) {
        EXPECT_EQ(wrapped(s, field), Lines{})
            << s.origin.x << " in " << field.x << " by " << field.y;
    }
    // One line truncated toward zero, or none when a coordinate has no int; then
    // wrapped along y only (x is left as it is).
    reset_seams();
    draw_segment(nullptr, seg(-1.5, 2.9, 3.0, -0.2));
    draw_segment(nullptr, seg(2147483647.5, -2147483648.5, 0, 0));
    draw_segment(nullptr, seg(2147483648.0, 0, 0, 0));
    draw_segment(nullptr, seg(0, -2147483649.0, 0, 0));
    draw_ywrapped_segment(nullptr, seg(900.5, 590, -5, 20), 600);
    draw_ywrapped_segment(nullptr, seg(100, INFINITY, 10, 10), 600);
    draw_ywrapped_segment(nullptr, seg(100, 1e6, 0, 1000), 600);
    draw_ywrapped_segment(nullptr, seg(NAN, 100, 10, 10), 600);
    EXPECT_EQ(seams.lines, (Lines{{-1, 2, 1, 2},
                                  {INT_MAX, INT_MIN, INT_MAX, INT_MIN},
                                  {898, 0, 895, 10},
                                  {900, 590, 898, 599}}));
}

TEST(DrawOrientedPolygon, ClosedAndOpenOutlinesTurnedAndPlaced) {
    auto drawn = [](std::vector<Vector> points, int32_t closed, Vector at, Vector orientation) {
        reset_seams();
        const Polygon polygon{points.data(), static_cast<uint32_t>(points.size()), closed, 0, 0, 0};
        draw_oriented_polygon(nullptr, polygon, at, orientation, FIELD);
        return seams.lines;
    };
    // Each edge from R(p) to R(q), not along R(q - p): here the end lands on 402.
    EXPECT_EQ(drawn({{72.8, -73.8}, {23.3, -80.4}, {0, 0}}, 1, {323.7, 238.6}, {0.6, 0.8}),
              (Lines{{323, 238, 426, 252}, {402, 209, 426, 252}, {402, 209, 323, 238}}));
    EXPECT_EQ(drawn({}, 1, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(drawn({{3, 4}}, 0, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(drawn({{3, 4}}, 1, {100, 100}, {1, 0}), (Lines{{103, 104, 103, 104}}));
}
