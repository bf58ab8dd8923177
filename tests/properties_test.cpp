// Properties over random inputs: a bounce keeps momentum and angular momentum
// and adds no energy; a cut shares out its parent; every random rock is sound;
// the fast collision pass gives the plain one's contacts bit for bit, in random
// rock pairs and in crowded games.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
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

// Every pair of the count entries: the pass and sprites_collide agree on the
// result and the point's and normal's bits. Returns the contacts; kinds gets a
// bit per kind listed.
static int same_contacts(Sprite* const sprites[], uint32_t count, Vector world, uint32_t* kinds) {
    ContactPass pass;
    begin_contact_pass(&pass, sprites, count, ~0u, world);
    int contacts = 0;
    for (uint32_t i = 0; i < count; *kinds |= 1u << sprites[i++]->kind) {
        for (uint32_t j = i + 1; j < count; ++j) {
            Vector plain[2] = {{7, 7}, {7, 7}}, fast[2] = {{7, 7}, {7, 7}};
            const int hit = sprites_collide(*sprites[i], *sprites[j], world, &plain[0], &plain[1]);
            EXPECT_EQ(hit, contact_sprites_collide(&pass, i, j, &fast[0], &fast[1]));
            using Bits = std::array<uint64_t, 4>; // the point's and the normal's
            EXPECT_EQ(std::bit_cast<Bits>(plain), std::bit_cast<Bits>(fast)) << i << "," << j;
            contacts += hit;
        }
    }
    return contacts;
}

// Random rocks close together, at the field's corner too; every third pair is
// one outline twice, a side along the x or the y axis (its box the thinnest), the copy
// moved along that side, off its line by up to 1.2e-4 of its length and turned
// by up to 1.2e-4 radians: the shared stretch and both its tolerances.
TEST(Properties, RandomPairsMatchThePlainTest) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(-1, 1);
    seed_random(9);
    init_rock_generator();
    int contacts = 0;
    uint32_t kinds = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        Sprite a{}, b{};
        random_rock(&a, Vector{800, 600}, 1, 1, 1);
        random_rock(&b, Vector{800, 600}, 1, 1, 1);
        const bool twice = trial % 3 == 0;
        const Vector own = vector_sub(a.polygon.vertices[1], a.polygon.vertices[0]);
        const double turn =
            twice ? (trial % 2 ? 0 : M_PI / 2) - std::atan2(own.y, own.x) : 3.2 * unit(random);
        const double tilt = twice ? 1.2e-4 * unit(random) : 3.2 * unit(random);
        a.orientation = Vector{std::cos(turn), std::sin(turn)};
        a.position = trial % 2 ? Vector{799.5, 0.5} : Vector{400, 300};
        Sprite c = twice ? a : b;
        c.orientation = Vector{std::cos(turn + tilt), std::sin(turn + tilt)};
        const Vector side = vector_rotate(own, a.orientation);
        const Vector d = twice ? vector_add(vector_scale(side, unit(random)),
                                            vector_scale(vector_perp(side), 1.2e-4 * unit(random)))
                               : Vector{120 * unit(random), 120 * unit(random)};
        c.position = Vector{wrap_coordinate(a.position.x + d.x, 800),
                            wrap_coordinate(a.position.y + d.y, 600)};
        Sprite* const pair[] = {&a, &c};
        contacts += same_contacts(pair, 2, Vector{800, 600}, &kinds);
        std::free(a.polygon.vertices);
        std::free(b.polygon.vertices);
    }
    EXPECT_GT(contacts, 8000);
}

// Crowded games with fire held, the ship thrusting and turning, by the plain
// pass and then the fast one: the same state after every step, and every 20th
// step the same contacts for every listed pair, missiles and fragments included.
TEST(Properties, GamesMatchThePlainPass) {
    for (const int rocks : {33, 47, 70}) {
        std::vector<uint64_t> hashes[2];
        uint32_t kinds = 0;
        for (const int32_t plain : {1, 0}) {
            seed_random(static_cast<uint32_t>(rocks));
            Game game{};
            game.plain_contacts = plain;
            ASSERT_TRUE(init_game(&game, 800, 600, rocks));
            game.ship.controls = CONTROL_FIRE | CONTROL_LEFT | CONTROL_THRUST;
            for (int step = 0; step < 600; ++step) {
                if (!plain && step % 20 == 0) {
                    same_contacts(active_sprites(game), game.active.count, game.world_size, &kinds);
                }
                step_game(&game, STEP_SECONDS);
                hashes[plain].push_back(hash_game(game));
            }
            release_game(&game);
        }
        EXPECT_EQ(hashes[0], hashes[1]) << rocks << " rocks";
        EXPECT_EQ(kinds, 0x1eu) << "rocks, the ship, missiles and fragments: " << rocks;
    }
}

// Outlines too large for the pass (80 vertices), and enough of 60 vertices to
// overflow its store, are tested the plain way with the same contacts.
TEST(Properties, LargeOutlinesMatchThePlainTest) {
    std::mt19937 random(8);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Vector> rings[2];
    for (const uint32_t n : {60u, 80u}) {
        for (uint32_t k = 0; k < n; ++k) {
            const double angle = 6.283185307179586 * k / n;
            rings[n / 80].push_back(Vector{50 * std::cos(angle), -30 * std::sin(angle)});
        }
    }
    Sprite sprites[50];
    Sprite* list[50];
    for (int k = 0; k < 50; ++k) {
        std::vector<Vector>& ring = rings[k % 5 == 0];
        init_sprite(&sprites[k], 800 * unit(random), 600 * unit(random),
                    Polygon{ring.data(), static_cast<uint32_t>(ring.size()), 0, 0, 0, 0}, 1, 1, 1,
                    1);
        const double turn = 7 * unit(random);
        sprites[k].orientation = Vector{std::cos(turn), std::sin(turn)};
        list[k] = &sprites[k];
    }
    uint32_t kinds = 0;
    EXPECT_GT(same_contacts(list, 50, Vector{800, 600}, &kinds), 20);
}
