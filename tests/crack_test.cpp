// Cracking: the chain and pieces of a crack across a hand-made rock with a
// replayed random sequence, glancing contacts, the messages, new rocks,
// fragments and their lifetime, and what dead sprites give back. The sanitizer
// build checks that every failure path leaves nothing leaked or dangling.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "rock.h"
#include "seams.h"

namespace {

// 80 by 60 about its centre, corners 50 away, in the game's winding: edge 0 is
// the top (running -x), 1 the left, 2 the bottom, 3 the right.
const std::vector<Vector> BOX{{-40, -30}, {-40, 30}, {40, 30}, {40, -30}};
// 100 by 10: a step (at least a quarter of its 50.2 radius) crosses it, and
// both halves are below SHATTER_AREA.
const std::vector<Vector> THIN{{-50, -5}, {-50, 5}, {50, 5}, {50, -5}};

constexpr uint16_t HALF = 16384;   // frand 0.5: a step of 0.375 radius, slope 0.125
constexpr uint16_t FULL = 32767;   // frand just below 1
constexpr uint16_t SENTINEL = 777; // replayed after the draws a crack should take

constexpr Vector EAST{1, 0};
constexpr Vector SOUTH{0, 1}; // down the screen; as an orientation, a quarter turn

Vector* heap_points(const std::vector<Vector>& points) {
    auto* v = static_cast<Vector*>(std::malloc(sizeof(Vector) * points.size()));
    std::copy(points.begin(), points.end(), v);
    return v;
}

Vector in_field(const Sprite& s, Vector p) {
    return vector_add(s.position, vector_rotate(p, s.orientation));
}

testing::AssertionResult near(Vector actual, Vector expected) {
    if (std::fabs(actual.x - expected.x) <= 1e-9 && std::fabs(actual.y - expected.y) <= 1e-9) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ") expected ("
                                       << expected.x << ", " << expected.y << ")";
}

// The piece's outline as it stands in the field is the parent's points given.
void expect_outline(const Sprite& piece, const Sprite& parent, const std::vector<Vector>& points) {
    ASSERT_EQ(piece.polygon.count, points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(near(in_field(piece, piece.polygon.vertices[i]), in_field(parent, points[i])))
            << "vertex " << i;
    }
}

struct CrackTest : ::testing::Test {
    Game game{};
    std::vector<uint16_t> replayed;

    void SetUp() override {
        reset_seams();
        start();
    }
    void TearDown() override {
        replay_random(nullptr, 0);
        release_game(&game);
        reset_seams();
    }
    void start() {
        reset_seams();
        release_game(&game);
        game = Game{};
        ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    }
    std::vector<Sprite*> listed() const {
        return std::vector<Sprite*>(active_sprites(game), active_sprites(game) + game.active.count);
    }
    // What a crack listed behind the ship and the rock.
    std::vector<Sprite*> made() const {
        const auto all = listed();
        return std::vector<Sprite*>(all.begin() + std::min<size_t>(2, all.size()), all.end());
    }
    // A listed heap rock at rest whose outline is exactly the points given (not
    // moved to its centroid).
    Sprite* rock(const std::vector<Vector>& outline, Vector position, Vector orientation = EAST) {
        auto* r = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
        const auto n = static_cast<uint32_t>(outline.size());
        init_sprite(r, 0, 0, Polygon{heap_points(outline), n, 0, 0, 0, 0}, ROCK_DENSITY, 200, 200,
                    200);
        std::copy(outline.begin(), outline.end(), r->polygon.vertices);
        polygon_update_bounds(&r->polygon);
        r->kind = KIND_ROCK;
        r->storage = STORAGE_HEAP_ROCK;
        r->position = position;
        r->orientation = orientation;
        activate_sprite(&game, r);
        return r;
    }
    // Cracks with a missile placed in the field, the draws replayed and then
    // SENTINEL; returns what was written to stderr.
    std::string crack_from(Sprite* r, Vector position, Vector heading,
                           std::vector<uint16_t> draws) {
        replayed = std::move(draws);
        replayed.push_back(SENTINEL);
        replay_random(replayed.data(), replayed.size());
        Sprite missile{};
        missile.kind = KIND_MISSILE;
        missile.position = position;
        missile.orientation = heading;
        testing::internal::CaptureStderr();
        crack_rock(&game, r, missile);
        return testing::internal::GetCapturedStderr();
    }
    // The same with the missile's place and heading given in the rock's frame.
    std::string crack(Sprite* r, Vector from, Vector heading, std::vector<uint16_t> draws) {
        return crack_from(r, in_field(*r, from), vector_rotate(heading, r->orientation),
                          std::move(draws));
    }
};

const std::vector<uint16_t> HALVES(10, HALF);

// Steps of 18.75 along +x bent by 0.125 from (-39.5, 0) reach x = 35.5 in four
// steps; the fifth leaves through the right edge.
const std::vector<Vector> CHAIN{{-39.5, 0},       {-20.75, 2.34375}, {-2, 4.6875},
                                {16.75, 7.03125}, {35.5, 9.375},     {40, 9.9375}};

} // namespace

TEST_F(CrackTest, CrossesKnownRockAlongReplayedChain) {
    Sprite* r = rock(BOX, Vector{400, 150}, SOUTH);
    EXPECT_EQ(crack(r, Vector{-100, 0}, EAST, HALVES), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "five steps of two draws";
    EXPECT_EQ(r->kind, KIND_DEAD);
    const auto pieces = made();
    ASSERT_EQ(pieces.size(), 2u);
    // The first piece keeps p1, p2 and the chain backwards; the second p3, p0
    // and the chain forwards.
    std::vector<Vector> first{BOX[1], BOX[2]};
    first.insert(first.end(), CHAIN.rbegin(), CHAIN.rend());
    std::vector<Vector> second{BOX[3], BOX[0]};
    second.insert(second.end(), CHAIN.begin(), CHAIN.end());
    expect_outline(*pieces[0], *r, first);
    expect_outline(*pieces[1], *r, second);
    // Together the rock's 4800 less the triangle of the left edge and the
    // crack's start: 60 x 0.5 / 2.
    EXPECT_NEAR(pieces[0]->polygon.area, 1997.484375, 1e-9);
    EXPECT_NEAR(pieces[1]->polygon.area, 2787.515625, 1e-9);
    for (Sprite* p : pieces) {
        EXPECT_EQ(p->kind, KIND_ROCK);
        EXPECT_EQ(p->storage, STORAGE_HEAP_ROCK);
        EXPECT_TRUE(polygon_is_sound(p->polygon));
        EXPECT_EQ(p->mass, p->polygon.area * ROCK_DENSITY);
        // The parent was at rest: all motion is the nudge, straight away.
        const Vector d = vector_sub(p->position, r->position);
        EXPECT_NEAR(vector_length(p->velocity), NUDGE_SPEED, 1e-12);
        EXPECT_NEAR(vector_cross(d, p->velocity), 0, 1e-9);
        EXPECT_GT(vector_dot(d, p->velocity), 0);
    }
}

TEST_F(CrackTest, MissileInsideStillStartsAtTheEntry) {
    Sprite* r = rock(BOX, Vector{200, 200});
    EXPECT_EQ(crack(r, Vector{10, 5}, EAST, HALVES), "");
    const auto pieces = made();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(near(in_field(*pieces[1], pieces[1]->polygon.vertices[2]), Vector{160.5, 205}));
}

TEST_F(CrackTest, DisplacementTakesNearestImage) {
    // The rock's box is moved off its centre by `shift`; a line half a field
    // away finds it only through the right image.
    struct Case {
        Vector rock_at, missile_at, shift, heading;
        bool cracks;
    };
    const Case cases[] = {
        {{10, 300}, {790, 200}, {0, 0}, SOUTH, true},        // 780 is -20
        {{790, 300}, {10, 200}, {0, 0}, SOUTH, true},        // -780 is 20
        {{100, 300}, {500, 200}, {400, 0}, SOUTH, true},     // exactly half is kept
        {{100, 300}, {500, 200}, {-400, 0}, SOUTH, false},   // and so misses
        {{500, 300}, {100, 200}, {-400, 0}, SOUTH, true},    // -400 is kept too
        {{100, 300}, {500.01, 200}, {-400, 0}, SOUTH, true}, // just beyond: -399.99
        {{400, 10}, {300, 590}, {0, 0}, EAST, true},         // 580 is -20
        {{400, 100}, {300, 400}, {0, 300}, EAST, true},      // 300 is kept
        {{400, 100}, {300, 400.01}, {0, -300}, EAST, true},  // -299.99
        {{500, 300}, {99.99, 200}, {400, 0}, SOUTH, true},   // -400.01 is 399.99
        {{400, 400}, {300, 100}, {0, -300}, EAST, true},     // -300 is kept
        {{400, 400}, {300, 99.99}, {0, 300}, EAST, true},    // -300.01 is 299.99
    };
    for (const Case& c : cases) {
        start();
        std::vector<Vector> outline = BOX;
        for (Vector& v : outline) {
            v = vector_add(v, c.shift);
        }
        Sprite* r = rock(outline, c.rock_at);
        EXPECT_EQ(crack_from(r, c.missile_at, c.heading, std::vector<uint16_t>(16, 0)), "");
        EXPECT_EQ(r->kind == KIND_DEAD, c.cracks) << c.missile_at.x << ", " << c.missile_at.y;
    }
}

TEST_F(CrackTest, GlancingLinesCrackNothing) {
    // A notch in the top edge reaches below y = 0, its far side (edge 0 here)
    // crossed 0.2375 past the left edge, where the crack would start: the
    // line leaves and enters again within the inset. In the second the notch
    // is 0.95 past the left edge, beyond the inset.
    const std::vector<Vector> notched{{-39.8, -30}, {-40, -30},   {-40, 30},   {40, 30},
                                      {40, -30},    {-39.7, -30}, {-39.75, 10}};
    std::vector<Vector> notched_last(notched.size());
    std::rotate_copy(notched.begin(), notched.begin() + 1, notched.end(), notched_last.begin());
    const std::vector<Vector> notched_deeper{{-39.2, -30}, {-40, -30},   {-40, 30}, {40, 30},
                                             {40, -30},    {-38.8, -30}, {-39, 10}};
    // The ray that tells inside from outside meets the point (50, 0) of this one.
    const std::vector<Vector> house{{-40, -30}, {-40, 30}, {40, 30}, {50, 0}, {40, -30}};
    struct Case {
        const char* what;
        const std::vector<Vector>& outline;
        Vector from, heading;
        bool cracks;
    };
    const Case cases[] = {
        {"corner clipped", BOX, {-46, -21.9}, {0.6, -0.8}, false},
        {"through one vertex", BOX, {-46, -22}, {0.6, -0.8}, false},
        {"along an edge", BOX, {-40, -100}, SOUTH, false},
        {"out again within the inset", notched, {-100, 0}, EAST, false},
        {"the same, the far side edge 6", notched_last, {-100, 0}, EAST, false},
        {"out again beyond the inset, heading of length 2",
         notched_deeper,
         {-100, 0},
         {2, 0},
         true},
        {"in through a vertex", BOX, {-48, -36}, {0.8, 0.6}, true},
        {"starting level with a vertex", house, {-100, 0}, EAST, true},
    };
    std::vector<uint16_t> nearly_straight; // the diagonal from a corner splits the box in two
    for (int i = 0; i < 8; ++i) {
        nearly_straight.insert(nearly_straight.end(), {HALF, 1000});
    }
    for (const Case& c : cases) {
        start();
        Sprite* r = rock(c.outline, Vector{300, 300});
        EXPECT_EQ(crack(r, c.from, c.heading, nearly_straight), "") << c.what;
        EXPECT_EQ(r->kind == KIND_DEAD, c.cracks) << c.what;
        if (c.cracks) {
            EXPECT_GE(made().size(), 2u) << c.what;
            for (const Sprite* p : made()) {
                EXPECT_TRUE(p->kind != KIND_ROCK || polygon_is_sound(p->polygon)) << c.what;
            }
        } else {
            EXPECT_EQ(game.active.count, 2u) << c.what;
            EXPECT_EQ(random_15bit(), HALF) << c.what << ": no draw taken";
        }
    }
}

TEST_F(CrackTest, StepsThatStayInsideExtendStraightOut) {
    // A radius well below the box's makes steps of 1.25 x (1, 0.125): eight end
    // at (-29.5, 1.25), and the straight extension reaches x = 40 at 9.9375.
    Sprite* r = rock(BOX, Vector{300, 300});
    r->polygon.radius = 5;
    std::vector<uint16_t> draws;
    for (int i = 0; i < 8; ++i) {
        draws.insert(draws.end(), {0, HALF});
    }
    EXPECT_EQ(crack(r, Vector{-100, 0}, EAST, draws), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "sixteen draws, none for the extension";
    const auto pieces = made();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0]->polygon.count, 12u) << "two corners and ten chain points";
    const Sprite& second = *pieces[1];
    ASSERT_EQ(second.polygon.count, 12u);
    EXPECT_TRUE(near(in_field(second, second.polygon.vertices[10]), Vector{270.5, 301.25}));
    EXPECT_TRUE(near(in_field(second, second.polygon.vertices[11]), Vector{340, 309.9375}));
    EXPECT_NEAR(pieces[0]->polygon.area + second.polygon.area, 4785, 1e-9);

    // With no radius the steps go nowhere and the extension has no direction.
    start();
    r = rock(BOX, Vector{300, 300});
    r->polygon.radius = 0;
    EXPECT_EQ(crack(r, Vector{-100, 0}, EAST, draws), "crack is not inside rock??\n");
    EXPECT_EQ(r->kind, KIND_ROCK);
    EXPECT_EQ(game.active.count, 2u);
}

TEST_F(CrackTest, SameEdgeChainLeavesOneRockUnnudged) {
    // Entering the top edge at a slope of 9/40, below the bend's 0.25: the
    // first step turns back out through the same edge.
    Sprite* r = rock(BOX, Vector{200, 200});
    EXPECT_EQ(crack(r, Vector{60, -39}, Vector{-40.0 / 41, 9.0 / 41}, {0, FULL}), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "one step";
    EXPECT_EQ(r->kind, KIND_DEAD);
    const auto pieces = made();
    ASSERT_EQ(pieces.size(), 1u) << "the two-point first piece gets nothing";
    EXPECT_EQ(pieces[0]->polygon.count, 6u) << "the whole ring and the two chain points";
    EXPECT_TRUE(polygon_is_sound(pieces[0]->polygon));
    EXPECT_GT(pieces[0]->polygon.area, 4790.0);
    EXPECT_LT(pieces[0]->polygon.area, 4800.0);
    EXPECT_EQ(pieces[0]->velocity.x, 0.0) << "no nudge";
    EXPECT_EQ(pieces[0]->velocity.y, 0.0);
}

TEST_F(CrackTest, ThinRockLeavesInFirstStepAndShatters) {
    Sprite* r = rock(THIN, Vector{100, 100});
    EXPECT_EQ(crack(r, Vector{0, -20}, SOUTH, {0, 0}), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "two draws";
    EXPECT_EQ(r->kind, KIND_DEAD);
    // Two four-edge pieces, the chain (0, -4.5) -> (0, 5) in both.
    const std::vector<Vector> ends{{-50, -5}, {-50, 5}, {0, 5},    {0, -4.5}, {-50, -5},
                                   {50, 5},   {50, -5}, {0, -4.5}, {0, 5},    {50, 5}};
    const auto fragments = made();
    ASSERT_EQ(fragments.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const Sprite& f = *fragments[i];
        EXPECT_EQ(f.kind, KIND_FRAGMENT);
        const size_t k = i + i / 4; // the ring closes after each piece
        EXPECT_TRUE(near(in_field(f, f.polygon.vertices[0]), in_field(*r, ends[k]))) << i;
        EXPECT_TRUE(near(in_field(f, f.polygon.vertices[1]), in_field(*r, ends[k + 1]))) << i;
    }
}

TEST_F(CrackTest, FailuresReportAndLeaveNothingBehind) {
    // Heap requests in order. BOX: the two pieces' arrays, then their records.
    // THIN: the arrays, then record, block and ring of each piece in turn.
    struct Case {
        const std::vector<Vector>& outline;
        Vector from, heading;
        int failing;
        const char* said;
        bool dies;
        size_t made;
    };
    const char* no_split = "failed to split polygon.\n";
    const char* no_record = "failed to allocate rock fragment.\n";
    const Case cases[] = {
        {BOX, {-100, 0}, EAST, 0, no_split, false, 0},
        {BOX, {-100, 0}, EAST, 1, no_split, false, 0},
        {BOX, {-100, 0}, EAST, 2, no_record, true, 1},
        {BOX, {-100, 0}, EAST, 3, no_record, true, 1},
        {BOX, {-100, 0}, EAST, 4, "", true, 2},
        {THIN, {0, -20}, SOUTH, 2, no_record, true, 4},
        {THIN, {0, -20}, SOUTH, 3, "", true, 4},
        {THIN, {0, -20}, SOUTH, 4, "", true, 4},
        {THIN, {0, -20}, SOUTH, 5, no_record, true, 4},
        {THIN, {0, -20}, SOUTH, 7, "", true, 4},
    };
    std::vector<uint16_t> nearly_straight; // the diagonal from a corner splits the box in two
    for (int i = 0; i < 8; ++i) {
        nearly_straight.insert(nearly_straight.end(), {HALF, 1000});
    }
    for (const Case& c : cases) {
        start();
        Sprite* r = rock(c.outline, Vector{300, 300});
        fail_malloc_after(c.failing);
        EXPECT_EQ(crack(r, c.from, c.heading, HALVES), c.said) << "request " << c.failing;
        EXPECT_EQ(r->kind == KIND_DEAD, c.dies) << "request " << c.failing;
        const auto pieces = made();
        ASSERT_EQ(pieces.size(), c.made) << "request " << c.failing;
        if (c.made == 1) {
            EXPECT_EQ(pieces[0]->velocity.x, 0.0) << "the survivor is not nudged";
            EXPECT_EQ(pieces[0]->velocity.y, 0.0);
        }
    }
}

TEST_F(CrackTest, NewRockCarriesParentMotion) {
    // A 40 by 40 piece centred at (10, 0) of a parent spinning at 1: the
    // parent's material there moves at omega (dy, -dx).
    const std::vector<Vector> square{{-10, -20}, {-10, 20}, {30, 20}, {30, -20}};
    struct Case {
        Vector orientation, position, velocity;
    };
    for (const Case& c : {Case{EAST, {110, 100}, {0, -10}}, Case{SOUTH, {100, 110}, {10, 0}}}) {
        Sprite parent{};
        parent.position = Vector{100, 100};
        parent.orientation = c.orientation;
        parent.angular_velocity = 1;
        parent.acceleration = Vector{3, 4};
        parent.density = ROCK_DENSITY;
        parent.color = Color{1, 2, 3};
        Sprite* made = new_fragment(&game, parent, Polygon{heap_points(square), 4, 0, 0, 0, 0});
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(listed().back(), made);
        EXPECT_EQ(made->kind, KIND_ROCK);
        EXPECT_TRUE(near(made->position, c.position));
        EXPECT_TRUE(near(made->velocity, c.velocity));
        EXPECT_EQ(made->angular_velocity, 1.0);
        EXPECT_TRUE(near(made->acceleration, Vector{3, 4}));
        EXPECT_EQ(made->orientation.y, c.orientation.y);
        EXPECT_EQ(made->mass, 1600 * ROCK_DENSITY);
        EXPECT_EQ(made->color.b, 3);
    }
    // 30 by 50 is exactly SHATTER_AREA and stays a rock; a hair less shatters.
    Sprite parent{};
    parent.orientation = EAST;
    const uint32_t before = game.active.count;
    for (double h : {25.0, 24.9999}) {
        const std::vector<Vector> piece{{-15, -25}, {-15, h}, {15, h}, {15, -25}};
        Sprite* made = new_fragment(&game, parent, Polygon{heap_points(piece), 4, 0, 0, 0, 0});
        EXPECT_EQ(made != nullptr, h == 25.0) << h;
    }
    EXPECT_EQ(game.active.count, before + 1 + 4) << "one rock, then four fragments";
}

TEST_F(CrackTest, ShatterGivesOneFragmentPerEdge) {
    const std::vector<Vector> abc{{10, 0}, {0, 10}, {-10, -10}};
    struct Case {
        Vector orientation, velocity;
        Vector expected[3];
    };
    const Case cases[] = {
        {EAST, {0, 0}, {{15, 15}, {-15, 0}, {0, -15}}},
        {SOUTH, {1, 2}, {{-14, 17}, {1, -13}, {16, 2}}},
    };
    for (const Case& c : cases) {
        start();
        auto* piece = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
        init_sprite(piece, 300, 200, Polygon{heap_points(abc), 3, 0, 0, 0, 0}, ROCK_DENSITY, 9, 9,
                    9);
        piece->storage = STORAGE_HEAP_ROCK;
        piece->orientation = c.orientation;
        piece->velocity = c.velocity;
        piece->angular_velocity = 0.7;
        const Sprite kept = *piece;
        shatter_rock(&game, piece);
        const auto all = listed();
        ASSERT_EQ(all.size(), 4u);
        for (size_t j = 0; j < 3; ++j) {
            auto* f = static_cast<Fragment*>(all[j + 1]);
            EXPECT_EQ(std::tuple(f->kind, f->life_ms, f->angular_velocity, f->density, f->mass,
                                 f->moment, f->polygon.count, f->polygon.closed, f->color.g),
                      std::tuple(KIND_FRAGMENT, FRAGMENT_LIFE_MS, 0.0, 0.0, 0.0, 0.0, 2u, 0, 9))
                << j;
            EXPECT_TRUE(near(f->velocity, c.expected[j])) << j;
            EXPECT_TRUE(near(f->position, kept.position));
            EXPECT_EQ(f->orientation.y, c.orientation.y);
            EXPECT_EQ(f->inverse_mass, kept.inverse_mass);
            EXPECT_TRUE(near(f->polygon.vertices[0], abc[j]));
            EXPECT_TRUE(near(f->polygon.vertices[1], abc[(j + 1) % 3]));
            EXPECT_NEAR(f->polygon.radius, j == 0 ? 10 : std::sqrt(200.0), 1e-12);
            EXPECT_EQ(f->block, static_cast<Fragment*>(all[1]));
        }
        EXPECT_EQ(static_cast<Fragment*>(all[1])->block_live, 3u);
    }
    // A piece without vertices makes nothing and is given back all the same.
    auto* empty = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    init_sprite(empty, 0, 0, Polygon{nullptr, 0, 0, 0, 0, 0}, 1, 9, 9, 9);
    empty->storage = STORAGE_HEAP_ROCK;
    shatter_rock(&game, empty);
    EXPECT_EQ(game.active.count, 4u);
}

TEST_F(CrackTest, FragmentLivesExactly150Steps) {
    Fragment f{};
    f.kind = KIND_FRAGMENT;
    f.life_ms = FRAGMENT_LIFE_MS;
    for (int i = 0; i < 149; ++i) {
        simulate_fragment(&f, 0.01);
    }
    EXPECT_EQ(f.life_ms, 10);
    EXPECT_EQ(f.kind, KIND_FRAGMENT);
    simulate_fragment(&f, 0.009995); // 9.995 ms count as 9
    EXPECT_EQ(f.life_ms, 1);
    EXPECT_EQ(f.kind, KIND_FRAGMENT);
    simulate_fragment(&f, 0.0019);
    EXPECT_EQ(f.kind, KIND_DEAD);
    f = Fragment{};
    f.kind = KIND_FRAGMENT;
    f.life_ms = 5;
    simulate_fragment(&f, 0.01);
    EXPECT_EQ(f.life_ms, -5) << "no stop at 0";
    EXPECT_EQ(f.kind, KIND_FRAGMENT) << "only exactly 0 is the end";

    // In the game: made between steps, alive through 149 more, gone in the 150th.
    auto* piece = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    init_sprite(piece, 300, 200, Polygon{heap_points(THIN), 4, 0, 0, 0, 0}, 1, 9, 9, 9);
    piece->storage = STORAGE_HEAP_ROCK;
    shatter_rock(&game, piece);
    for (int i = 0; i < 149; ++i) {
        step_game(&game, STEP_SECONDS);
    }
    ASSERT_EQ(game.active.count, 5u);
    EXPECT_EQ(static_cast<Fragment*>(listed()[1])->life_ms, 10);
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(listed(), std::vector<Sprite*>{&game.ship});
}

TEST_F(CrackTest, NudgePushesStraightAwayWithoutWrapping) {
    Sprite parent{};
    parent.position = Vector{100, 100};
    struct Case {
        Vector at, velocity;
    };
    for (const Case& c :
         {Case{{130, 140}, {5.5, 7}}, Case{{880, 100}, {8.5, 1}}, Case{{100, 100}, {1, 1}}}) {
        Sprite r{};
        r.position = c.at;
        r.velocity = Vector{1, 1};
        nudge_fragment(parent, &r);
        EXPECT_TRUE(near(r.velocity, c.velocity)) << c.at.x;
    }
}

TEST_F(CrackTest, DeadSlabRockKeepsItsSlotOnly) {
    release_game(&game);
    game = Game{};
    ASSERT_EQ(init_game(&game, 800, 600, 2), 1);
    auto* slab_rock = static_cast<Sprite*>(game.rocks.items);
    slab_rock->kind = KIND_DEAD;
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(game.active.count, 2u);
    EXPECT_EQ(slab_rock->polygon.vertices, nullptr) << "its vertices are given back";
    EXPECT_EQ(game.rocks.count, 2u) << "its slot is not";
}
