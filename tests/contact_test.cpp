// The exact contact test places the second outline's sides once when they fit
// its buffer, and once per side of the first outline when they do not. Both
// paths must give the same bits: checked here against the test written plainly,
// for outlines on both sides of the buffer's size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "sprite.h"

namespace {

// The contact test as a straight reading of its formulas: every side of a
// against every side of b, each side placed where it is used.
int plain_intersect(const Sprite& a, const Sprite& b, Vector world, Vector* point, Vector* normal) {
    const Vector d = torus_displacement(a.position, b.position, world);
    auto side = [](const Sprite& s, uint32_t i, Vector offset) {
        const uint32_t n = s.polygon.count;
        const Vector p = vector_add(
            vector_rotate(s.polygon.vertices[i == 0 ? n - 1 : i - 1], s.orientation), offset);
        const Vector q = vector_add(vector_rotate(s.polygon.vertices[i], s.orientation), offset);
        return Segment{p, vector_sub(q, p)};
    };
    uint32_t hits = 0;
    Vector ps{0, 0}, ns{0, 0};
    for (uint32_t i = 0; i < a.polygon.count; ++i) {
        const Segment s = side(a, i, Vector{0, 0});
        for (uint32_t j = 0; j < b.polygon.count; ++j) {
            const Segment o = side(b, j, d);
            double t[2];
            const int r = segments_intersect(s, o, t);
            for (int k = 0; k < (r == 1 ? 1 : r == 2 ? 2 : 0); ++k) {
                const Segment& along = r == 1 ? s : o;
                ps = vector_add(ps, vector_add(vector_add(a.position, along.origin),
                                               vector_scale(along.direction, t[k])));
                ns = vector_add(ns, Vector{s.direction.y, -s.direction.x});
                ++hits;
            }
        }
    }
    *point = hits ? vector_scale(ps, 1.0 / hits) : Vector{0, 0};
    *normal = hits ? vector_scale(ns, 1.0 / hits) : Vector{0, 0};
    return hits ? 1 : 0;
}

} // namespace

TEST(SpritesIntersect, BothPathsGiveThePlainResultToTheLastBit) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0, 1);
    const Vector world{800, 600};
    int contacts = 0;
    for (int trial = 0; trial < 400; ++trial) {
        // Star-shaped outlines in the game's winding, up to twice the buffer.
        std::vector<Vector> rings[2];
        Sprite s[2]{};
        for (int k = 0; k < 2; ++k) {
            const auto n = 3 + static_cast<uint32_t>(unit(rng) * 2 * PLACED_SIDES);
            for (uint32_t i = 0; i < n; ++i) {
                const double angle = -2 * M_PI * (i + 0.5 * unit(rng)) / n;
                const double r = 20 + 30 * unit(rng);
                rings[k].push_back(Vector{r * std::cos(angle), r * std::sin(angle)});
            }
            s[k].polygon = Polygon{rings[k].data(), n, 1, 50, 0, 0};
            const double turn = 6.3 * unit(rng);
            s[k].orientation = Vector{std::cos(turn), std::sin(turn)};
            s[k].position = Vector{790 * unit(rng), 590 * unit(rng)};
        }
        // Near each other, often across the field's edge.
        s[1].position.x = std::fmod(s[0].position.x + 60 * unit(rng) + 770, 800);
        s[1].position.y = std::fmod(s[0].position.y + 60 * unit(rng) + 570, 600);
        Vector p[2]{}, n[2]{};
        const int fast = sprites_intersect(s[0], s[1], world, &p[0], &n[0]);
        ASSERT_EQ(fast, plain_intersect(s[0], s[1], world, &p[1], &n[1])) << "trial " << trial;
        ASSERT_EQ(std::memcmp(p, p + 1, sizeof p[0]) | std::memcmp(n, n + 1, sizeof n[0]), 0)
            << "trial " << trial << " with " << s[1].polygon.count << " sides on the second";
        contacts += fast;
    }
    EXPECT_GT(contacts, 100) << "the trials should mostly touch";
}
