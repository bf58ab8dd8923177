// The searches along an outline and the cut. The outline is a simple one in
// the game's winding, star-shaped about its centre (3 to 40 vertices, 0.001 to
// a million pixels across); the chain runs from a point on edge a in to the
// centre and out to a point on edge b, so it lies inside. Then: an edge found
// is an edge of the outline and its point is finite; the line search counts at
// most every edge and its first slot names one; the cut succeeds, both pieces
// are sound outlines, and every vertex goes to exactly one of them.
#include <vector>

#include "fuzz_common.h"
#include "shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const double size_of = std::pow(10.0, -3 + 9 * (in.byte() / 255.0));
    const uint32_t n = 3 + in.byte() % 38;
    std::vector<Vector> p(n);
    for (uint32_t i = 0; i < n; ++i) {
        const double turn = -(i + 0.4 * (in.byte() / 255.0 - 0.5)) * 2 * M_PI / n;
        const double radius = size_of * (0.3 + 0.7 * in.byte() / 255.0);
        p[i] = Vector{radius * std::cos(turn), radius * std::sin(turn)};
    }
    const Polygon polygon{p.data(), n, 1, 0, 0, 0};
    REQUIRE(polygon_is_sound(polygon));

    // Any segment: the searches.
    const Segment probe{{in.real(), in.real()}, {in.real(), in.real()}};
    Vector at{-7, -7};
    const int32_t edge = segment_first_intersects_polygon_at(polygon, probe, &at);
    REQUIRE(edge >= -1 && edge < static_cast<int32_t>(n));
    REQUIRE(edge == -1 || (!std::isnan(at.x) && !std::isnan(at.y)));
    double t[2];
    int32_t edges[2];
    const uint32_t met = line_intersects_polygon_at(polygon, probe, t, edges, 2);
    REQUIRE(met <= n && edges[0] >= -1 && edges[0] < static_cast<int32_t>(n));
    REQUIRE(met > 0 || edges[0] == -1); // a crossing at t = inf or NaN counts, unlisted

    // A chain from edge a through the centre to edge b (further along when a = b).
    const uint32_t a = in.byte() % n, b = in.byte() % n, legs = 1 + in.byte() % 3;
    double mu[2] = {0.05 + 0.9 * in.byte() / 255.0, 0.05 + 0.9 * in.byte() / 255.0};
    if (a == b && mu[0] > mu[1]) {
        std::swap(mu[0], mu[1]);
    }
    if (a == b && mu[0] == mu[1]) {
        return 0;
    }
    std::vector<Vector> chain;
    for (uint32_t k = 0; k <= 2 * legs; ++k) {
        const uint32_t j = k <= legs ? a : b, i = (j + n - 1) % n;
        const Vector end = vector_add(p[i], vector_scale(vector_sub(p[j], p[i]), mu[k > legs]));
        chain.push_back(vector_scale(end, std::fabs(1.0 * k / legs - 1)));
    }
    Polygon pieces[2]{};
    const uint32_t m = chain.size();
    REQUIRE(split_polygon(polygon, a, b, chain.data(), m, &pieces[0], &pieces[1]) == 1);
    REQUIRE(pieces[0].count + pieces[1].count == n + 2 * m);
    REQUIRE(polygon_is_sound(pieces[0]) && polygon_is_sound(pieces[1]));
    for (const Vector& v : p) {
        int found = 0;
        for (const Polygon& piece : pieces) {
            for (uint32_t i = 0; i < piece.count; ++i) {
                found += piece.vertices[i].x == v.x && piece.vertices[i].y == v.y;
            }
        }
        REQUIRE(found == 1);
    }
    std::free(pieces[0].vertices);
    std::free(pieces[1].vertices);
    return 0;
}
