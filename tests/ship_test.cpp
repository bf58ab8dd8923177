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
    // A fresh game in which fire is held for the first step.
    void fire_once() {
        start();
        game.ship.controls = CONTROL_FIRE;
        step_game(&game, 0.01);
        game.ship.controls = 0;
        game.ship.position = Vector{100, 100}; // out of the missile's way
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

TEST_F(ShipTest, KeysSetAndClearTheirBits) {
    const SDL_Keycode keys[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_SPACE};
    const int32_t bits[] = {CONTROL_THRUST, CONTROL_RETRO, CONTROL_LEFT, CONTROL_RIGHT,
                            CONTROL_FIRE};
    for (int i = 0; i < 5; ++i) {
        const int32_t bit = bits[i];
        ship.controls = 0;
        control_ship(&ship, key_event(SDL_KEYDOWN, keys[i]));
        EXPECT_EQ(ship.controls, bit) << i;
        ship.controls = 31;
        control_ship(&ship, key_event(SDL_KEYUP, keys[i]));
        EXPECT_EQ(ship.controls, 31 & ~bit) << i;
    }
    // Unmapped keys and unpressed releases do nothing.
    for (const int32_t held : {int32_t{CONTROL_LEFT}, 31 & ~CONTROL_RIGHT}) {
        ship.controls = held;
        for (const SDL_Keycode key : {SDLK_a, SDLK_p, SDLK_ESCAPE}) {
            control_ship(&ship, key_event(held == CONTROL_LEFT ? SDL_KEYDOWN : SDL_KEYUP, key));
        }
        control_ship(&ship, key_event(SDL_KEYUP, SDLK_RIGHT));
        EXPECT_EQ(ship.controls, held);
    }
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

    // Facing along its motion, the ship swings round at the full rate, by the
    // shorter way, and stops facing against it.
    init_ship(&ship, 400, 300);
    ship.velocity = Vector{0, -50};
    ship.controls = CONTROL_RETRO;
    int turning_steps = 0;
    for (int i = 0; i < 150; ++i) {
        const Vector before = ship.orientation;
        simulate_ship_engines(&ship, 0.01);
        turning_steps += before.x != ship.orientation.x || before.y != ship.orientation.y;
        EXPECT_LE(ship.orientation.x, 1e-12) << "always to the left, step " << i;
    }
    EXPECT_EQ(turning_steps, static_cast<int>(std::ceil(M_PI / L)));
    expect_values(values(ship.orientation.x, ship.orientation.y), {0, 1}, 1e-12, "turned round");
}

TEST_F(ShipTest, ThrustCoolDownAndFront) {
    ship.controls = CONTROL_THRUST | CONTROL_LEFT;
    simulate_ship_engines(&ship, 0.01);
    EXPECT_TRUE(ship.acceleration.x == 0 && ship.acceleration.y == -400) << "the heading before";
    init_ship(&ship, 400, 300);
    ship.controls = CONTROL_THRUST;
    for (int i = 0; i < 100; ++i) {
        simulate_ship_engines(&ship, 0.01);
        simulate_sprite(&ship, FIELD, 0.01);
    }
    ship.controls = 0;
    simulate_ship_engines(&ship, 0.01);
    expect_values(values(ship.velocity.x, ship.velocity.y, ship.acceleration.y), {0, -400, 0},
                  1e-10, "100 steps of thrust, then none");

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

// Observed through the list only: a dead missile's record is given back (the
// sanitizer build sees a leak otherwise).
TEST_F(ShipTest, MissileFliesOneHundredSteps) {
    fire_once();
    ASSERT_EQ(game.active.count, 2u);
    const auto* missile = static_cast<const Missile*>(listed(1));
    expect_values(values(missile->position.x, missile->position.y), {402, 265.5 - 0.16}, 1e-9,
                  "moved in the step it left");
    for (int step = 2; step <= 99; ++step) {
        step_game(&game, 0.01);
        ASSERT_EQ(game.active.count, 2u) << step;
        expect_values(values(missile->acceleration.x, missile->acceleration.y),
                      {0, step < 50 ? -1600.0 : 0}, 0, "burn");
    }
    EXPECT_TRUE(missile->velocity.y == -800 && missile->life_ms == 10);
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 1u) << "gone at the end of the 100th step";
}

// Fire held from step 1, released before step 10 and pressed again before step
// 20: missiles leave in steps 1, 41 and 81, 400 ms apart.
TEST_F(ShipTest, FireCadence) {
    start();
    std::vector<int> fired;
    for (int step = 1; step <= 120; ++step) {
        if (step == 1 || step == 10 || step == 20) {
            control_game(&game, key_event(step == 10 ? SDL_KEYUP : SDL_KEYDOWN, SDLK_SPACE));
        }
        step_game(&game, 0.01);
        if (game.ship.fire_cooldown_ms == 400) {
            fired.push_back(step);
        }
    }
    EXPECT_EQ(fired, (std::vector<int>{1, 41, 81}));
    EXPECT_EQ(game.active.count, 3u) << "the first has died";

    // A cool-down of 10 runs out in the engine pass and the same step fires;
    // a failed record leaves it at 0 and the next step fires.
    game.ship.fire_cooldown_ms = 10;
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 4u);
    game.ship.fire_cooldown_ms = 0;
    fail_malloc_after(0);
    step_game(&game, 0.01);
    EXPECT_TRUE(game.active.count == 4 && game.ship.fire_cooldown_ms == 0);
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 5u);

    // With the list full the shot is lost, and the cool-down still runs (the
    // sanitizer build sees the lost missile's record leak otherwise).
    Sprite filler{};
    filler.kind = KIND_ROCK;
    filler.position = Vector{10, 10};
    while (activate_sprite(&game, &filler)) {
    }
    game.ship.fire_cooldown_ms = 0;
    step_game(&game, 0.01);
    EXPECT_TRUE(game.active.count == 100 && game.ship.fire_cooldown_ms == 400);
}

// A rock placed across the missile's next position is cracked, unless the
// missile's life ends in that step.
TEST_F(ShipTest, MissileAtTheEndOfItsLifeCracksNothing) {
    for (const int placed_after : {98, 99}) {
        fire_once();
        for (int step = 2; step <= placed_after; ++step) {
            step_game(&game, 0.01);
        }
        const Vector at = listed(1)->position;
        Sprite rock = square(KIND_ROCK, at.x, at.y - 8 - 21, 20);
        activate_sprite(&game, &rock);
        step_game(&game, 0.01);
        const bool cracked = placed_after == 98;
        EXPECT_EQ(rock.kind, cracked ? KIND_DEAD : KIND_ROCK) << placed_after;
        EXPECT_EQ(active_sprite(&rock, game) == nullptr, cracked) << placed_after;
        EXPECT_EQ(game.active.count == 2, !cracked) << "ship and rock, or ship and pieces";
        start(); // before the rock goes
    }
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

    // Only the listed pairs are handled, the earlier entry first, as measured.
    Sprite a = square(KIND_ROCK, 100, 100);
    Sprite b = square(KIND_ROCK, 115, 103);
    a.velocity = Vector{50, 0};
    b.velocity = Vector{-50, 0};
    Sprite* list[] = {&a, &b};
    handle_collisions(list, 0, &game);
    handle_collisions(list, 1, &game);
    EXPECT_TRUE(a.velocity.x == 50 && b.velocity.x == -50);
    handle_collisions(list, 2, &game);
    EXPECT_TRUE(a.velocity.x < 50 && a.velocity.y < 0 && b.velocity.x > -50)
        << "the earlier entry first, as measured";
}

// A missile touching rocks A and B (and N touching A) cracks the one that
// comes first in pair order and dies; later pairs find it, or the cracked
// rock, dead. A missile on the ship vanishes at the end of the step; the ship
// keeps its motion and spin.
TEST_F(ShipTest, MissileCracksTheFirstRockInPairOrder) {
    init_polygon(&missile_shape, nullptr);
    // The order listed, and which of A, B, M, N die.
    const char* cases[][2] = {{"ABMN", "A.M."}, {"BAM", ".BM"}, {"MAB", "A.M"}, {"MBA", ".BM"}};
    start();
    for (const auto& c : cases) {
        game.ship.position = Vector{100, 500};
        Sprite rocks[2] = {square(KIND_ROCK, 300, 300, 30), square(KIND_ROCK, 362, 300, 30)};
        Missile missiles[2];
        init_missile(&missiles[0], Vector{334, 300}, Vector{0, 0}, Vector{-1, 0});
        init_missile(&missiles[1], Vector{300, 334}, Vector{0, 0}, Vector{0, -1});
        Sprite* named[4] = {&rocks[0], &rocks[1], &missiles[0], &missiles[1]};
        for (const char* k = c[0]; *k != '\0'; ++k) {
            named[std::string("ABMN").find(*k)]->storage = STORAGE_KEPT;
            activate_sprite(&game, named[std::string("ABMN").find(*k)]);
        }
        handle_collisions(active_sprites(game), game.active.count, &game);
        for (size_t i = 0; c[1][i] != '\0'; ++i) {
            EXPECT_EQ(named[i]->kind == KIND_DEAD, c[1][i] != '.') << c[0] << " " << i;
        }
        start(); // before the sprites go
    }

    game.ship.velocity = Vector{10, 5};
    game.ship.angular_velocity = 0.3;
    auto* missile = static_cast<Missile*>(std::malloc(sizeof(Missile)));
    init_missile(missile, Vector{400, 274}, game.ship.velocity, Vector{0, -1});
    activate_sprite(&game, missile);
    step_game(&game, 0.01);
    expect_values(values(game.active.count, game.ship.velocity.x, game.ship.velocity.y,
                         game.ship.angular_velocity, game.ship.kind),
                  {1, 10, 5, 0.3, KIND_SHIP}, 0, "the missile gone, the ship as it was");
}
