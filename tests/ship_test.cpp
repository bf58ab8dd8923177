#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "brelkor.h"
#include "seams.h"

namespace {

constexpr Vector FIELD{800, 600};
constexpr double L = SHIP_TURN_RATE * 0.01; // the largest turn of one step

void expect_near(Vector actual, Vector expected, double tolerance, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
}

// A square of half side h, listed with the game's winding.
std::vector<Vector> square(double h) { return {{h, h}, {h, -h}, {-h, -h}, {-h, h}}; }

// A sprite of the given kind and outline (centred, the caller's) at (x, y).
Sprite body(int32_t kind, std::vector<Vector>& outline, double x, double y) {
    Sprite s{};
    const Polygon polygon{outline.data(), static_cast<uint32_t>(outline.size()), 0, 0, 0, 0};
    init_sprite(&s, x, y, polygon, 1, 200, 200, 200);
    s.kind = kind;
    return s;
}

void restore_missile_points() {
    missile_points[0] = Vector{6, 0};
    missile_points[1] = Vector{0, -2};
    missile_points[2] = Vector{0, 2};
}

// The ship at (400, 300), nose up, at rest; a game built on demand.
struct ShipTest : ::testing::Test {
    Ship ship{};
    Game game{};
    void SetUp() override {
        reset_seams();
        restore_missile_points();
        init_polygon(&ship_shape, nullptr);
        init_ship(&ship, 400, 300);
    }
    void TearDown() override {
        release_game(&game);
        restore_missile_points();
        reset_seams();
    }
    Sprite* listed(uint32_t i) const { return active_sprites(game)[i]; }
    // A fresh game with the ship alone, fire held for its first step, then the
    // ship moved out of the missile's way.
    void fire_once() {
        ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
        game.ship.controls = CONTROL_FIRE;
        step_game(&game, 0.01);
        game.ship.controls = 0;
        game.ship.position = Vector{100, 100};
    }
};

} // namespace

// The outlines as found, centred or not: the nose along +x.
TEST(ShipShapes, OutlinesAsFound) {
    const Vector* m = missile_shape.vertices;
    ASSERT_TRUE(m == missile_points && missile_shape.count == 3);
    expect_near(vector_sub(m[1], m[0]), Vector{-6, -2}, 1e-12, "missile");
    expect_near(vector_sub(m[2], m[0]), Vector{-6, 2}, 1e-12, "missile");
    Ship ship;
    ship.controls = ship.fire_cooldown_ms = 7;
    init_ship(&ship, 400, 300);
    EXPECT_TRUE(ship.kind == KIND_SHIP && ship.controls == 0 && ship.fire_cooldown_ms == 0);
    EXPECT_TRUE(ship.color.r == 255 && ship.color.g == 40 && ship.color.b == 40);
    EXPECT_TRUE(ship.orientation.x == 0 && ship.orientation.y == -1);
}

TEST_F(ShipTest, KeysSetAndClearTheirBits) {
    const SDL_Keycode keys[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_SPACE};
    const int32_t bits[] = {CONTROL_THRUST, CONTROL_RETRO, CONTROL_LEFT, CONTROL_RIGHT,
                            CONTROL_FIRE};
    for (int i = 0; i < 5; ++i) {
        ship.controls = 0;
        control_ship(&ship, key_event(SDL_KEYDOWN, keys[i]));
        EXPECT_EQ(ship.controls, bits[i]) << i;
        ship.controls = 31;
        control_ship(&ship, key_event(SDL_KEYUP, keys[i]));
        EXPECT_EQ(ship.controls, 31 & ~bits[i]) << i;
    }
    for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        ship.controls = type == SDL_KEYDOWN ? CONTROL_LEFT : 31 & ~CONTROL_RIGHT;
        const int32_t held = ship.controls;
        for (const SDL_Keycode key : {SDLK_a, SDLK_p, SDLK_ESCAPE}) {
            control_ship(&ship, key_event(type, key));
        }
        control_ship(&ship, key_event(SDL_KEYUP, SDLK_RIGHT));
        EXPECT_EQ(ship.controls, held) << "unmapped keys and unpressed releases do nothing";
    }
}

// From the heading (0, -1) a turn by a gives (-sin a, -cos a); a spin of 2 goes
// on when the ship does not turn and stops when it does.
TEST_F(ShipTest, TurnsByKeysAndRetro) {
    const double lean = 0.02;
    const double side = 50 * std::sin(lean);
    const double along = 50 * std::cos(lean);
    struct Case {
        const char* name;
        int32_t controls;
        Vector velocity;
        double turn; // NAN: no turn
    };
    const Case cases[] = {
        {"left", CONTROL_LEFT, {0, 0}, L},
        {"right", CONTROL_RIGHT, {0, 0}, -L},
        {"left and right", CONTROL_LEFT | CONTROL_RIGHT, {0, 0}, NAN},
        {"no key", 0, {0, 0}, NAN},
        {"retro at rest, left ignored", CONTROL_RETRO | CONTROL_LEFT, {0, 0}, NAN},
        {"retro along the motion", CONTROL_RETRO, {0, -50}, L},
        {"retro along, a lean in the dead zone", CONTROL_RETRO, {0.0025, -50}, L},
        {"retro along, slowly", CONTROL_RETRO, {0, -0.01}, L},
        {"retro against the motion", CONTROL_RETRO | CONTROL_RIGHT, {0, 50}, NAN},
        {"retro against, in the dead zone", CONTROL_RETRO, {-0.0045, 50}, NAN},
        {"retro just past the dead zone", CONTROL_RETRO, {0.0075, 50}, std::atan2(0.0075, 50)},
        {"retro 0.02 right of behind", CONTROL_RETRO, {side, along}, lean},
        {"retro 0.02 left of behind", CONTROL_RETRO, {-side, along}, -lean},
        {"retro 0.02 right of ahead", CONTROL_RETRO, {side, -along}, lean},
        {"retro sideways right", CONTROL_RETRO, {50, 0}, L},
        {"retro sideways left", CONTROL_RETRO | CONTROL_LEFT, {-50, 0}, -L},
    };
    for (const Case& c : cases) {
        init_ship(&ship, 400, 300);
        ship.controls = c.controls;
        ship.velocity = c.velocity;
        ship.angular_velocity = 2;
        simulate_ship_engines(&ship, 0.01);
        if (std::isnan(c.turn)) {
            expect_near(ship.orientation, Vector{0, -1}, 0, c.name);
            EXPECT_EQ(ship.angular_velocity, 2.0) << c.name;
        } else {
            expect_near(ship.orientation, Vector{-std::sin(c.turn), -std::cos(c.turn)}, 1e-12,
                        c.name);
            EXPECT_EQ(ship.angular_velocity, 0.0) << c.name;
        }
    }
}

// Facing along its motion, the ship swings round at the full rate, by the
// shorter way, and stops facing against it.
TEST_F(ShipTest, RetroSwingsRoundAndStops) {
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
    expect_near(ship.orientation, Vector{0, 1}, 1e-12, "against the motion");
}

TEST_F(ShipTest, ThrustCoolDownAndFront) {
    ship.controls = CONTROL_THRUST | CONTROL_LEFT;
    simulate_ship_engines(&ship, 0.01);
    expect_near(ship.acceleration, Vector{0, -400}, 0, "the heading from before the turn");
    init_ship(&ship, 400, 300);
    ship.controls = CONTROL_THRUST;
    for (int i = 0; i < 100; ++i) {
        simulate_ship_engines(&ship, 0.01);
        simulate_sprite(&ship, FIELD, 0.01);
    }
    expect_near(ship.velocity, Vector{0, -400}, 1e-10, "100 steps of thrust");
    ship.controls = 0;
    simulate_ship_engines(&ship, 0.01);
    EXPECT_EQ(ship.acceleration.y, 0.0);

    // Down by the step's whole milliseconds, truncated, never below 0.
    const double cool_downs[][3] = {{5, 0.01, 0},   {10, 0.01, 0},    {15, 0.01, 5},
                                    {0, 0.01, 0},   {400, 0.01, 390}, {400, 0.0159, 385},
                                    {2000, 1, 1000}};
    for (const auto& c : cool_downs) {
        ship.fire_cooldown_ms = static_cast<int32_t>(c[0]);
        simulate_ship_engines(&ship, c[1]);
        EXPECT_EQ(ship.fire_cooldown_ms, c[2]) << c[0] << " after " << c[1];
    }

    const Vector headings[] = {{0, -1}, {1, 0}, {0.6, 0.8}};
    const Vector fronts[] = {{400, 268.5}, {431.5, 300}, {418.9, 325.2}};
    for (int i = 0; i < 3; ++i) {
        ship.position = Vector{400, 300};
        ship.orientation = headings[i];
        expect_near(ship_front(ship), fronts[i], 1e-12, "front");
    }
}

TEST_F(ShipTest, MissilesLeaveAheadOfTheNose) {
    Missile* first = fire_missile(&ship);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(fire_missile(&ship), nullptr) << "the cool-down runs";
    EXPECT_EQ(ship.fire_cooldown_ms, 400);
    EXPECT_EQ(first->kind, KIND_MISSILE);
    expect_near(first->position, Vector{402, 265.5}, 1e-12, "the first centres the outline");
    expect_near(first->orientation, Vector{0, -1}, 0, "heading");
    expect_near(first->acceleration, Vector{0, -1600}, 0, "burning");
    expect_near(first->velocity, Vector{0, 0}, 0, "at rest");
    EXPECT_TRUE(first->thrust_ms == 500 && first->life_ms == 1000);
    EXPECT_DOUBLE_EQ(first->polygon.area, 12);
    EXPECT_DOUBLE_EQ(first->moment, 32);
    EXPECT_DOUBLE_EQ(first->polygon.radius, 4);
    EXPECT_TRUE(first->angular_velocity == 0 && first->color.b == 200);

    ship.fire_cooldown_ms = 0;
    ship.velocity = Vector{100, 0};
    fail_malloc_after(0);
    EXPECT_EQ(fire_missile(&ship), nullptr);
    EXPECT_EQ(ship.fire_cooldown_ms, 0) << "no record, no cool-down";
    Missile* second = fire_missile(&ship);
    ASSERT_NE(second, nullptr);
    expect_near(second->position, Vector{400, 265.5}, 1e-12, "later ones start on the point");
    expect_near(second->velocity, Vector{100, 0}, 0, "the ship's velocity");
    std::free(first);
    std::free(second);
}

// Observed through the list only: a dead missile's record is given back (the
// sanitizer build sees a leak otherwise).
TEST_F(ShipTest, MissileFliesOneHundredSteps) {
    fire_once();
    ASSERT_EQ(game.active.count, 2u);
    const auto* missile = static_cast<const Missile*>(listed(1));
    expect_near(missile->position, Vector{402, 265.5 - 0.16}, 1e-9, "moved in the step it left");
    for (int step = 2; step <= 99; ++step) {
        step_game(&game, 0.01);
        ASSERT_EQ(game.active.count, 2u) << step;
        expect_near(missile->acceleration, Vector{0, step < 50 ? -1600.0 : 0}, 0, "burn");
    }
    EXPECT_EQ(missile->velocity.y, -800.0);
    EXPECT_EQ(missile->life_ms, 10);
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 1u) << "gone at the end of the 100th step";
}

// Fire held from step 1, released before step 10 and pressed again before step
// 20: missiles leave in steps 1, 41 and 81, 400 ms apart.
TEST_F(ShipTest, FireCadence) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    std::vector<int> fired;
    for (int step = 1; step <= 120; ++step) {
        if (step == 1 || step == 20) {
            control_game(&game, key_event(SDL_KEYDOWN, SDLK_SPACE));
        }
        if (step == 10) {
            control_game(&game, key_event(SDL_KEYUP, SDLK_SPACE));
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
    EXPECT_EQ(game.active.count, 4u);
    EXPECT_EQ(game.ship.fire_cooldown_ms, 0);
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 5u);
}

TEST_F(ShipTest, FullListLosesTheShot) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Sprite filler{};
    filler.kind = KIND_ROCK;
    filler.position = Vector{10, 10};
    while (activate_sprite(&game, &filler)) {
    }
    game.ship.controls = CONTROL_FIRE;
    step_game(&game, 0.01); // the sanitizer build sees the lost missile's record leak
    EXPECT_EQ(game.active.count, 100u);
    EXPECT_EQ(game.ship.fire_cooldown_ms, 400) << "the cool-down still runs";
}

// A rock placed across the missile's next position is cracked, unless the
// missile's life ends in that step.
TEST_F(ShipTest, MissileAtTheEndOfItsLifeCracksNothing) {
    for (const int placed_after : {98, 99}) {
        fire_once();
        for (int step = 2; step <= placed_after; ++step) {
            step_game(&game, 0.01);
        }
        const Sprite* missile = listed(1);
        std::vector<Vector> outline = square(20);
        Sprite rock = body(KIND_ROCK, outline, missile->position.x, missile->position.y - 8 - 21);
        activate_sprite(&game, &rock);
        step_game(&game, 0.01);
        const bool cracked = placed_after == 98;
        EXPECT_EQ(rock.kind, cracked ? KIND_DEAD : KIND_ROCK) << placed_after;
        EXPECT_EQ(active_sprite(&rock, game) == nullptr, cracked) << placed_after;
        EXPECT_EQ(game.active.count == 2, !cracked) << "ship and rock, or ship and pieces";
        release_game(&game);
        game = Game{};
    }
}

TEST_F(ShipTest, HandlesOnlyTheListedPairs) {
    game.world_size = FIELD;
    std::vector<Vector> outline = square(10);
    Sprite a = body(KIND_ROCK, outline, 100, 100);
    Sprite b = body(KIND_ROCK, outline, 115, 103);
    a.velocity = Vector{50, 0};
    b.velocity = Vector{-50, 0};
    Sprite* list[] = {&a, &b};
    handle_collisions(list, 0, &game);
    handle_collisions(list, 1, &game);
    EXPECT_EQ(a.velocity.x, 50.0);
    EXPECT_EQ(b.velocity.x, -50.0);
    handle_collisions(list, 2, &game);
    EXPECT_LT(a.velocity.x, 50.0) << "the earlier entry first, as measured";
    EXPECT_LT(a.velocity.y, 0.0);
    EXPECT_GT(b.velocity.x, -50.0);
}

// Two squares meeting head on, the normal from the second toward the first.
TEST_F(ShipTest, RulesByKind) {
    game.world_size = FIELD;
    std::vector<Vector> outline = square(10);
    struct Case {
        int32_t first, second;
        bool bounce;
        int32_t first_after, second_after;
    };
    const int32_t R = KIND_ROCK, S = KIND_SHIP, M = KIND_MISSILE, F = KIND_FRAGMENT;
    const int32_t D = KIND_DEAD;
    const Case cases[] = {
        {R, R, true, R, R},  {S, R, true, S, R},  {R, S, true, R, S},  {S, M, false, S, D},
        {M, S, false, D, S}, {M, M, false, M, M}, {F, R, false, F, R}, {R, F, false, R, F},
        {F, S, false, F, S}, {M, F, false, M, F}, {F, F, false, F, F}, {D, R, false, D, R},
        {R, D, false, R, D}, {S, D, false, S, D}, {D, M, false, D, M}, {M, D, false, M, D},
    };
    for (const Case& c : cases) {
        Sprite a = body(c.first, outline, 100, 100);
        Sprite b = body(c.second, outline, 120, 100);
        a.velocity = Vector{50, 0};
        b.velocity = Vector{-50, 0};
        collide_sprite_pair(&a, &b, &game, Vector{110, 100}, Vector{-1, 0});
        EXPECT_EQ(a.kind, c.first_after) << c.first << "," << c.second;
        EXPECT_EQ(b.kind, c.second_after) << c.first << "," << c.second;
        EXPECT_DOUBLE_EQ(a.velocity.x, c.bounce ? -45 : 50) << c.first << "," << c.second;
        EXPECT_DOUBLE_EQ(b.velocity.x, c.bounce ? 45 : -50) << c.first << "," << c.second;
    }
}

// A missile touching rocks A and B (and N touching A) cracks the one that
// comes first in pair order and dies; later pairs find it, or the cracked
// rock, dead.
TEST_F(ShipTest, MissileCracksTheFirstRockInPairOrder) {
    init_polygon(&missile_shape, nullptr);
    struct Case {
        const char* order;
        const char* dead; // of A, B, M, N
    };
    const Case cases[] = {{"ABMN", "A.M."}, {"BAM", ".BM"}, {"MAB", "A.M"}, {"MBA", ".BM"}};
    for (const Case& c : cases) {
        ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
        game.ship.position = Vector{100, 500};
        std::vector<Vector> outline = square(30);
        Sprite rocks[2] = {body(KIND_ROCK, outline, 300, 300), body(KIND_ROCK, outline, 362, 300)};
        Missile missiles[2];
        init_missile(&missiles[0], Vector{334, 300}, Vector{0, 0}, Vector{-1, 0});
        init_missile(&missiles[1], Vector{300, 334}, Vector{0, 0}, Vector{0, -1});
        Sprite* named[4] = {&rocks[0], &rocks[1], &missiles[0], &missiles[1]};
        for (Sprite* s : named) {
            s->storage = STORAGE_KEPT;
        }
        for (const char* k = c.order; *k != '\0'; ++k) {
            activate_sprite(&game, named[std::string("ABMN").find(*k)]);
        }
        handle_collisions(active_sprites(game), game.active.count, &game);
        for (size_t i = 0; c.dead[i] != '\0'; ++i) {
            EXPECT_EQ(named[i]->kind == KIND_DEAD, c.dead[i] != '.') << c.order << " " << i;
        }
        release_game(&game);
        game = Game{};
    }
}

// A missile on the ship vanishes at the end of the step; the ship keeps its
// motion and spin.
TEST_F(ShipTest, MissileDiesOnTheShip) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    init_polygon(&missile_shape, nullptr);
    game.ship.velocity = Vector{10, 5};
    game.ship.angular_velocity = 0.3;
    auto* missile = static_cast<Missile*>(std::malloc(sizeof(Missile)));
    init_missile(missile, Vector{400, 274}, game.ship.velocity, Vector{0, -1});
    activate_sprite(&game, missile);
    step_game(&game, 0.01);
    EXPECT_EQ(game.active.count, 1u);
    expect_near(game.ship.velocity, Vector{10, 5}, 0, "the ship's motion");
    EXPECT_TRUE(game.ship.angular_velocity == 0.3 && game.ship.kind == KIND_SHIP);
}
