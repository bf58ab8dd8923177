// Properties over random inputs: a bounce keeps momentum and angular momentum
// and adds no energy; a cut shares out its parent; every random rock is sound.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "rock.h"
#include "seams.h"

// Over many random off-centre blows, across the field's edge too: the contact
// points part at 0.9 times their approach speed, momentum and angular momentum
// are kept, and energy is lost.
TEST(Properties, BouncesKeepMomentaAndLoseEnergy) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(-1, 1);
    // Momentum, angular momentum about a's centre (b's at c), twice the energy.
    auto totals = [](const Sprite& a, const Sprite& b, Vector c) {
        const Vector p =
            vector_add(vector_scale(a.velocity, a.mass), vector_scale(b.velocity, b.mass));
        const double l = b.mass * vector_cross(c, b.velocity) - a.moment * a.angular_velocity -
                         b.moment * b.angular_velocity;
        const double e = a.mass * vector_dot(a.velocity, a.velocity) +
                         b.mass * vector_dot(b.velocity, b.velocity) +
                         a.moment * a.angular_velocity * a.angular_velocity +
                         b.moment * b.angular_velocity * b.angular_velocity;
        return std::vector<double>{p.x, p.y, l, e};
    };
    int bounced = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const double ax = trial % 2 ? 790 : 400; // a near the right edge, b across it
        Sprite a = body({{30, 0}, {-15, -20}, {-15, 20}}, ax, 300);
        Sprite b = body(square(12), std::fmod(ax + 25, 800), 300 + 10 * unit(random));
        a.velocity = Vector{100 * unit(random), 100 * unit(random)};
        b.velocity = Vector{100 * unit(random), 100 * unit(random)};
        a.angular_velocity = 2 * unit(random);
        b.angular_velocity = 2 * unit(random);
        const Vector point = vector_add(a.position, {12 + 3 * unit(random), 15 * unit(random)});
        const Vector cb{25, b.position.y - 300};
        const Vector normal = vector_scale(Vector{unit(random), unit(random)}, 1 + unit(random));
        // The material's velocities at the point, their difference along the normal.
        auto approach = [&] {
            return vector_dot(
                vector_sub(linear_velocity(a, point, FIELD), linear_velocity(b, point, FIELD)),
                normal);
        };
        const double vn = approach();
        const std::vector<double> before = totals(a, b, cb);
        const double spins[2] = {a.angular_velocity, b.angular_velocity};
        bounce_sprite_pair(&a, &b, FIELD, point, normal);
        const std::vector<double> after = totals(a, b, cb);
        if (vn >= 0) {
            EXPECT_EQ(after, before) << trial;
            continue;
        }
        ++bounced;
        EXPECT_NEAR(approach(), -0.9 * vn, 1e-9 * std::fabs(vn)) << trial;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(after[k], before[k], 1e-9 * std::fabs(before[3])) << trial << " " << k;
        }
        EXPECT_LT(after[3], before[3]) << trial;
        EXPECT_TRUE(a.angular_velocity != spins[0] && b.angular_velocity != spins[1]) << trial;
    }
    EXPECT_GT(bounced, 50);
}

// A cut shares out its parent: over random rocks cut from the middle of one edge
// through the centre to the middle of another, the pieces together have the
// rock's area and every vertex of the rock and of the chain, the chain twice.
TEST(Properties, CutsShareOutTheParent) {
    std::mt19937 random(13);
    init_rock_generator();
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        seed_random(seed);
        Sprite rock{};
        ASSERT_NE(random_rock(&rock, Vector{800, 600}, 1, 1, 1), nullptr);
        const Polygon& p = rock.polygon;
        const auto a = static_cast<int32_t>(random() % p.count);
        const auto b = static_cast<int32_t>((a + 1 + random() % (p.count - 1)) % p.count);
        auto middle = [&p](int32_t e) {
            return vector_scale(vector_add(p.vertices[e], p.vertices[e == 0 ? p.count - 1 : e - 1]),
                                0.5);
        };
        Points chain = {middle(a), {0, 0}, middle(b)};
        Polygon pieces[2];
        ASSERT_EQ(split_polygon(p, a, b, chain.data(), 3, &pieces[0], &pieces[1]), 1);
        EXPECT_EQ(pieces[0].count + pieces[1].count, p.count + 6) << seed;
        double area = 0;
        for (Polygon& piece : pieces) {
            init_polygon(&piece, nullptr);
            area += piece.area;
            std::free(piece.vertices);
        }
        EXPECT_NEAR(area, p.area, 1e-9 * p.area) << seed;
        std::free(rock.polygon.vertices);
    }
}

// Every random rock is sound, centred, weighed by its density, and takes
// exactly 23 + n draws.
TEST(Properties, RandomRocksAreSound) {
    init_rock_generator();
    for (uint32_t seed = 1; seed <= 500; ++seed) {
        seed_random(seed);
        Sprite rock{};
        ASSERT_EQ(random_rock(&rock, Vector{800, 600}, 10, 20, 30), &rock) << seed;
        Polygon p = rock.polygon;
        Vector centroid;
        init_polygon(&p, &centroid); // moves the vertices by no more than rounding
        EXPECT_DOUBLE_EQ(rock.moment, 5 * rock.polygon.second_moment) << seed;
        EXPECT_NEAR(std::hypot(centroid.x, centroid.y), 0, 1e-9) << seed;
        EXPECT_EQ(polygon_is_sound(p), 1) << seed << ": three points or more, the game's winding";
        const int32_t next = random_15bit();
        seed_random(seed);
        for (uint32_t i = 0; i < 23 + p.count; ++i) {
            random_15bit();
        }
        EXPECT_EQ(random_15bit(), next) << seed << ": " << p.count << " vertices";
        std::free(rock.polygon.vertices);
    }
}
