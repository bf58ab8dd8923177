// Wrapped drawing: the lines handed to SDL_RenderDrawLine for segments and
// outlines on the torus field, recorded through the seam in tests/seams.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "draw.h"
#include "seams.h"

static std::ostream& operator<<(std::ostream& o, const Segment& s) {
    return o << s.origin.x << ", " << s.origin.y << " by " << s.direction.x << ", "
             << s.direction.y;
}

namespace {

using Lines = std::vector<DrawnLine>;
constexpr Vector FIELD{800, 600};

Segment seg(double x, double y, double dx, double dy) { return Segment{{x, y}, {dx, dy}}; }

Lines wrapped(Segment segment, Vector field = FIELD) {
    reset_seams();
    draw_wrapped_segment(nullptr, segment, field);
    return seams.lines;
}

// Whether some t in [0, 1] puts o + t d within a pixel of (x, y) on each axis; a
// zero direction gives infinite bounds on t, all or nothing.
bool passes_near(double x, double y, Vector o, Vector d) {
    const auto [lx, hx] = std::minmax({(x - 1 - o.x) / d.x, (x + 1 - o.x) / d.x});
    const auto [ly, hy] = std::minmax({(y - 1 - o.y) / d.y, (y + 1 - o.y) / d.y});
    return std::max({0.0, lx, ly}) <= std::min({1.0, hx, hy});
}

} // namespace

TEST(DrawWrappedSegment, ExactLinesAcrossBordersAndCorners) {
    const std::pair<Segment, Lines> cases[] = {
        {seg(790, 300, 20, 10), {{0, 304, 10, 310}, {790, 300, 799, 304}}},
        {seg(810, 310, -20, -10), {{0, 304, 10, 310}, {790, 300, 799, 304}}},
        {seg(300, 200, 10, -10), {{310, 190, 300, 200}}},
        {seg(100, 590, 0, 20), {{100, 0, 100, 10}, {100, 590, 100, 599}}},
        {seg(-20, 100, 10, 0), {{779, 100, 789, 100}}},
        {seg(50, -30, 0, 10), {{50, 569, 50, 579}}},
        {seg(780, 100, 40, -20), {{20, 80, 0, 90}, {799, 90, 780, 100}}},
        {seg(785, 590, 20, 20), {{0, 5, 5, 10}, {794, 0, 799, 5}, {785, 590, 794, 599}}},
        {seg(1700, 700, 5, 5), {{100, 100, 105, 105}}},
        {seg(5, 300, 2000, 0), {{0, 300, 799, 300}, {0, 300, 405, 300}, {5, 300, 799, 300}}},
        // Starting exactly on the left border leaves a one-pixel line at the far one.
        {seg(0, 300, 10, 0), {{0, 300, 9, 300}, {799, 300, 799, 300}}},
        // Once the overhang is cut off, the rest ends a rounding step past the cut
        // line; it still has to be moved to start inside the field.
        {seg(-224.1, 300, 1024.1, 0),
         {{0, 300, 0, 300}, {0, 300, 799, 300}, {0, 300, 0, 300}, {575, 300, 799, 300}}},
        // An end exactly on the margin: the cut-off stretch has no length, and is
        // still drawn at the near border.
        {seg(100, 0, 0, 0.0001), {{100, 0, 100, 0}, {100, 599, 100, 599}}},
        {seg(0, 300, 0.0001, 0), {{0, 300, 0, 300}, {799, 300, 799, 300}}},
        // Points, on the borders and margins too.
        {seg(400, 300, 0, 0), {{400, 300, 400, 300}}},
        {seg(0, 300, 0, 0), {{799, 300, 799, 300}}},
        {seg(800, 300, 0, 0), {{0, 300, 0, 300}}},
        {seg(100, 0, 0, 0), {{100, 599, 100, 599}}},
        {seg(0.0001, 300, 0, 0), {{0, 300, 0, 300}}},
        {seg(799.9999, 300, 0, 0), {{799, 300, 799, 300}}},
        // Far outside, yet within reach: moved by whole periods.
        {seg(-5000, 300, 10, 0), {{599, 300, 609, 300}}},
        {seg(400, 5300, 0, 10), {{400, 500, 400, 510}}},
        {seg(-1e6, 300, 0, 0), {{799, 300, 799, 300}}},
        {seg(800 + 1e6, 300, 0, 0), {{0, 300, 0, 300}}},
    };
    for (const auto& [segment, lines] : cases) {
        EXPECT_EQ(wrapped(segment), lines) << segment;
    }
}

TEST(DrawSegments, UndrawableInputsAndTinyFieldsEndPromptlyAndDrawNothing) {
    const double just = std::nextafter(0.0002, 1), barely = 0.0002 + 1e-13;
    const std::pair<Segment, Vector> cases[] = {
        {seg(NAN, 300, 10, 0), FIELD},
        {seg(400, 300, 1, NAN), FIELD},
        {seg(-INFINITY, 300, INFINITY, 0), FIELD},
        {seg(400, 300, 0, INFINITY), FIELD},
        {seg(-1e6 - 10, 300, 5, 0), FIELD},
        {seg(400, 600 + 1e6 + 10, 0, -5), FIELD},
        {seg(100, 100, 10, 10), {0.0002, 600}},
        {seg(100, 100, 10, 10), {-800, 600}},
        {seg(100, 100, 10, 10), {NAN, 600}},
        {seg(100, 100, 10, 10), {800, INFINITY}},
        // Fields barely wider than both margins: the margin alone would take
        // billions of passes, or, below the rounding of the coordinates, no end.
        {seg(0, 300, 0.0002, 0), {barely, 600}},
        {seg(0, 300, 0.0002, 0), {just, 600}},
        {seg(300, 0, 0, 0.0002), {800, barely}},
        {seg(300, 0, 0, 0.0002), {800, just}},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [s, field] : cases) {
        EXPECT_EQ(wrapped(s, field), Lines{}) << s << " in " << field.x << " by " << field.y;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(wrapped(seg(0.0001, 300, 0, 0), {0.00025, 600}), (Lines{{0, 300, 0, 300}}))
        << "a field of half a margin's period is still drawn";
    // One line truncated toward zero, or not drawn when a coordinate has no int;
    // then wrapped along y only (x is left as it is).
    reset_seams();
    draw_segment(nullptr, seg(-1.5, 2.9, 3.0, -0.2));
    draw_segment(nullptr, seg(2147483647.5, -2147483648.5, 0, 0));
    draw_segment(nullptr, seg(2147483648.0, 0, 0, 0));
    draw_segment(nullptr, seg(0, -2147483649.0, 0, 0));
    draw_ywrapped_segment(nullptr, seg(900.5, 590, -5, 20), 600);
    draw_ywrapped_segment(nullptr, seg(100, INFINITY, 10, 10), 600);
    draw_ywrapped_segment(nullptr, seg(NAN, 100, 10, 10), 600);
    EXPECT_EQ(seams.lines, (Lines{{-1, 2, 1, 2},
                                  {INT_MAX, INT_MIN, INT_MAX, INT_MIN},
                                  {898, 0, 895, 10},
                                  {900, 590, 898, 599}}));
}

TEST(DrawOrientedPolygon, ClosedTriangleAndOpenPolyline) {
    auto drawn = [](std::vector<Vector> points, int32_t closed, Vector at, Vector orientation) {
        reset_seams();
        draw_oriented_polygon(
            nullptr, {points.data(), static_cast<uint32_t>(points.size()), closed, 0, 0, 0}, at,
            orientation, FIELD);
        return seams.lines;
    };
    const std::vector<Vector> missile = {{6, 0}, {0, -2}, {0, 2}};
    EXPECT_EQ(drawn(missile, 1, {100, 100}, {0, -1}),
              (Lines{{100, 94, 102, 100}, {100, 94, 98, 100}, {98, 100, 102, 100}}));
    EXPECT_EQ(drawn(missile, 0, {100, 100}, {0, -1}),
              (Lines{{100, 94, 98, 100}, {98, 100, 102, 100}}));
    // The orientation is used as given: twice as long draws twice as large.
    EXPECT_EQ(drawn(missile, 1, {100, 100}, {0, -2}),
              (Lines{{100, 88, 104, 100}, {100, 88, 96, 100}, {96, 100, 104, 100}}));
    // Straddling the top border: edges over it come back at the bottom.
    EXPECT_EQ(
        drawn(missile, 1, {1, 1}, {1, 0}),
        (Lines{{7, 1, 1, 3}, {4, 0, 7, 0}, {1, 598, 4, 599}, {1, 0, 1, 2}, {1, 598, 1, 599}}));
    // Each edge from R(p) to R(q), not along R(q - p): here the end lands on 402.
    EXPECT_EQ(drawn({{72.8, -73.8}, {23.3, -80.4}, {0, 0}}, 1, {323.7, 238.6}, {0.6, 0.8}),
              (Lines{{323, 238, 426, 252}, {402, 209, 426, 252}, {402, 209, 323, 238}}));
    EXPECT_EQ(drawn({}, 1, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(drawn({{3, 4}}, 0, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(drawn({{3, 4}}, 1, {100, 100}, {1, 0}), (Lines{{103, 104, 103, 104}}));
}

TEST(DrawWrappedSegment, RandomSegmentsStayInFieldAndAddUp) {
    const Vector period{FIELD.x - 2 * WRAP_MARGIN, FIELD.y - 2 * WRAP_MARGIN};
    for (uint64_t seed = 1; seed <= 20000; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937_64 rng(seed);
        std::uniform_real_distribution<double> x(-800, 1600), y(-600, 1200), unit(-1, 1);
        // A sloped segment stays shorter than the field along each axis: a longer
        // one is cut into period-long pieces each drawn from the border, which are
        // not whole periods away from where they lie on the segment. Level and
        // upright segments and single points (kinds 0, 1, 2) have any length.
        const uint64_t kind = rng() % 8;
        const double along = 2000 * unit(rng);
        const Vector sloped{799 * unit(rng), 599 * unit(rng)};
        const Segment s{{x(rng), y(rng)},
                        kind > 2 ? sloped : Vector{kind == 0 ? along : 0, kind == 1 ? along : 0}};
        const Lines lines = wrapped(s);
        ASSERT_FALSE(lines.empty()) << s;
        double extent_x = 0, extent_y = 0;
        for (const DrawnLine& l : lines) {
            ASSERT_TRUE(std::min({l.x1, l.y1, l.x2, l.y2}) >= 0 && std::max(l.x1, l.x2) < 800 &&
                        std::max(l.y1, l.y2) < 600)
                << testing::PrintToString(l) << " from " << s;
            // Both ends near the segment shifted by the same whole numbers of periods.
            bool found = false;
            for (int k = 0; k < 17 * 17 && !found; ++k) {
                const Vector o{s.origin.x + (k % 17 - 8) * period.x,
                               s.origin.y + (k / 17 - 8) * period.y};
                found = passes_near(l.x1, l.y1, o, s.direction) &&
                        passes_near(l.x2, l.y2, o, s.direction);
            }
            ASSERT_TRUE(found) << testing::PrintToString(l) << " from " << s;
            extent_x += std::abs(l.x2 - l.x1);
            extent_y += std::abs(l.y2 - l.y1);
        }
        ASSERT_NEAR(extent_x, std::fabs(s.direction.x), lines.size()) << s;
        ASSERT_NEAR(extent_y, std::fabs(s.direction.y), lines.size()) << s;
    }
}
