// Wrapped drawing: the lines handed to SDL_RenderDrawLine for segments and
// outlines on the torus field, recorded through the seam in tests/seams.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <random>
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

Lines outline(std::vector<Vector> points, int32_t closed, Vector position, Vector orientation) {
    Polygon polygon{};
    polygon.vertices = points.data();
    polygon.count = static_cast<uint32_t>(points.size());
    polygon.closed = closed;
    reset_seams();
    draw_oriented_polygon(nullptr, polygon, position, orientation, FIELD);
    return seams.lines;
}

} // namespace

TEST(DrawSegment, OneLineTruncatedTowardZero) {
    reset_seams();
    draw_segment(nullptr, seg(-1.5, 2.9, 3.0, -0.2));
    EXPECT_EQ(seams.lines, (Lines{{-1, 2, 1, 2}}));
    reset_seams();
    draw_ywrapped_segment(nullptr, seg(900.5, 590, -5, 20), 600); // x is not wrapped here
    EXPECT_EQ(seams.lines, (Lines{{898, 0, 895, 10}, {900, 590, 898, 599}}));
}

TEST(DrawWrappedSegment, AcrossBordersAndCorners) {
    EXPECT_EQ(wrapped(seg(790, 300, 20, 10)), (Lines{{0, 304, 10, 310}, {790, 300, 799, 304}}));
    EXPECT_EQ(wrapped(seg(810, 310, -20, -10)), (Lines{{0, 304, 10, 310}, {790, 300, 799, 304}}));
    EXPECT_EQ(wrapped(seg(300, 200, 10, -10)), (Lines{{310, 190, 300, 200}}));
    EXPECT_EQ(wrapped(seg(100, 590, 0, 20)), (Lines{{100, 0, 100, 10}, {100, 590, 100, 599}}));
    EXPECT_EQ(wrapped(seg(-20, 100, 10, 0)), (Lines{{779, 100, 789, 100}}));
    EXPECT_EQ(wrapped(seg(50, -30, 0, 10)), (Lines{{50, 569, 50, 579}}));
    EXPECT_EQ(wrapped(seg(780, 100, 40, -20)), (Lines{{20, 80, 0, 90}, {799, 90, 780, 100}}));
    EXPECT_EQ(wrapped(seg(785, 590, 20, 20)),
              (Lines{{0, 5, 5, 10}, {794, 0, 799, 5}, {785, 590, 794, 599}}));
    EXPECT_EQ(wrapped(seg(1700, 700, 5, 5)), (Lines{{100, 100, 105, 105}}));
    EXPECT_EQ(wrapped(seg(5, 300, 2000, 0)),
              (Lines{{0, 300, 799, 300}, {0, 300, 405, 300}, {5, 300, 799, 300}}));
    // Starting exactly on the left border leaves a one-pixel line at the far one.
    EXPECT_EQ(wrapped(seg(0, 300, 10, 0)), (Lines{{0, 300, 9, 300}, {799, 300, 799, 300}}));
    // Once the overhang is cut off, the rest ends a rounding step past the cut
    // line; it still has to be moved to start inside the field.
    EXPECT_EQ(
        wrapped(seg(-224.1, 300, 1024.1, 0)),
        (Lines{{0, 300, 0, 300}, {0, 300, 799, 300}, {0, 300, 0, 300}, {575, 300, 799, 300}}));
    EXPECT_EQ(
        wrapped(seg(300, -424.1, 0, 1024.3)),
        (Lines{{300, 0, 300, 0}, {300, 0, 300, 599}, {300, 0, 300, 0}, {300, 175, 300, 599}}));
}

TEST(DrawWrappedSegment, ZeroLengthSegments) {
    EXPECT_EQ(wrapped(seg(400, 300, 0, 0)), (Lines{{400, 300, 400, 300}}));
    EXPECT_EQ(wrapped(seg(0, 300, 0, 0)), (Lines{{799, 300, 799, 300}}));
    EXPECT_EQ(wrapped(seg(800, 300, 0, 0)), (Lines{{0, 300, 0, 300}}));
    EXPECT_EQ(wrapped(seg(100, 0, 0, 0)), (Lines{{100, 599, 100, 599}}));
}

TEST(DrawOrientedPolygon, ClosedTriangleAndOpenPolyline) {
    const std::vector<Vector> missile = {{6, 0}, {0, -2}, {0, 2}};
    EXPECT_EQ(outline(missile, 1, {100, 100}, {0, -1}),
              (Lines{{100, 94, 102, 100}, {100, 94, 98, 100}, {98, 100, 102, 100}}));
    EXPECT_EQ(outline(missile, 0, {100, 100}, {0, -1}),
              (Lines{{100, 94, 98, 100}, {98, 100, 102, 100}}));
    // The orientation is used as given: twice as long draws twice as large.
    EXPECT_EQ(outline(missile, 1, {100, 100}, {0, -2}),
              (Lines{{100, 88, 104, 100}, {100, 88, 96, 100}, {96, 100, 104, 100}}));
    // Straddling the top border: edges over it come back at the bottom.
    EXPECT_EQ(
        outline(missile, 1, {1, 1}, {1, 0}),
        (Lines{{7, 1, 1, 3}, {4, 0, 7, 0}, {1, 598, 4, 599}, {1, 0, 1, 2}, {1, 598, 1, 599}}));
    EXPECT_EQ(outline({}, 1, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(outline({{3, 4}}, 0, {100, 100}, {1, 0}), Lines{});
    EXPECT_EQ(outline({{3, 4}}, 1, {100, 100}, {1, 0}), (Lines{{103, 104, 103, 104}}));
}

TEST(DrawWrappedSegment, UndrawableInputsEndAndDrawNothing) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Segment& s :
         {seg(nan, 300, 10, 0), seg(400, nan, 0, 10), seg(400, 300, nan, 1), seg(400, 300, 1, nan),
          seg(inf, 300, 10, 0), seg(400, -inf, 0, 0), seg(400, 300, -inf, 0), seg(400, 300, 0, inf),
          seg(-inf, 300, inf, 0), seg(-1e6 - 10, 300, 5, 0), seg(400, 600 + 1e6 + 10, 0, -5),
          seg(400, 300, 2e6, 0), seg(1e300, 1e300, -1e300, -1e300)}) {
        EXPECT_EQ(wrapped(s), Lines{})
            << s.origin.x << ", " << s.origin.y << " + " << s.direction.x << ", " << s.direction.y;
    }
    for (const Vector field : {Vector{0.0002, 600}, Vector{800, 0.0002}, Vector{0, 0},
                               Vector{-800, 600}, Vector{nan, 600}, Vector{800, inf}}) {
        EXPECT_EQ(wrapped(seg(100, 100, 10, 10), field), Lines{}) << field.x << " by " << field.y;
    }
    reset_seams();
    draw_ywrapped_segment(nullptr, seg(100, 100, 10, 10), 0.0002);
    draw_ywrapped_segment(nullptr, seg(100, inf, 10, 10), 600);
    draw_ywrapped_segment(nullptr, seg(nan, 100, 10, 10), 600);
    EXPECT_EQ(seams.lines, Lines{});
    // Far outside, yet within reach: still drawn, moved by whole periods.
    EXPECT_EQ(wrapped(seg(-5000, 300, 10, 0)), (Lines{{599, 300, 609, 300}}));
    EXPECT_EQ(wrapped(seg(400, 5300, 0, 10)), (Lines{{400, 500, 400, 510}}));
    EXPECT_EQ(wrapped(seg(-999990, 300, 0, 0)).size(), 1u);
}

namespace {

// The parameters t in [0, 1] at which the segment, shifted by `shift` along one
// axis, lies within a pixel of `value` on that axis; empty when lo > hi.
struct Range {
    double lo, hi;
};

Range within_a_pixel(double value, double origin, double direction, double shift) {
    const double from = value - 1 - origin - shift, to = value + 1 - origin - shift;
    if (direction == 0) {
        return from <= 0 && 0 <= to ? Range{0, 1} : Range{1, 0};
    }
    const double a = from / direction, b = to / direction;
    return Range{std::fmax(0, std::fmin(a, b)), std::fmin(1, std::fmax(a, b))};
}

// A line comes from the segment when, for some whole numbers of periods along
// each axis, both of its ends lie within a pixel of points of the shifted segment.
bool comes_from(const DrawnLine& line, Segment s, Vector period) {
    for (int kx = -8; kx <= 8; ++kx) {
        for (int ky = -8; ky <= 8; ++ky) {
            const Range ends[4] = {
                within_a_pixel(line.x1, s.origin.x, s.direction.x, kx * period.x),
                within_a_pixel(line.y1, s.origin.y, s.direction.y, ky * period.y),
                within_a_pixel(line.x2, s.origin.x, s.direction.x, kx * period.x),
                within_a_pixel(line.y2, s.origin.y, s.direction.y, ky * period.y)};
            auto meet = [](Range a, Range b) {
                return std::fmax(a.lo, b.lo) <= std::fmin(a.hi, b.hi);
            };
            if (meet(ends[0], ends[1]) && meet(ends[2], ends[3])) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

TEST(DrawWrappedSegment, RandomSegmentsStayInFieldAndAddUp) {
    const Vector period{FIELD.x - 2 * WRAP_MARGIN, FIELD.y - 2 * WRAP_MARGIN};
    for (uint64_t seed = 1; seed <= 20000; ++seed) {
        std::mt19937_64 rng(seed);
        std::uniform_real_distribution<double> x(-800, 1600), y(-600, 1200), unit(-1, 1);
        // A sloped segment stays shorter than the field along each axis: a longer
        // one is cut into period-long pieces each drawn from the border, which are
        // not whole periods away from where they lie on the segment.
        Segment s{{x(rng), y(rng)}, {799 * unit(rng), 599 * unit(rng)}}; // braces: in order
        const uint64_t kind = rng() % 8;
        const double along = 2000 * unit(rng);
        if (kind < 3) { // level, upright or a single point, of any length
            s.direction = Vector{kind == 0 ? along : 0, kind == 1 ? along : 0};
        }
        SCOPED_TRACE(testing::Message()
                     << "seed " << seed << ": from " << s.origin.x << ", " << s.origin.y << " by "
                     << s.direction.x << ", " << s.direction.y);
        const Lines lines = wrapped(s);
        ASSERT_FALSE(lines.empty());
        double extent_x = 0, extent_y = 0;
        for (const DrawnLine& line : lines) {
            ASSERT_TRUE(line.x1 >= 0 && line.x1 < 800 && line.x2 >= 0 && line.x2 < 800 &&
                        line.y1 >= 0 && line.y1 < 600 && line.y2 >= 0 && line.y2 < 600)
                << testing::PrintToString(line);
            ASSERT_LE(line.y1, line.y2) << testing::PrintToString(line);
            if (s.direction.y == 0) {
                ASSERT_LE(line.x1, line.x2) << testing::PrintToString(line);
            }
            ASSERT_TRUE(comes_from(line, s, period)) << testing::PrintToString(line);
            extent_x += std::abs(line.x2 - line.x1);
            extent_y += line.y2 - line.y1;
        }
        ASSERT_NEAR(extent_x, std::fabs(s.direction.x), lines.size());
        ASSERT_NEAR(extent_y, std::fabs(s.direction.y), lines.size());
    }
}
