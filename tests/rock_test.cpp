#include "rock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "seams.h"

namespace {

constexpr Vector FIELD{800, 600};

// Every test leaves the generator seeded and the heap working again.
struct RockTest : ::testing::Test {
    void SetUp() override {
        reset_seams();
        init_rock_generator();
    }
    void TearDown() override {
        replay_random(nullptr, 0);
        seed_random(1);
        reset_seams();
    }
    // A rock from a replayed sequence; the caller frees its vertices.
    static Sprite replayed(const std::vector<uint16_t>& draws) {
        replay_random(draws.data(), draws.size());
        Sprite rock{};
        EXPECT_NE(random_rock(&rock, FIELD, 200, 200, 200), nullptr);
        return rock;
    }
};

} // namespace

TEST_F(RockTest, RandomNumbers) {
    auto draws = [](int n, double (*draw)()) {
        std::vector<double> drawn;
        while (n-- > 0) {
            drawn.push_back(draw());
        }
        return drawn;
    };
    auto bits = []() -> double { return random_15bit(); };
    const uint16_t values[] = {0, 24575, 24576, 32767, 32768 + 5};
    replay_random(values, 5);
    EXPECT_EQ(draws(6, bits), (std::vector<double>{0, 24575, 24576, 32767, 5, 0}));
    replay_random(values + 1, 4);
    EXPECT_EQ(draws(3, frand), (std::vector<double>{24575 / 32768.0, 0.75, 0.999969482421875}));
    replay_random(values, 4);
    EXPECT_EQ(random_in(3, 1), 3.0) << "a > b includes a";
    EXPECT_EQ(random_in(-2, 2), -2 + 4 * (24575 / 32768.0));

    // The seeded generator is the portable rand of the C standard's example;
    // seeding drops a replay, and so does an empty one.
    seed_random(1);
    EXPECT_EQ(draws(4, bits), (std::vector<double>{16838, 5758, 10113, 17515}));
    replay_random(values, 5);
    seed_random(1);
    EXPECT_EQ(random_15bit(), 16838);
    replay_random(values, 5);
    replay_random(values, 0);
    EXPECT_EQ(random_15bit(), 5758);
    for (int i = 0; i < 20000; ++i) {
        const double up = random_in(1, 3);
        const double down = random_in(3, 1);
        ASSERT_TRUE(1 <= up && up < 3 && 1 < down && down <= 3) << up << " " << down;
    }
}

// Each direction draws q and, when q < 0.75, a distance; the velocity and spin
// come after the ring, 23 + n draws in all. A symmetric ring of 16 lies on an
// ellipse: vertex j at (k Y cos(j pi/8), -Y sin(j pi/8)).
TEST_F(RockTest, DrawsDecideTheRing) {
    const uint16_t out = 24576; // q = 0.75: left out
    const uint16_t half = 16384;
    // Leading zeros, directions left out, then at rest and turning at -pi/3.
    auto ring = [&](size_t zeros, size_t left_out) {
        std::vector<uint16_t> draws(zeros, 0);
        draws.resize(zeros + left_out, out);
        draws.insert(draws.end(), {half, half, 0});
        return draws;
    };
    std::vector<uint16_t> skip_one = ring(35, 0);
    skip_one[4] = 24575;
    skip_one[6] = out;
    const double f = 32767 / 32768.0; // the largest draw
    const double y = 0.875 * (75 * f + 25);
    const double k = 5.0 / 6 * f + 2.0 / 3;
    struct Case {
        const char* name;
        std::vector<uint16_t> draws;
        uint32_t count;
        double y_radius, stretch, x, y; // of a symmetric ring, and its spot
        double velocity, spin;          // both components of the velocity
    };
    const double no = NAN;
    const double spin = -M_PI / 3;
    const Case cases[] = {
        // The spot (0, 0), R 25, all sixteen directions at 18.75, drifting at
        // (-100, -100) and turning at -pi/3.
        {"all zeros", {0}, 16, 18.75, 2.0 / 3, 0, 0, -100, spin},
        {"24575 uses, 24576 leaves out", skip_one, 15, no, no, no, no, 0, spin},
        // Fewer than three directions: the full ring at 0.875 R, no further draws.
        {"two directions", ring(8, 14), 16, 21.875, 2.0 / 3, 0, 0, 0, spin},
        {"three directions", ring(10, 13), 3, no, no, no, no, 0, spin},
        {"all halves", {half}, 16, 0.875 * 62.5, 5.0 / 12 + 2.0 / 3, 399.5, 299.5, 0, 0},
        {"32767", {32767}, 16, y, k, 799 * f, 599 * f, 200 * f - 100, -spin * (2 * f - 1)}};
    for (const Case& c : cases) {
        Sprite rock = replayed(c.draws);
        EXPECT_EQ(rock.polygon.count, c.count) << c.name;
        EXPECT_NEAR(rock.velocity.x, c.velocity, 1e-9) << c.name;
        EXPECT_NEAR(rock.velocity.y, c.velocity, 1e-9) << c.name;
        EXPECT_NEAR(rock.angular_velocity, c.spin, 1e-12) << c.name;
        if (!std::isnan(c.x)) {
            EXPECT_NEAR(rock.position.x, c.x, 1e-9) << c.name;
            EXPECT_NEAR(rock.position.y, c.y, 1e-9) << c.name;
        }
        for (uint32_t j = 0; !std::isnan(c.x) && j < 16; ++j) {
            const Vector v = rock.polygon.vertices[j];
            EXPECT_NEAR(v.x, c.stretch * c.y_radius * std::cos(M_PI * j / 8), 1e-9) << c.name;
            EXPECT_NEAR(v.y, -c.y_radius * std::sin(M_PI * j / 8), 1e-9) << c.name << j;
        }
        EXPECT_EQ(random_15bit(), c.draws[0]) << c.name << ": the replay starts over";
        std::free(rock.polygon.vertices);
    }
}

// Over many seeds: every rock is sound, centred and weighed by its density, and
// takes exactly 23 + n draws.
TEST_F(RockTest, PropertiesOverManySeeds) {
    for (uint32_t seed = 1; seed <= 500; ++seed) {
        seed_random(seed);
        Sprite rock{};
        ASSERT_EQ(random_rock(&rock, FIELD, 10, 20, 30), &rock) << seed;
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

TEST_F(RockTest, AllocationFailureGivesUp) {
    Sprite storage;
    Sprite pattern;
    std::memset(static_cast<void*>(&storage), 0xab, sizeof storage);
    std::memset(static_cast<void*>(&pattern), 0xab, sizeof pattern);
    fail_malloc_after(0);
    EXPECT_EQ(random_rock(&storage, FIELD, 1, 2, 3), nullptr);
    EXPECT_EQ(std::memcmp(&storage, &pattern, sizeof storage), 0) << "storage untouched";

    std::memset(rock_points, 0, sizeof rock_points);
    auto* rocks = static_cast<Sprite*>(std::malloc(3 * sizeof(Sprite)));
    ASSERT_EQ(generate_rocks(rocks, 3, FIELD, 1, 2, 3), rocks);
    EXPECT_EQ(rock_points[4].y, -1.0) << "the directions are filled first";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rocks[i].kind, KIND_ROCK);
        EXPECT_GE(rocks[i].polygon.count, 3u);
        std::free(rocks[i].polygon.vertices);
    }
    std::free(rocks);

    // The array and the rocks made so far are given back (the sanitizer build
    // sees any leak).
    for (const int skip : {0, 2}) {
        rocks = static_cast<Sprite*>(std::malloc(3 * sizeof(Sprite)));
        fail_malloc_after(skip);
        EXPECT_EQ(generate_rocks(rocks, 3, FIELD, 1, 2, 3), nullptr) << skip;
        reset_seams();
    }
}
