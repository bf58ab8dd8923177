// Geometry: line and segment intersection, polygon mass properties, the
// searches along an outline, and cutting a polygon along a chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <tuple>
#include <vector>

#include "seams.h"
#include "shapes.h"

// Points and segments compare and print as values, so that failures show both sides.
static bool operator==(const Vector& p, const Vector& q) { return p.x == q.x && p.y == q.y; }
static std::ostream& operator<<(std::ostream& out, const Vector& p) {
    return out << std::setprecision(17) << '(' << p.x << ", " << p.y << ')';
}
static std::ostream& operator<<(std::ostream& out, const Segment& s) {
    return out << s.origin << " + t " << s.direction;
}

namespace {

using Points = std::vector<Vector>;
using Cut = std::tuple<int, uint32_t, uint32_t, Points, Points>; // result, counts, pieces
constexpr double X = -99;                                        // an output that is not read

Segment seg(double x, double y, double dx, double dy) { return Segment{{x, y}, {dx, dy}}; }
// The derived fields start as junk, so that one left unset shows.
Polygon polygon_of(Points& p) { return {p.data(), static_cast<uint32_t>(p.size()), 0, 9, 9, 9}; }

// A cut, its pieces copied out (empty where no array was made) and released.
Cut cut(const Polygon& polygon, int32_t a, int32_t b, Points& chain) {
    Polygon p[2]{{chain.data(), 0, 0, 0, 0, 0}, {chain.data(), 0, 0, 0, 0, 0}}; // unset shows
    const int result = split_polygon(polygon, a, b, chain.data(), chain.size(), &p[0], &p[1]);
    Points pieces[2];
    for (int i = 0; i < 2; ++i) {
        pieces[i].assign(p[i].vertices, p[i].vertices + (p[i].vertices ? p[i].count : 0));
        std::free(p[i].vertices);
    }
    return {result, p[0].count, p[1].count, pieces[0], pieces[1]};
}

} // namespace

TEST(Intersections, HalfOpenRangesParallelToleranceAndCollinear) {
    enum { L, S, I }; // lines_intersect, segments_intersect, line_intersects_segment
    const Segment upright = seg(0, 0, 0, 4), level = seg(0, 0, 4, 0);
    const double off = 4 * PARALLEL_TOLERANCE; // off b's line, |b| = 4
    // With a and b: the result, and out[0] and out[1] (for lines crossing, t and s);
    // -7 where nothing is written.
    const std::tuple<int, Segment, Segment, int, double, double> cases[] = {
        {L, level, seg(4, -2, 0, 4), 1, 1, 0.5}, // perpendicular: no tangent
        {L, seg(0, 5, 1, PARALLEL_TOLERANCE), level, 1, -50000, -12500},
        // A smaller tangent, either sense, any length: parallel.
        {L, seg(1, off, 1, 0.00009), level, 0, -7, -7},
        {L, seg(1, 0.99 * off, -1000, 0.09), level, 2, 0.25, -249.75},
        {L, seg(1, 1, 0, 0), level, 1, INFINITY, X}, // no direction: a ratio 0 / 0 crosses
        // Uneven numbers, to the last bit: t and s as the formulas round them.
        {L, seg(51.3, 58.8, 63.1, -67.3), seg(90.2, 13.9, 20.2, 87.1), 1, 0x1.40c8c6e13fb6p-1,
         0x1.012dcc73a585p-5},
        // Segments over 0 <= t < 1: t = 0 and s = 0 count, t = 1 and s = 1 do not.
        {S, seg(0, 2, 4, 0), upright, 1, 0, X},
        {S, seg(-2, 0, 4, 0), upright, 1, 0.5, X},
        {S, seg(-4, 2, 4, 0), upright, 0, X, X},
        {S, seg(-2, 4, 4, 0), upright, 0, X, X},
        // On one line: a's start raised to 0, its end lowered to 1, judged unordered.
        {S, seg(-2, 0, 5, 0), level, 2, 0, 0.75},
        {S, seg(1, 0, 6, 0), level, 2, 0.25, 1},
        {S, seg(-4, 0, 4, 0), level, 2, 0, 0},
        {S, seg(4, 0, 2, 0), level, 0, X, X},
        {S, seg(2, 0, -4, 0), level, 0, X, X},
        {S, seg(3, 0, -2, 0), level, 2, 0.75, 0.25},
        // A line, of any parameter, against a segment over 0 <= s < 1.
        {I, seg(10, 0, 1, 0), seg(2, 0, 0, 2), 1, -8, X},
        {I, seg(10, 0, 1, 0), seg(2, -2, 0, 2), 0, X, X},
        {I, seg(-8, 0, 4, 0), level, 2, -2, -1}, // unclipped
    };
    for (const auto& [f, a, b, result, out0, out1] : cases) {
        double out[2] = {-7, -7}, s[2] = {-7, -7};
        const int r = f == L ? lines_intersect(a, b, out, s)
                             : (f == S ? segments_intersect : line_intersects_segment)(a, b, out);
        out[1] = out1 == X ? X : (r == 1 && f == L ? s[0] : out[1]);
        EXPECT_EQ(std::tuple(r, out0 == X ? X : out[0], out[1]), std::tuple(result, out0, out1))
            << a << " against " << b;
        EXPECT_TRUE(f != S || segments_intersect_anywhere(a, b) == (r != 0)) << a << " anywhere";
    }
}

TEST(InitPolygon, ShipMissileZeroAreaAndPolyline) {
    // Outline, area, centroid (with no area: the mean of the vertices, the origin
    // for none), second moment, radius; the vertices move by minus the centroid.
    const std::tuple<Points, double, Vector, double, double> cases[] = {
        {{{25, 0}, {-25, -13}, {-15, 0}, {-25, 13}}, 520, {-5, 0}, 225940.0 / 3, 30},
        {{{6, 0}, {0, -2}, {0, 2}}, 12, {2, 0}, 32, 4},
        {{}, 0, {0, 0}, 0, 0},
        {{{3, 4}}, 0, {3, 4}, 0, 0},
        {{{0, 0}, {1, 1}, {5, 5}}, 0, {2, 2}, 0, std::sqrt(18.0)},
    };
    for (const auto& [given, area, centroid, second_moment, radius] : cases) {
        Points points = given, moved = given;
        std::ranges::for_each(moved, [&](Vector& v) { v = vector_sub(v, centroid); });
        Polygon polygon = polygon_of(points);
        Vector c{-7, -7};
        init_polygon(&polygon, &c);
        EXPECT_EQ(std::tuple(polygon.closed, polygon.area, c, polygon.second_moment, polygon.radius,
                             points),
                  std::tuple(1, area, centroid, second_moment, radius, moved));
    }
    Points two = {{0, 0}, {3, 4}};
    Polygon line{two.data(), 2, 1, 0, 9, 9}; // closed, with an area and a moment: all undone
    init_polyline(&line);
    EXPECT_EQ(std::tuple(line.closed, line.radius, line.area, line.second_moment, two),
              std::tuple(0, 5.0, 0.0, 0.0, Points{{0, 0}, {3, 4}}));
}

TEST(InitPolygon, LastBitsOfUnevenAndNearlyFlatOutlines) {
    // Sixteen uneven vertices in the game's winding: the sums' order, the centroid
    // as Sx times 1 / (6 A) and the grouping of the second moment's terms all
    // show in the last bits (each value within 3 units of the last place of the
    // exact one).
    Points star = {{65.14, -7.41}, {55.76, -23.37},  {49.33, -53.16},  {23.5, -57.33},
                   {-3.73, -49.4}, {-15.85, -36.85}, {-61.92, -59.28}, {-89.24, -25.9},
                   {-46.24, 4.73}, {-73.81, 34.17},  {-45.31, 56.08},  {-30.01, 79.78},
                   {8.67, 92.76},  {21.58, 40.76},   {44.23, 41.04},   {51.08, 15.91}};
    // Nearly on one line: the first sum is 1.8e-12, the second exactly 0.
    Points flat = {{72.517070153605943, 37.25828256152991},
                   {-33.919346718933241, 86.758978557382648},
                   {84.559102698350358, 31.657859231952845}};
    const std::tuple<Points*, double, Vector, double, double> cases[] = {
        {&star,
         0x1.b1e8b1a9fbe75p+13,
         {-0x1.0b408a76921cbp+3, 0x1.82ae89f4196b5p+2},
         0x1.088217f7337bep+25,
         0x1.617dd1ae169cp+6},
        {&flat, 0x1p-40, {0, 0x1.5555555555555p+4}, 0, -1},
    };
    for (const auto& [points, area, centroid, second_moment, radius] : cases) {
        Polygon polygon = polygon_of(*points);
        Vector c;
        init_polygon(&polygon, &c);
        EXPECT_EQ(std::tuple(polygon.area, c, polygon.second_moment),
                  std::tuple(area, centroid, second_moment));
        EXPECT_TRUE(radius < 0 || polygon.radius == radius) << polygon.radius;
    }
    // Areas so small that 1 / (6 A) overflows, A rounded to 0 or not; a tiny area
    // left from cancelling terms, with a centroid or a second moment overflowing:
    // finite values all the same.
    const Points outlines[] = {
        {{0, 0}, {0x1p-537, 0}, {0, 0x1p-537}},
        {{0, 0}, {0x1p-537, 0}, {0, 0x1p-536}},
        {{0, 0}, {0, 4}, {4, 0}, {4, 4}, {0x1p-1022, 0x1p-1031}},
        {{7.6414643e-317, 0},
         {0, 8.1027e-320},
         {0, 0},
         {-133762461466624.0, -41255400998277.516},
         {-41255400998277.516, 1.0387856152602562e-13},
         {-41255400998277.516, -41255400998277.516},
         {5.776622002767456e-275, 2.61920051908e-312},
         {0, 3.49895885972264e-310}},
    };
    for (Points points : outlines) {
        Polygon polygon = polygon_of(points);
        Vector c;
        init_polygon(&polygon, &c);
        for (const double v : {polygon.area, polygon.second_moment, c.x, c.y, points[0].x}) {
            EXPECT_TRUE(std::isfinite(v)) << points[1];
        }
    }
}

TEST(PolygonSearches, FirstEdgeMetAndTheCrossingList) {
    // Square edge 0 runs (0, 4) -> (0, 0), edge 1 (0, 0) -> (4, 0), edge 2 (4, 0) -> (4, 4);
    // the bow-tie's edges 1 and 3 cross at (2, 2).
    Points square = {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, bow = {{0, 0}, {4, 4}, {4, 0}, {0, 4}};
    const Polygon shapes[] = {Polygon{}, polygon_of(square), polygon_of(bow)};
    const Vector none{-7, -7};
    // Shape, segment; the edge it meets first and where; the edges its line
    // meets, and the first along the line: its parameter and edge.
    const std::tuple<int, Segment, int32_t, Vector, uint32_t, double, int32_t> cases[] = {
        {0, seg(-1, 2, 8, 0), -1, none, 0, NO_CROSSING, -1},
        {1, seg(-2, 2, 8, 0), 0, {0, 2}, 2, 0.25, 0},
        {1, seg(2, 2, 2, 2), -1, none, 2, -1, 1}, // ends on a corner; the line meets each once
        // Along edge 1: met where the segment first touches the shared stretch; the
        // line at the edge's start going its way, else at its end, tied with edge 2.
        {1, seg(-2, 0, 4, 0), 1, {0, 0}, 2, 0.5, 1},
        {1, seg(1, 0, 2, 0), 1, {1, 0}, 2, -0.5, 1},
        {1, seg(3, 0, -2, 0), 1, {3, 0}, 2, -0.5, 1},
        {1, seg(6, 0, -8, 0), 2, {4, 0}, 2, 0.25, 1},  // the segment refused along edge 1
        {2, seg(2, 7, 0, -8), 1, {2, 2}, 2, 0.625, 1}, // ties: the lower edge wins
        {1, seg(-2, 0, 8, 0), 1, {0, 0}, 2, 0.25, 1},  // twice the edge's length
    };
    for (const auto& [shape, s, edge, at, met, t, line_edge] : cases) {
        Vector point = none;
        double ts[4] = {-7, -7, -7, -7}, t1 = -7;
        int32_t edges[4] = {-7, -7, -7, -7}, e1 = -7;
        const int32_t first = segment_first_intersects_polygon_at(shapes[shape], s, &point);
        const uint32_t count = line_intersects_polygon_at(shapes[shape], s, ts, edges, 3);
        line_intersects_polygon_at(shapes[shape], s, &t1, &e1, 1);
        EXPECT_EQ(std::tuple(first, point, count, ts[0], edges[0], ts[2], ts[3], edges[3], t1, e1),
                  std::tuple(edge, at, met, t, line_edge, NO_CROSSING, -7.0, -7, t, line_edge))
            << s;
    }
    // Entered only below slot 0, so the list is not the 3 smallest: 4 is lost, an
    // equal 3 not entered; a carried entry moves down while the slots below hold
    // larger parameters, and never past the last slot.
    const double M = NO_CROSSING;
    double t[4] = {M, M, M, 1}, u[4] = {2, 3, 5, 9}, v[4] = {2, 2, 5, 9}; // slot 3: beyond
    int32_t e[4] = {-1, -1, -1, 7}, f[4] = {20, 21, 50, 9}, g[4] = {20, 21, 50, 9};
    for (const auto& [ti, ei] : {std::pair(5.0, 50), {3.0, 30}, {4.0, 40}, {3.0, 31}}) {
        insert_intersection(ti, ei, t, e, 3);
    }
    insert_intersection(0, 0, u, f, 3);
    insert_intersection(0, 0, v, g, 3);
    EXPECT_EQ(std::tuple(std::vector(t, t + 4), std::vector(e, e + 4)),
              std::tuple(std::vector<double>{3, 5, M, 1}, std::vector<int32_t>{30, 50, -1, 7}));
    EXPECT_EQ(std::tuple(std::vector(u, u + 4), std::vector(f, f + 4)),
              std::tuple(std::vector<double>{0, 2, 3, 9}, std::vector<int32_t>{0, 20, 21, 9}));
    EXPECT_EQ(std::tuple(std::vector(v, v + 4), std::vector(g, g + 4)),
              std::tuple(std::vector<double>{0, 2, 5, 9}, std::vector<int32_t>{0, 21, 50, 9}));
}

TEST(SplitPolygon, ExactPiecesAndAllocationFailure) {
    // The unit square winds the other way; the square of side 4 the game's way,
    // its edge 0 running (4, 0) -> (0, 0), edge 1 (0, 0) -> (0, 4).
    Points unit = {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, square = {{0, 0}, {0, 4}, {4, 4}, {4, 0}};
    const Points half = {{1, 0}, {1, 1}, {0.5, 1}, {0.5, 0}};
    const Points rest = {{0, 1}, {0, 0}, {0.5, 0}, {0.5, 1}};
    Points up = {{0.5, 0}, {0.5, 1}}, down = {{0.5, 1}, {0.5, 0}};
    EXPECT_EQ(cut(polygon_of(unit), 1, 3, up), (Cut{1, 4, 4, half, rest}));
    EXPECT_EQ(cut(polygon_of(unit), 3, 1, down), (Cut{1, 4, 4, half, rest}));
    EXPECT_EQ(down, up) << "the chain turned round in place";
    Points notch = {{0, 1}, {1, 2}, {0, 3}}, slit = {{0, 1}, {0, 3}};
    const Points tip = {{0, 3}, {1, 2}, {0, 1}};
    const Points notched = {{0, 4}, {4, 4}, {4, 0}, {0, 0}, {0, 1}, {1, 2}, {0, 3}};
    EXPECT_EQ(cut(polygon_of(square), 1, 1, notch), (Cut{1, 3, 7, tip, notched}));
    // A one-point chain from edge 0 to edge 2 of a triangle leaves two points
    // on the far side: no second piece, but its count.
    Points triangle = {{0, 0}, {0, 4}, {4, 0}}, corner = {{1, 1}};
    EXPECT_EQ(cut(polygon_of(triangle), 0, 2, corner),
              (Cut{1, 3, 2, {{0, 0}, {0, 4}, {1, 1}}, {}}));
    Points bent = {{1, 1}, {0.5, 0.5}};
    EXPECT_EQ(std::get<4>(cut(polygon_of(triangle), 0, 2, bent)),
              (Points{{4, 0}, {1, 1}, {0.5, 0.5}}))
        << "three points: a piece";
    // A four-point chain from edge 3 to edge 1 is turned round whole.
    Points across = {{4, 1}, {3, 2}, {1, 2}, {0, 1}};
    EXPECT_EQ(std::get<3>(cut(polygon_of(square), 3, 1, across)),
              (Points{{0, 4}, {4, 4}, {4, 1}, {3, 2}, {1, 2}, {0, 1}}));
    EXPECT_EQ(across, (Points{{0, 1}, {1, 2}, {3, 2}, {4, 1}}));
    // Two points on one edge: no first piece, but its count.
    EXPECT_EQ(cut(polygon_of(square), 1, 1, slit),
              (Cut{1, 2, 6, {}, {{0, 4}, {4, 4}, {4, 0}, {0, 0}, {0, 1}, {0, 3}}}));
    // Edge -1 compares as the largest unsigned number: the chain is turned round
    // and, no edge of the square, cuts nothing.
    EXPECT_EQ(std::get<0>(cut(polygon_of(square), -1, 1, notch)), 0);
    EXPECT_EQ(std::get<0>(cut(polygon_of(square), 1, 4, notch)), 0);
    EXPECT_EQ(notch, tip);
    // The validator: three points or more in the game's winding, no zero-length
    // edge, every coordinate finite.
    Points small = {{0, 0}, {0, 0.5}, {0.5, 0}}, flat = {{0, 0}, {1, 0}, {2, 0}},
           flipped = {{0, 0}, {0.5, 0}, {0.5, 0.5}}, doubled = {{0, 0}, {0, 0}, {0, 4}, {4, 4}},
           closing = {{0, 0}, {0, 4}, {4, 4}, {0, 0}}, inf_x = {{1, -1}, {1, 1}, {INFINITY, 0}},
           nan_y = {{0, 0}, {0, 4}, {4, NAN}};
    std::vector<int> sound;
    for (Points* p :
         {&square, &triangle, &small, &slit, &flat, &flipped, &doubled, &closing, &inf_x, &nan_y}) {
        sound.push_back(polygon_is_sound(polygon_of(*p)));
    }
    sound.push_back(polygon_is_sound(Polygon{nullptr, 3, 1, 0, 0, 0}));
    EXPECT_EQ(sound, (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Either allocation failing, or both, or the only one: no piece kept.
    for (const auto& [skip, fail, b] : {std::tuple(0, 1, 3), {1, 1, 3}, {0, 2, 3}, {0, 1, 1}}) {
        Points chain = {{0, 1}, {b == 3 ? 4.0 : 0.0, 3}};
        reset_seams();
        fail_malloc_after(skip, fail);
        const Cut c = cut(polygon_of(square), 1, b, chain);
        EXPECT_EQ(seams.blocks, 0) << "a piece made before the failure is given back";
        reset_seams();
        EXPECT_EQ(c, (Cut{0, std::get<1>(c), std::get<2>(c), {}, {}}))
            << "skip " << skip << ", fail " << fail << ", edge " << b;
    }
}
