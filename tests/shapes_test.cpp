// Geometry: vectors, line and segment intersection, polygon mass properties,
// the searches along an outline, and cutting a polygon along a chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <numbers>
#include <ostream>
#include <random>
#include <vector>

#include "seams.h"
#include "shapes.h"

// Points compare and print as values, so that failures show both sides.
static bool operator==(const Vector& p, const Vector& q) { return p.x == q.x && p.y == q.y; }
static std::ostream& operator<<(std::ostream& out, const Vector& p) {
    return out << std::setprecision(17) << '(' << p.x << ", " << p.y << ')';
}

namespace {

using Points = std::vector<Vector>;
constexpr double PI = std::numbers::pi;

Segment seg(double x, double y, double dx, double dy) { return Segment{{x, y}, {dx, dy}}; }

Polygon polygon_of(Points& points) {
    Polygon polygon{};
    polygon.vertices = points.data();
    polygon.count = static_cast<uint32_t>(points.size());
    return polygon;
}

// Half the shoelace sum: negative for the game's winding.
double signed_area(const Points& p) {
    double sum = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        sum += vector_cross(p[i == 0 ? p.size() - 1 : i - 1], p[i]);
    }
    return sum / 2;
}

testing::AssertionResult near(Vector actual, Vector expected, double tolerance) {
    if (std::fabs(actual.x - expected.x) <= tolerance &&
        std::fabs(actual.y - expected.y) <= tolerance) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "expected " << expected << " within " << tolerance << ", got " << actual;
}

// The edge a segment meets first and where.
struct Meeting {
    int32_t edge;
    Vector at;
    bool operator==(const Meeting&) const = default;
};
void PrintTo(const Meeting& m, std::ostream* out) { *out << "edge " << m.edge << " at " << m.at; }

Meeting first_meeting(const Polygon& polygon, Segment segment) {
    Meeting m{0, {-7, -7}}; // the point stays put when nothing is met
    m.edge = segment_first_intersects_polygon_at(polygon, segment, &m.at);
    return m;
}

// A cut, its pieces copied out and their arrays released at once.
struct Cut {
    int result;
    uint32_t first_count, second_count;
    Points first, second; // empty where no array was made
    int first_sound, second_sound;
};

Cut cut(const Polygon& polygon, int32_t a, int32_t b, Points& chain) {
    Polygon one{}, two{};
    Cut c{
        split_polygon(polygon, a, b, chain.data(), static_cast<uint32_t>(chain.size()), &one, &two),
        one.count,
        two.count,
        {},
        {},
        0,
        0};
    if (one.vertices != nullptr) {
        c.first.assign(one.vertices, one.vertices + one.count);
        c.first_sound = polygon_is_sound(one);
    }
    if (two.vertices != nullptr) {
        c.second.assign(two.vertices, two.vertices + two.count);
        c.second_sound = polygon_is_sound(two);
    }
    std::free(one.vertices);
    std::free(two.vertices);
    return c;
}

// A random simple outline, star-shaped about its centre: vertices at evenly
// spread angles, each moved by up to a fifth of the spacing so that neighbours
// stay less than half a turn apart, and falling, so that the shoelace sum is
// negative (the game's winding); radii 0.3 to 1 times the size, which is 1 to
// 1000 pixels.
struct Star {
    Vector centre;
    double size;
    std::vector<double> angle, radius;
    Points points;
};

Star random_star(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0, 1);
    Star star;
    const uint32_t n = 3 + static_cast<uint32_t>(rng() % 14);
    star.size = std::pow(1000.0, unit(rng));
    star.centre = Vector{(unit(rng) * 4 - 2) * star.size, (unit(rng) * 4 - 2) * star.size};
    const double turn = unit(rng) * 2 * PI;
    for (uint32_t i = 0; i < n; ++i) {
        star.angle.push_back(turn - (i + 0.4 * (unit(rng) - 0.5)) * 2 * PI / n);
        star.radius.push_back(star.size * (0.3 + 0.7 * unit(rng)));
        star.points.push_back(Vector{star.centre.x + star.radius[i] * std::cos(star.angle[i]),
                                     star.centre.y + star.radius[i] * std::sin(star.angle[i])});
    }
    return star;
}

// The square (0, 0), (4, 0), (4, 4), (0, 4): edge 0 runs (0, 4) -> (0, 0),
// edge 1 (0, 0) -> (4, 0), edge 2 (4, 0) -> (4, 4), edge 3 (4, 4) -> (0, 4).
Points square() { return {{0, 0}, {4, 0}, {4, 4}, {0, 4}}; }

} // namespace

TEST(VectorOps, TurnsAndProducts) {
    EXPECT_EQ(vector_perp(Vector{1, 0}), (Vector{0, 1}));                   // towards +y
    EXPECT_EQ(vector_rotate(Vector{2, 1}, Vector{0, -1}), (Vector{1, -2})); // faces up
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> coord(-100, 100);
    for (int i = 0; i < 1000; ++i) {
        const Vector p{coord(rng), coord(rng)}, q{coord(rng), coord(rng)};
        const double angle = coord(rng);
        const Vector o{std::cos(angle), std::sin(angle)};
        EXPECT_TRUE(near(vector_unrotate(vector_rotate(p, o), o), p, 1e-12)) << "case " << i;
        EXPECT_EQ(vector_unrotate(q, p), (Vector{vector_dot(p, q), vector_cross(p, q)}));
    }
}

TEST(LinesIntersect, PerpendicularAndParallelTolerance) {
    double first[2] = {-7, -7}, second[2] = {-7, -7};
    // Perpendicular (G = 0) takes the crossing path: t and s in separate outputs.
    ASSERT_EQ(lines_intersect(seg(0, 0, 4, 0), seg(4, -2, 0, 4), first, second), 1);
    EXPECT_EQ(first[0], 1);
    EXPECT_EQ(second[0], 0.5);
    // A tangent of exactly 0.0001 still crosses.
    EXPECT_EQ(lines_intersect(seg(0, 5, 1, PARALLEL_TOLERANCE), seg(0, 0, 1, 0), first, second), 1);
    // Tangent 0.00009, either sense, any length: parallel. 0.0001 * |b| off b's
    // line is apart (0, nothing written); just inside, on one line (2).
    const double off = 4 * PARALLEL_TOLERANCE; // |b| = 4
    for (const Vector u : {Vector{1, 0.00009}, Vector{-1000, 0.09}, Vector{0.01, -0.0000009}}) {
        first[0] = -7;
        EXPECT_EQ(lines_intersect(Segment{{1, off}, u}, seg(0, 0, 4, 0), first, second), 0) << u;
        EXPECT_EQ(first[0], -7);
        EXPECT_EQ(lines_intersect(Segment{{1, off * 0.99}, u}, seg(0, 0, 4, 0), first, second), 2);
        EXPECT_EQ(first[0], 0.25);
        EXPECT_DOUBLE_EQ(first[1], 0.25 + u.x / 4) << u;
    }
}

TEST(SegmentsIntersect, CrossingTouchingAtAnEndAndCollinear) {
    struct Case {
        const char* what;
        Segment a, b;
        int result;
        double out0, out1; // out0 when result is not 0, out1 when it is 2
    };
    const Segment upright = seg(0, 0, 0, 4), level = seg(0, 0, 4, 0);
    const Case cases[] = {
        {"crossing", seg(-2, 1, 4, 0), upright, 1, 0.5, 0},
        {"past b's end, s = 1.25", seg(-2, 5, 4, 0), upright, 0, 0, 0},
        {"behind a, t = -0.25", seg(1, 1, 4, 0), upright, 0, 0, 0},
        {"a's start on b, t = 0", seg(0, 2, 4, 0), upright, 1, 0, 0},
        {"through b's start, s = 0", seg(-2, 0, 4, 0), upright, 1, 0.5, 0},
        {"a's end on b, t = 1", seg(-4, 2, 4, 0), upright, 0, 0, 0},
        {"through b's end, s = 1", seg(-2, 4, 4, 0), upright, 0, 0, 0},
        {"same way over -0.5 .. 0.75", seg(-2, 0, 5, 0), level, 2, 0, 0.75},
        {"same way over 0.25 .. 1.75", seg(1, 0, 6, 0), level, 2, 0.25, 1},
        {"same way ending on b's start", seg(-4, 0, 4, 0), level, 2, 0, 0},
        {"same way from 1.0", seg(4, 0, 2, 0), level, 0, 0, 0},
        {"same way from 1.25", seg(5, 0, 2, 0), level, 0, 0, 0},
        {"opposite, 0.5 .. -0.5", seg(2, 0, -4, 0), level, 0, 0, 0},
        {"opposite, 1.5 .. 0.75", seg(6, 0, -3, 0), level, 0, 0, 0},
        {"opposite, 0.75 .. 0.25", seg(3, 0, -2, 0), level, 2, 0.75, 0.25},
    };
    for (const Case& c : cases) {
        double out[2] = {-7, -7};
        EXPECT_EQ(segments_intersect(c.a, c.b, out), c.result) << c.what;
        EXPECT_EQ(segments_intersect_anywhere(c.a, c.b), c.result != 0 ? 1 : 0) << c.what;
        if (c.result != 0) { // the outputs are read only then
            EXPECT_EQ(out[0], c.out0) << c.what;
        }
        if (c.result == 2) {
            EXPECT_EQ(out[1], c.out1) << c.what;
        }
    }
}

TEST(LineIntersectsSegment, BehindTheOriginHalfOpenAndUnclipped) {
    const Segment line = seg(10, 0, 1, 0);
    double out[2];
    ASSERT_EQ(line_intersects_segment(line, seg(2, -1, 0, 2), out), 1);
    EXPECT_EQ(out[0], -8);
    EXPECT_EQ(line_intersects_segment(line, seg(2, 1, 0, 2), out), 0);  // s = -0.5
    EXPECT_EQ(line_intersects_segment(line, seg(2, 0, 0, 2), out), 1);  // s = 0
    EXPECT_EQ(line_intersects_segment(line, seg(2, -2, 0, 2), out), 0); // s = 1
    // On one line: the line's t = 0 and t = 1 along the segment, not clipped.
    ASSERT_EQ(line_intersects_segment(seg(-8, 0, 4, 0), seg(0, 0, 4, 0), out), 2);
    EXPECT_EQ(out[0], -2);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(line_intersects_segment(seg(-8, 1, 4, 0), seg(0, 0, 4, 0), out), 0);
}

TEST(InitPolygon, ShipAndMissileOutlines) {
    Points ship = {{25, 0}, {-25, -13}, {-15, 0}, {-25, 13}};
    EXPECT_EQ(signed_area(ship), -520);
    Polygon polygon = polygon_of(ship);
    Vector centroid{-7, -7};
    init_polygon(&polygon, &centroid);
    EXPECT_EQ(polygon.closed, 1);
    EXPECT_EQ(polygon.area, 520);
    EXPECT_EQ(centroid, (Vector{-5, 0}));
    EXPECT_EQ(ship, (Points{{30, 0}, {-20, -13}, {-10, 0}, {-20, 13}}));
    EXPECT_DOUBLE_EQ(polygon.second_moment, 225940.0 / 3);
    EXPECT_EQ(polygon.radius, 30);
    // Already centred: the centroid is the origin and nothing moves.
    init_polygon(&polygon, &centroid);
    EXPECT_TRUE(near(centroid, Vector{0, 0}, 1e-12));
    EXPECT_EQ(ship, (Points{{30, 0}, {-20, -13}, {-10, 0}, {-20, 13}}));
    EXPECT_DOUBLE_EQ(polygon.second_moment, 225940.0 / 3);

    Points missile = {{6, 0}, {0, -2}, {0, 2}};
    polygon = polygon_of(missile);
    init_polygon(&polygon, &centroid);
    EXPECT_EQ(polygon.area, 12);
    EXPECT_EQ(centroid, (Vector{2, 0}));
    EXPECT_EQ(missile, (Points{{4, 0}, {-2, -2}, {-2, 2}}));
    EXPECT_DOUBLE_EQ(polygon.second_moment, 32);
    EXPECT_EQ(polygon.radius, 4);
}

TEST(InitPolygon, ZeroAreaOutlines) {
    struct Case {
        Points points;
        Vector centroid; // the mean of the vertices; the origin for none
        double radius;
    };
    for (const Case& c : {Case{{}, {0, 0}, 0}, Case{{{3, 4}}, {3, 4}, 0},
                          Case{{{1, 2}, {3, 6}}, {2, 4}, std::sqrt(5.0)},
                          Case{{{0, 0}, {1, 1}, {5, 5}}, {2, 2}, std::sqrt(18.0)},
                          Case{{{0.1, 0.3}, {0.2, 0.6}, {0.7, 2.1}}, {1.0 / 3, 1}, 1.1595}}) {
        Points points = c.points;
        Polygon polygon = polygon_of(points);
        Vector centroid{-7, -7};
        init_polygon(&polygon, &centroid);
        SCOPED_TRACE(testing::Message() << points.size() << " points");
        EXPECT_NEAR(polygon.area, 0, 1e-15); // the last: on one line up to rounding
        EXPECT_NEAR(polygon.second_moment, 0, 1e-15);
        EXPECT_TRUE(near(centroid, c.centroid, 1e-9));
        EXPECT_NEAR(polygon.radius, c.radius, 1e-4);
    }
}

TEST(InitPolygon, RandomOutlinesEitherWindingAndRotated) {
    for (uint64_t seed = 1; seed <= 3000; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937_64 rng(seed);
        const Star star = random_star(rng);
        const double turn = std::uniform_real_distribution<double>(0, 2 * PI)(rng);
        const Vector o{std::cos(turn), std::sin(turn)};
        Points forward = star.points, reversed(forward.rbegin(), forward.rend()), rotated;
        for (const Vector& p : forward) {
            rotated.push_back(vector_rotate(p, o));
        }
        Polygon f = polygon_of(forward), r = polygon_of(reversed), t = polygon_of(rotated);
        Vector fc, rc, tc;
        init_polygon(&f, &fc);
        init_polygon(&r, &rc);
        init_polygon(&t, &tc);
        double fan = 0; // the area as triangles about the centre
        for (size_t i = 0, j = star.angle.size() - 1; i < star.angle.size(); j = i++) {
            fan += 0.5 * star.radius[i] * star.radius[j] * std::sin(star.angle[j] - star.angle[i]);
        }
        const double size = star.size, size2 = size * size;
        ASSERT_NEAR(f.area, fan, 1e-9 * size2);
        ASSERT_NEAR(r.area, f.area, 1e-9 * size2);
        ASSERT_NEAR(t.area, f.area, 1e-9 * size2);
        ASSERT_TRUE(near(rc, fc, 1e-9 * size));
        ASSERT_TRUE(near(tc, vector_rotate(fc, o), 1e-9 * size));
        ASSERT_NEAR(r.second_moment, f.second_moment, 1e-9 * size2 * size2);
        ASSERT_NEAR(t.second_moment, f.second_moment, 1e-9 * size2 * size2);
        ASSERT_NEAR(r.radius, f.radius, 1e-9 * size);
        ASSERT_EQ(polygon_is_sound(f), 1);
        ASSERT_EQ(polygon_is_sound(r), 0); // the other winding
        init_polygon(&f, &fc);
        ASSERT_TRUE(near(fc, Vector{0, 0}, 1e-9 * size)) << "once centred";
    }
}

TEST(InitPolyline, LeavesPointsInPlace) {
    Points points = {{-3, 4}, {3, -4}};
    Polygon polygon = polygon_of(points);
    polygon.closed = 1;
    polygon.area = polygon.second_moment = 9;
    init_polyline(&polygon);
    EXPECT_EQ(polygon.closed, 0);
    EXPECT_EQ(polygon.radius, 5);
    EXPECT_EQ(polygon.area, 0);
    EXPECT_EQ(polygon.second_moment, 0);
    EXPECT_EQ(points, (Points{{-3, 4}, {3, -4}}));
    Points three = {{1, 1}, {-6, 8}, {0, 2}};
    polygon = polygon_of(three);
    polygon_update_bounds(&polygon);
    EXPECT_EQ(polygon.radius, 10);
}

TEST(SegmentFirstIntersectsPolygonAt, FirstEdgeVerticesEndsAndAlongAnEdge) {
    Points points = square();
    const Polygon polygon = polygon_of(points);
    const Meeting none{-1, {-7, -7}};
    EXPECT_EQ(first_meeting(Polygon{}, seg(-1, 2, 8, 0)), none);
    EXPECT_EQ(first_meeting(polygon, seg(-2, 2, 8, 0)), (Meeting{0, {0, 2}}));
    EXPECT_EQ(first_meeting(polygon, seg(6, 2, -8, 0)), (Meeting{2, {4, 2}}));
    EXPECT_EQ(first_meeting(polygon, seg(2, 2, 2, 0)), none);                   // ends on edge 2
    EXPECT_EQ(first_meeting(polygon, seg(2, 2, 2, 2)), none);                   // ends on a vertex
    EXPECT_EQ(first_meeting(polygon, seg(-1, -1, 2, 2)), (Meeting{1, {0, 0}})); // edge 1's start
    // Along edge 1: where the segment first touches the shared stretch.
    EXPECT_EQ(first_meeting(polygon, seg(-2, 0, 4, 0)), (Meeting{1, {0, 0}}));
    EXPECT_EQ(first_meeting(polygon, seg(1, 0, 2, 0)), (Meeting{1, {1, 0}}));
    EXPECT_EQ(first_meeting(polygon, seg(3, 0, -2, 0)), (Meeting{1, {3, 0}}));
    // Against edge 1 from beyond its end: refused there, met at edge 2's start.
    EXPECT_EQ(first_meeting(polygon, seg(6, 0, -8, 0)), (Meeting{2, {4, 0}}));
}

TEST(LineIntersectsPolygonAt, CountsSmallestParameterAndTies) {
    Points points = square();
    const Polygon polygon = polygon_of(points);
    double t[3];
    int32_t e[3];
    EXPECT_EQ(line_intersects_polygon_at(Polygon{}, seg(0, 2, 1, 0), t, e, 3), 0u);
    EXPECT_EQ(std::vector<double>(t, t + 3), std::vector<double>(3, 1.7976931348623157e308));
    EXPECT_EQ(std::vector<int32_t>(e, e + 3), std::vector<int32_t>(3, -1));
    EXPECT_EQ(line_intersects_polygon_at(polygon, seg(10, 2, 1, 0), nullptr, nullptr, 0), 2u);
    struct Case {
        Segment line;
        double t;
        int32_t edge;
    };
    for (const Case& c : {Case{seg(10, 2, 1, 0), -10, 0},  // behind the origin
                          Case{seg(8, 8, -2, -2), 2, 3},   // through two corners, once each
                          Case{seg(-2, 0, 1, 0), 2, 1},    // along edge 1: at its start
                          Case{seg(6, 0, -1, 0), 2, 1}}) { // against it: at its far end,
                                                           // tied with edge 2's start
        EXPECT_EQ(line_intersects_polygon_at(polygon, c.line, t, e, 1), 2u);
        EXPECT_EQ(t[0], c.t) << "line from " << c.line.origin;
        EXPECT_EQ(e[0], c.edge) << "line from " << c.line.origin;
    }
    // A bow-tie whose edges 1 and 3 cross at (2, 2): the lower edge wins the tie.
    Points bow = {{0, 0}, {4, 4}, {4, 0}, {0, 4}};
    const Polygon tie = polygon_of(bow);
    for (const Segment& s : {seg(2, -1, 0, 8), seg(2, 7, 0, -8)}) {
        EXPECT_EQ(line_intersects_polygon_at(tie, s, t, e, 1), 2u);
        EXPECT_EQ(e[0], 1);
        EXPECT_EQ(first_meeting(tie, s), (Meeting{1, {2, 2}}));
    }
}

TEST(InsertIntersection, EntersOnlyBelowSlotZero) {
    const double M = NO_CROSSING;
    double t[3] = {M, M, M};
    int32_t e[3] = {-1, -1, -1};
    insert_intersection(5, 50, t, e, 3);
    insert_intersection(3, 30, t, e, 3);
    insert_intersection(4, 40, t, e, 3); // not below slot 0: lost, so not the 3 smallest
    insert_intersection(3, 31, t, e, 3); // equal: not entered
    EXPECT_EQ(std::vector<double>(t, t + 3), (std::vector<double>{3, 5, M}));
    EXPECT_EQ(std::vector<int32_t>(e, e + 3), (std::vector<int32_t>{30, 50, -1}));
    insert_intersection(1, 10, t, e, 3);
    insert_intersection(-2, 20, t, e, 3);
    EXPECT_EQ(std::vector<double>(t, t + 3), (std::vector<double>{-2, 1, 3}));
    EXPECT_EQ(std::vector<int32_t>(e, e + 3), (std::vector<int32_t>{20, 10, 30}));
    // The carried entry stops at the first slot not greater than it, and is dropped.
    double u[3] = {2, 2, 5};
    int32_t f[3] = {20, 21, 50};
    insert_intersection(0, 0, u, f, 3);
    EXPECT_EQ(std::vector<double>(u, u + 3), (std::vector<double>{0, 2, 5}));
    EXPECT_EQ(std::vector<int32_t>(f, f + 3), (std::vector<int32_t>{0, 21, 50}));
    insert_intersection(-1, 9, nullptr, nullptr, 0); // no slots: nothing touched
}

TEST(SplitPolygon, UnitSquareBothWaysRound) {
    Points points = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Polygon unit = polygon_of(points);
    const Points first = {{1, 0}, {1, 1}, {0.5, 1}, {0.5, 0}};
    const Points second = {{0, 1}, {0, 0}, {0.5, 0}, {0.5, 1}};
    Points chain = {{0.5, 0}, {0.5, 1}};
    Cut c = cut(unit, 1, 3, chain);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.first, first);
    EXPECT_EQ(c.second, second);
    chain = {{0.5, 1}, {0.5, 0}};
    c = cut(unit, 3, 1, chain);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.first, first);
    EXPECT_EQ(c.second, second);
    EXPECT_EQ(chain, (Points{{0.5, 0}, {0.5, 1}})); // reversed in place
    EXPECT_EQ(points, (Points{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
}

TEST(SplitPolygon, SameEdgeAdjacentEdgesAndEdgeIndices) {
    // In the game's winding: edge 0 runs (4, 0) -> (0, 0), edge 1 (0, 0) -> (0, 4),
    // edge 2 (0, 4) -> (4, 4), edge 3 (4, 4) -> (4, 0).
    Points points = {{0, 0}, {0, 4}, {4, 4}, {4, 0}};
    const Polygon game_square = polygon_of(points);
    Points notch = {{0, 1}, {1, 2}, {0, 3}};
    Cut c = cut(game_square, 1, 1, notch);
    EXPECT_EQ(c.first, (Points{{0, 3}, {1, 2}, {0, 1}}));
    EXPECT_EQ(c.second, (Points{{0, 4}, {4, 4}, {4, 0}, {0, 0}, {0, 1}, {1, 2}, {0, 3}}));
    EXPECT_EQ(c.first_sound + c.second_sound, 2);
    Points slit = {{0, 1}, {0, 3}}; // two points on one edge: no first piece
    c = cut(game_square, 1, 1, slit);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.first_count, 2u);
    EXPECT_EQ(c.first, Points{});
    EXPECT_EQ(c.second, (Points{{0, 4}, {4, 4}, {4, 0}, {0, 0}, {0, 1}, {0, 3}}));
    Points corner = {{1, 4}, {0, 3}}; // edge 2 to edge 1: the corner at (0, 4)
    c = cut(game_square, 2, 1, corner);
    EXPECT_EQ(c.first, (Points{{0, 4}, {1, 4}, {0, 3}}));
    EXPECT_EQ(c.second, (Points{{4, 4}, {4, 0}, {0, 0}, {0, 3}, {1, 4}}));
    EXPECT_EQ(c.first_sound + c.second_sound, 2);
    Points closing = {{3, 0}, {4, 1}}; // edge 0 to edge 3: the corner at (4, 0)
    c = cut(game_square, 0, 3, closing);
    EXPECT_EQ(c.first, (Points{{0, 0}, {0, 4}, {4, 4}, {4, 1}, {3, 0}}));
    EXPECT_EQ(c.second, (Points{{4, 0}, {3, 0}, {4, 1}}));
    EXPECT_EQ(c.first_sound + c.second_sound, 2);
    // Edge -1 compares as the largest unsigned number: the chain is reversed,
    // and being no edge of the square it cuts nothing.
    Points chain = {{0, 1}, {1, 2}, {0, 3}};
    c = cut(game_square, -1, 1, chain);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(chain, (Points{{0, 3}, {1, 2}, {0, 1}}));
    EXPECT_TRUE(c.first.empty() && c.second.empty());
}

TEST(SplitPolygon, AllocationFailureLeavesNoPieces) {
    Points points = {{0, 0}, {0, 4}, {4, 4}, {4, 0}};
    const Polygon game_square = polygon_of(points);
    struct Case {
        int skip, count;
        int32_t b; // 3: both pieces allocated; 1, on one edge: the second only
    };
    for (const Case f : {Case{0, 1, 3}, Case{1, 1, 3}, Case{0, 2, 3}, Case{0, 1, 1}}) {
        Points chain = {{0, 1}, f.b == 3 ? Vector{4, 3} : Vector{0, 3}};
        reset_seams();
        fail_malloc_after(f.skip, f.count);
        const Cut c = cut(game_square, 1, f.b, chain);
        reset_seams();
        EXPECT_EQ(c.result, 0) << "skip " << f.skip << ", fail " << f.count << ", edge " << f.b;
        EXPECT_TRUE(c.first.empty() && c.second.empty()) << "both vertices none";
    }
}

TEST(SplitPolygon, RandomCutsShareOutTheOutline) {
    for (uint64_t seed = 1; seed <= 3000; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937_64 rng(seed);
        std::uniform_real_distribution<double> unit(0, 1);
        const Star star = random_star(rng);
        Points p = star.points;
        const auto n = static_cast<uint32_t>(p.size());
        // A point of the fan triangle (centre, p(j - 1), p(j)): mu along edge j,
        // lambda of the way out from the centre.
        auto at = [&](uint32_t j, double mu, double lambda) {
            const Vector from = p[(j + n - 1) % n];
            const Vector edge = vector_add(from, vector_scale(vector_sub(p[j], from), mu));
            return vector_add(star.centre, vector_scale(vector_sub(edge, star.centre), lambda));
        };
        // The chain turns round the centre always the same way, so it cannot
        // cross itself, and each step stays in one fan triangle, so it stays
        // inside. From edge a to edge b it goes forward (rising edge indices) or
        // backward; on one edge it ends further along than it starts.
        const auto a = static_cast<uint32_t>(rng() % n), b = static_cast<uint32_t>(rng() % n);
        const bool forward = rng() % 2 == 0;
        double mu_a = 0.05 + 0.9 * unit(rng), mu_b = 0.05 + 0.9 * unit(rng);
        if (a == b && mu_a > mu_b) {
            std::swap(mu_a, mu_b);
        }
        Points chain = {at(a, mu_a, 1)};
        for (uint32_t j = a, steps = 0;; ++steps) {
            const bool last = j == b && (steps > 0 || forward);
            double mu = j == a && steps == 0 ? mu_a : (forward ? 0 : 1);
            const double end = last ? mu_b : (forward ? 1 : 0);
            for (uint64_t extra = rng() % 3; extra > 0; --extra) {
                mu += (end - mu) * (0.1 + 0.8 * unit(rng));
                chain.push_back(at(j, mu, 0.1 + 0.8 * unit(rng)));
            }
            if (last) {
                break;
            }
            chain.push_back(at(j, forward ? 1 : 0, 0.1 + 0.8 * unit(rng))); // on a vertex's ray
            j = forward ? (j + 1) % n : (j + n - 1) % n;
        }
        chain.push_back(at(b, mu_b, 1));
        const auto m = static_cast<uint32_t>(chain.size());

        const Cut c = cut(polygon_of(p), static_cast<int32_t>(a), static_cast<int32_t>(b), chain);
        ASSERT_EQ(c.result, 1);
        ASSERT_EQ(c.first_count + c.second_count, n + 2 * m);
        ASSERT_EQ(c.first.size(), c.first_count >= 3 ? c.first_count : 0);
        ASSERT_EQ(c.second.size(), c.second_count >= 3 ? c.second_count : 0);
        ASSERT_EQ(c.first_sound, c.first.empty() ? 0 : 1) << "first piece";
        ASSERT_EQ(c.second_sound, c.second.empty() ? 0 : 1) << "second piece";
        for (const Vector& v : p) {
            const auto in = [&v](const Points& piece) {
                return std::count(piece.begin(), piece.end(), v);
            };
            ASSERT_EQ(in(c.first) + in(c.second), 1) << v << " shared out";
        }
        ASSERT_NEAR(signed_area(c.first) + signed_area(c.second), signed_area(p),
                    1e-9 * star.size * star.size);
    }
}
