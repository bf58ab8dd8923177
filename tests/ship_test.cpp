#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "brelkor.h"
#include "seams.h"

namespace {

constexpr Vector FIELD{800, 600};
constexpr double L = SHIP_TURN_RATE * 0.01; // the largest turn of one step
const Vector MISSILE_POINTS[3] = {{6, 0}, {0, -2}, {0, 2}};

template <class... T> std::vector<double> values(T... v) { return {static_cast<double>(v)...}; }

// Each value against the one expected, within the tolerance.
void expect_values(const std::vector<double>& actual, const std::vector<double>& expected,
                   double tolerance, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << ", value " << i;
    }
}

// A square sprite of the given kind and half side 10 (or h) at (x, y).
Sprite square(int32_t kind, double x, double y, double h = 10) {
    static std::vector<std::vector<Vector>> kept; // moving a vector keeps its elements in place
    kept.push_back({{h, h}, {h, -h}, {-h, -h}, {-h, h}});
    Sprite s{};
    init_sprite(&s, x, y, Polygon{kept.back().data(), 4, 0, 0, 0, 0}, 1, 200, 200, 200);
    s.kind = kind;
    return s;
}

// The ship at (400, 300), nose up, at rest; a game built on demand.
struct ShipTest : ::testing::Test {
    Ship ship{};
    Game game{};
    void SetUp() override {
        reset_seams();
        std::copy(MISSILE_POINTS, MISSILE_POINTS + 3, missile_points);
        init_polygon(&ship_shape, nullptr);
        init_ship(&ship, 400, 300);
    }
    void TearDown() override {
        release_game(&game);
        std::copy(MISSILE_POINTS, MISSILE_POINTS + 3, missile_points);
        reset_seams();
    }
    // A fresh game with the ship alone.
    void start() {
        release_game(&game);
        game = Game{};
        ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    }
    Sprite* listed(uint32_t i) const { return active_sprites(game)[i]; }
};

} // namespace

// The outlines as found, centred or not: the nose along +x.
TEST(ShipShapes, OutlinesAsFound) {
    const Vector* m = missile_shape.vertices;
    ASSERT_TRUE(m == missile_points && missile_shape.count == 3);
    Ship ship;
    ship.controls = ship.fire_cooldown_ms = 7;
    init_ship(&ship, 400, 300);
    expect_values(values(m[1].x - m[0].x, m[1].y - m[0].y, m[2].x - m[0].x, m[2].y - m[0].y,
                         ship.kind, ship.controls, ship.fire_cooldown_ms, ship.color.r,
                         ship.color.g, ship.color.b, ship.orientation.x, ship.orientation.y),
                  {-6, -2, -6, 2, KIND_SHIP, 0, 0, 255, 40, 40, 0, -1}, 1e-12, "as found");
}

// From the heading (0, -1) a turn by a gives (-sin a, -cos a); a spin of 2 goes
// on when the ship does not turn and stops when it does.
TEST_F(ShipTest, TurnsByKeysAndRetro) {
    const double x = 50 * std::sin(0.02), y = 50 * std::cos(0.02); // 0.02 off the line
    const double l = CONTROL_LEFT, r = CONTROL_RIGHT, lr = l + r, R = CONTROL_RETRO, no = NAN;
    const double Rl = R + l, Rr = R + r, past = std::atan2(0.0075, 50);
    // Controls, velocity, turn (none: NAN). Left, right, both, neither; retro at
    // rest with left ignored; retro along the motion, with a lean in the dead
    // zone, slowly; against the motion, in the dead zone, just past it; 0.02 right
    // of behind, left of behind, right of ahead; sideways right and left.
    const double cases[][4] = {
        {l, 0, 0, L},      {r, 0, 0, -L},        {lr, 0, 0, no},        {0, 0, 0, no},
        {Rl, 0, 0, no},    {R, 0, -50, L},       {R, 0.0025, -50, L},   {R, 0, -0.01, L},
        {Rr, 0, 50, no},   {R, -0.0045, 50, no}, {R, 0.0075, 50, past}, {R, x, y, 0.02},
        {R, -x, y, -0.02}, {R, x, -y, 0.02},     {R, 50, 0, L},         {Rl, -50, 0, -L}};
    for (const auto& c : cases) {
        init_ship(&ship, 400, 300);
        ship.controls = static_cast<int32_t>(c[0]);
        ship.velocity = Vector{c[1], c[2]};
        ship.angular_velocity = 2;
        simulate_ship_engines(&ship, 0.01);
        const double turn = std::isnan(c[3]) ? 0 : c[3];
        expect_values(values(ship.orientation.x, ship.orientation.y, ship.angular_velocity),
                      {-std::sin(turn), -std::cos(turn), std::isnan(c[3]) ? 2.0 : 0.0},
                      std::isnan(c[3]) ? 0 : 1e-12, "turn " + std::to_string(&c - cases));
    }
}

TEST_F(ShipTest, ThrustCoolDownAndFront) {
    // Down by the step's whole milliseconds, truncated, never below 0.
    const double cool_downs[][3] = {{5, 0.01, 0},   {10, 0.01, 0},    {15, 0.01, 5},
                                    {0, 0.01, 0},   {400, 0.01, 390}, {400, 0.0159, 385},
                                    {2000, 1, 1000}};
    for (const auto& c : cool_downs) {
        ship.fire_cooldown_ms = static_cast<int32_t>(c[0]);
        simulate_ship_engines(&ship, c[1]);
        EXPECT_EQ(ship.fire_cooldown_ms, c[2]) << c[0] << " after " << c[1];
    }
    // Headings and the fronts they give.
    const double fronts[][4] = {{0, -1, 400, 268.5}, {1, 0, 431.5, 300}, {0.6, 0.8, 418.9, 325.2}};
    for (const auto& c : fronts) {
        ship.position = Vector{400, 300};
        ship.orientation = Vector{c[0], c[1]};
        const Vector front = ship_front(ship);
        expect_values({front.x, front.y}, {c[2], c[3]}, 1e-12, "front");
    }
}

TEST_F(ShipTest, MissilesLeaveAheadOfTheNose) {
    Missile* first = fire_missile(&ship);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(fire_missile(&ship), nullptr) << "the cool-down runs";
    const Missile& m = *first;
    // The first centres the outline; heading up, burning, at rest.
    expect_values(
        values(ship.fire_cooldown_ms, m.kind, m.position.x, m.position.y, m.orientation.x,
               m.orientation.y, m.acceleration.x, m.acceleration.y, m.velocity.x, m.velocity.y,
               m.thrust_ms, m.life_ms, m.polygon.area, m.moment, m.polygon.radius,
               m.angular_velocity, m.color.b),
        {400, KIND_MISSILE, 402, 265.5, 0, -1, 0, -1600, 0, 0, 500, 1000, 12, 32, 4, 0, 200}, 1e-12,
        "the first missile");

    ship.fire_cooldown_ms = 0;
    ship.velocity = Vector{100, 0};
    fail_malloc_after(0);
    EXPECT_EQ(fire_missile(&ship), nullptr);
    EXPECT_EQ(ship.fire_cooldown_ms, 0) << "no record, no cool-down";
    Missile* second = fire_missile(&ship);
    ASSERT_NE(second, nullptr);
    // Later ones start on the point, with the ship's velocity.
    expect_values(
        values(second->position.x, second->position.y, second->velocity.x, second->velocity.y),
        {400, 265.5, 100, 0}, 1e-12, "the second missile");
    std::free(first);
    std::free(second);
}

// Two squares meeting head on, the normal from the second toward the first.
TEST_F(ShipTest, RulesByKindAndPairOrder) {
    game.world_size = FIELD;
    const int32_t R = KIND_ROCK, S = KIND_SHIP, M = KIND_MISSILE, F = KIND_FRAGMENT;
    const int32_t D = KIND_DEAD;
    // The kinds before, whether they bounce, and the kinds after.
    const int32_t cases[][5] = {{R, R, 1, R, R}, {S, R, 1, S, R}, {R, S, 1, R, S}, {S, M, 0, S, D},
                                {M, S, 0, D, S}, {M, M, 0, M, M}, {F, R, 0, F, R}, {R, F, 0, R, F},
                                {F, S, 0, F, S}, {M, F, 0, M, F}, {F, F, 0, F, F}, {D, R, 0, D, R},
                                {R, D, 0, R, D}, {S, D, 0, S, D}, {D, M, 0, D, M}, {M, D, 0, M, D}};
    for (const auto& c : cases) {
        Sprite a = square(c[0], 100, 100);
        Sprite b = square(c[1], 120, 100);
        a.velocity = Vector{50, 0};
        b.velocity = Vector{-50, 0};
        collide_sprite_pair(&a, &b, &game, Vector{110, 100}, Vector{-1, 0});
        expect_values(values(a.kind, b.kind, a.velocity.x, b.velocity.x),
                      values(c[3], c[4], c[2] ? -45 : 50, c[2] ? 45 : -50), 1e-12,
                      std::to_string(c[0]) + "," + std::to_string(c[1]));
    }
}
