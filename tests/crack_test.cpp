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

using Outline = std::vector<Vector>;
using Draws = std::vector<uint16_t>;

// 80 by 60 about its centre, corners 50 away, in the game's winding: edge 0 is
// the top (running -x), 1 the left, 2 the bottom, 3 the right.
const Outline BOX{{-40, -30}, {-40, 30}, {40, 30}, {40, -30}};
// 100 by 10: a step (at least a quarter of its 50.2 radius) crosses it, and
// both halves are below SHATTER_AREA.
const Outline THIN{{-50, -5}, {-50, 5}, {50, 5}, {50, -5}};

constexpr uint16_t HALF = 16384;   // frand 0.5: a step of 0.375 radius, slope 0.125
constexpr uint16_t SENTINEL = 777; // replayed after the draws a crack should take

constexpr Vector EAST{1, 0};
constexpr Vector SOUTH{0, 1}; // down the screen; as an orientation, a quarter turn

// Each step draws its length, then its bend.
const Draws HALVES(10, HALF);
// From a corner: the diagonal halves BOX.
const Draws NEARLY_STRAIGHT{HALF, 1000, HALF, 1000, HALF, 1000, HALF, 1000,
                            HALF, 1000, HALF, 1000, HALF, 1000, HALF, 1000};

// Steps of 18.75 along +x bent by 0.125 from (-39.5, 0) reach x = 35.5 in four
// steps; the fifth leaves through the right edge.
const Outline CHAIN{{-39.5, 0},       {-20.75, 2.34375}, {-2, 4.6875},
                    {16.75, 7.03125}, {35.5, 9.375},     {40, 9.9375}};

Vector in_field(const Sprite& s, Vector p) {
    return vector_add(s.position, vector_rotate(p, s.orientation));
}

Vector vertex_in_field(const Sprite& s, uint32_t i) { return in_field(s, s.polygon.vertices[i]); }

void expect_near(Vector actual, Vector expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

Outline shifted(Outline outline, Vector by) {
    for (Vector& v : outline) {
        v = vector_add(v, by);
    }
    return outline;
}

// A sprite of no kind at rest but for what is given.
Sprite body(Vector position, Vector orientation = EAST, Vector velocity = {0, 0}) {
    Sprite s{};
    s.position = position;
    s.orientation = orientation;
    s.velocity = velocity;
    return s;
}

Polygon heap_polygon(const Outline& points) {
    auto* v = points.empty() ? nullptr
                             : static_cast<Vector*>(std::malloc(sizeof(Vector) * points.size()));
    std::copy(points.begin(), points.end(), v);
    return Polygon{v, static_cast<uint32_t>(points.size()), 0, 0, 0, 0};
}

struct CrackTest : ::testing::Test {
    Game game{};
    Draws replayed;

    void SetUp() override { start(); }
    void TearDown() override {
        replay_random(nullptr, 0);
        release_game(&game);
        reset_seams();
    }
    void start(int rocks = 0) {
        reset_seams();
        release_game(&game);
        game = Game{};
        ASSERT_EQ(init_game(&game, 800, 600, rocks), 1);
    }
    // The listed sprites from the given entry on; from 2, what a crack listed
    // behind the ship and the rock.
    std::vector<Sprite*> listed(uint32_t from = 0) const {
        Sprite** slots = active_sprites(game);
        return std::vector<Sprite*>(slots + std::min(from, game.active.count),
                                    slots + game.active.count);
    }
    // A heap rock at rest whose outline is exactly the points given (not moved
    // to its centroid), listed unless told otherwise.
    Sprite* rock(const Outline& outline, Vector position, Vector orientation = EAST,
                 bool list = true) {
        auto* r = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
        init_sprite(r, 0, 0, heap_polygon(outline), ROCK_DENSITY, 200, 200, 200);
        std::copy(outline.begin(), outline.end(), r->polygon.vertices);
        polygon_update_bounds(&r->polygon);
        r->kind = KIND_ROCK;
        r->storage = STORAGE_HEAP_ROCK;
        r->position = position;
        r->orientation = orientation;
        if (list) {
            activate_sprite(&game, r);
        }
        return r;
    }
    // Cracks with a missile whose place and heading are given in the rock's
    // frame, the draws replayed and then SENTINEL; returns what was written to
    // stderr.
    std::string crack(Sprite* r, Vector from, Vector heading, Draws draws) {
        replayed = std::move(draws);
        replayed.push_back(SENTINEL);
        replay_random(replayed.data(), replayed.size());
        testing::internal::CaptureStderr();
        crack_rock(&game, r, body(in_field(*r, from), vector_rotate(heading, r->orientation)));
        return testing::internal::GetCapturedStderr();
    }
};

} // namespace

TEST_F(CrackTest, CrossesKnownRockAlongReplayedChain) {
    Sprite* r = rock(BOX, Vector{400, 150}, SOUTH);
    EXPECT_EQ(crack(r, Vector{-100, 0}, EAST, HALVES), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "five steps of two draws";
    EXPECT_EQ(r->kind, KIND_DEAD);
    const auto pieces = listed(2);
    ASSERT_EQ(pieces.size(), 2u);
    // The first piece keeps p1, p2 and the chain backwards; the second p3, p0
    // and the chain forwards. Together they have the rock's 4800 less the
    // triangle of the left edge and the crack's start: 60 x 0.5 / 2.
    Outline outlines[2] = {{BOX[1], BOX[2]}, {BOX[3], BOX[0]}};
    outlines[0].insert(outlines[0].end(), CHAIN.rbegin(), CHAIN.rend());
    outlines[1].insert(outlines[1].end(), CHAIN.begin(), CHAIN.end());
    const double areas[2] = {1997.484375, 2787.515625};
    for (int k = 0; k < 2; ++k) {
        const Sprite& p = *pieces[k];
        ASSERT_EQ(p.polygon.count, outlines[k].size());
        for (uint32_t i = 0; i < p.polygon.count; ++i) {
            expect_near(vertex_in_field(p, i), in_field(*r, outlines[k][i]));
        }
        EXPECT_NEAR(p.polygon.area, areas[k], 1e-9);
        EXPECT_EQ(std::tuple(p.kind, p.storage, p.mass),
                  std::tuple(KIND_ROCK, STORAGE_HEAP_ROCK, p.polygon.area * ROCK_DENSITY));
        // The parent was at rest: all motion is the nudge, straight away.
        const Vector d = vector_sub(p.position, r->position);
        EXPECT_NEAR(vector_length(p.velocity), NUDGE_SPEED, 1e-12);
        EXPECT_NEAR(vector_cross(d, p.velocity), 0, 1e-9);
        EXPECT_GT(vector_dot(d, p.velocity), 0);
    }
    // A missile already inside still starts the chain past the entry.
    start();
    r = rock(BOX, Vector{200, 200});
    EXPECT_EQ(crack(r, Vector{10, 5}, EAST, HALVES), "");
    ASSERT_EQ(listed(2).size(), 2u);
    expect_near(vertex_in_field(*listed(2)[1], 2), Vector{160.5, 205});
}

TEST_F(CrackTest, OutcomeOfEachContact) {
    // The missile's place and heading are given in the rock's frame; only the
    // displacement counts, brought to its nearest image. Boxes moved off their
    // centres are found only through the right image.
    const Outline east = shifted(BOX, Vector{400, 0}), west = shifted(BOX, Vector{-400, 0});
    const Outline south = shifted(BOX, Vector{0, 300}), north = shifted(BOX, Vector{0, -300});
    // A notch in the top edge reaches below y = 0, its far side (edge 0 here)
    // crossed 0.2375 past the left edge, where the crack would start: the
    // line leaves and enters again within the inset. In the deeper one the
    // notch is 0.95 past the left edge, beyond the inset.
    const Outline notched{{-39.8, -30}, {-40, -30},   {-40, 30},   {40, 30},
                          {40, -30},    {-39.7, -30}, {-39.75, 10}};
    Outline notched_last(notched.size());
    std::rotate_copy(notched.begin(), notched.begin() + 1, notched.end(), notched_last.begin());
    const Outline deeper{{-39.2, -30}, {-40, -30},   {-40, 30}, {40, 30},
                         {40, -30},    {-38.8, -30}, {-39, 10}};
    // The ray that tells inside from outside meets the point (50, 0) of this one.
    const Outline house{{-40, -30}, {-40, 30}, {40, 30}, {50, 0}, {40, -30}};
    const Draws zeros(16, 0);
    // Heap requests in order. BOX: the two pieces' arrays, then their records.
    // THIN: the arrays, then record, block and ring of each piece in turn.
    const char* no_split = "failed to split polygon.\n";
    const char* no_record = "failed to allocate rock fragment.\n";
    struct Case {
        const char* what;
        const Outline& outline;
        Vector from, heading;
        const Draws& draws;
        size_t made;
        int failing = -1; // heap requests let through before one fails
        const char* said = "";
    };
    const Case cases[] = {
        {"780 is -20", BOX, {780, -100}, SOUTH, zeros, 9},
        {"-780 is 20", BOX, {-780, -100}, SOUTH, zeros, 9},
        {"exactly half is kept", east, {400, -100}, SOUTH, zeros, 2},
        {"and so misses", west, {400, -100}, SOUTH, zeros, 0},
        {"-400 is kept too", west, {-400, -100}, SOUTH, zeros, 2},
        {"400.01 is -399.99", west, {400.01, -100}, SOUTH, zeros, 2},
        {"-400.01 is 399.99", east, {-400.01, -100}, SOUTH, zeros, 2},
        {"580 is -20", BOX, {-100, 580}, EAST, zeros, 11},
        {"300 is kept", south, {-100, 300}, EAST, zeros, 2},
        {"-300 is kept", north, {-100, -300}, EAST, zeros, 2},
        {"300.01 is -299.99", north, {-100, 300.01}, EAST, zeros, 2},
        {"-300.01 is 299.99", south, {-100, -300.01}, EAST, zeros, 2},
        {"corner clipped", BOX, {-46, -21.9}, {0.6, -0.8}, NEARLY_STRAIGHT, 0},
        {"through one vertex", BOX, {-46, -22}, {0.6, -0.8}, NEARLY_STRAIGHT, 0},
        {"along an edge", BOX, {-40, -100}, SOUTH, NEARLY_STRAIGHT, 0},
        {"out again within the inset", notched, {-100, 0}, EAST, NEARLY_STRAIGHT, 0},
        {"the same, far side edge 6", notched_last, {-100, 0}, EAST, NEARLY_STRAIGHT, 0},
        {"out again beyond, heading of length 2", deeper, {-100, 0}, {2, 0}, NEARLY_STRAIGHT, 5},
        {"in through a vertex", BOX, {-48, -36}, {0.8, 0.6}, NEARLY_STRAIGHT, 2},
        {"starting level with a vertex", house, {-100, 0}, EAST, NEARLY_STRAIGHT, 2},
        {"first array", BOX, {-100, 0}, EAST, HALVES, 0, 0, no_split},
        {"second array", BOX, {-100, 0}, EAST, HALVES, 0, 1, no_split},
        {"first record", BOX, {-100, 0}, EAST, HALVES, 1, 2, no_record},
        {"second record", BOX, {-100, 0}, EAST, HALVES, 1, 3, no_record},
        {"after the records", BOX, {-100, 0}, EAST, HALVES, 2, 4},
        {"thin: first record", THIN, {0, -20}, SOUTH, HALVES, 4, 2, no_record},
        {"thin: first block", THIN, {0, -20}, SOUTH, HALVES, 4, 3},
        {"thin: first ring", THIN, {0, -20}, SOUTH, HALVES, 4, 4},
        {"thin: second record", THIN, {0, -20}, SOUTH, HALVES, 4, 5, no_record},
        {"thin: second ring", THIN, {0, -20}, SOUTH, HALVES, 4, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start();
        Sprite* r = rock(c.outline, Vector{300, 300});
        fail_malloc_after(c.failing);
        EXPECT_EQ(crack(r, c.from, c.heading, c.draws), c.said);
        EXPECT_EQ(r->kind == KIND_DEAD, c.made > 0);
        const auto pieces = listed(2);
        ASSERT_EQ(pieces.size(), c.made);
        for (const Sprite* p : pieces) {
            EXPECT_TRUE(p->kind != KIND_ROCK || polygon_is_sound(p->polygon));
        }
        if (c.made == 0 && c.failing < 0) {
            EXPECT_EQ(random_15bit(), c.draws[0]) << "no draw taken";
        }
        if (c.made == 1) {
            EXPECT_EQ(std::tuple(pieces[0]->velocity.x, pieces[0]->velocity.y),
                      std::tuple(0.0, 0.0))
                << "the survivor is not nudged";
        }
    }
}

TEST_F(CrackTest, StepsThatStayInsideExtendStraightOut) {
    // A radius well below the box's makes steps of 1.25 x (1, 0.125): eight end
    // at (-29.5, 1.25), and the straight extension reaches x = 40 at 9.9375.
    // With no radius the steps go nowhere and the extension has no direction.
    for (double radius : {5.0, 0.0}) {
        start();
        Sprite* r = rock(BOX, Vector{300, 300});
        r->polygon.radius = radius;
        const std::string said =
            crack(r, Vector{-100, 0}, EAST,
                  {0, HALF, 0, HALF, 0, HALF, 0, HALF, 0, HALF, 0, HALF, 0, HALF, 0, HALF});
        if (radius == 0) {
            EXPECT_EQ(said, "crack is not inside rock??\n");
            EXPECT_EQ(r->kind, KIND_ROCK);
            EXPECT_EQ(game.active.count, 2u);
            continue;
        }
        EXPECT_EQ(said, "");
        EXPECT_EQ(random_15bit(), SENTINEL) << "sixteen draws, none for the extension";
        const auto pieces = listed(2);
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0]->polygon.count, 12u) << "two corners and ten chain points";
        ASSERT_EQ(pieces[1]->polygon.count, 12u);
        expect_near(vertex_in_field(*pieces[1], 10), Vector{270.5, 301.25});
        expect_near(vertex_in_field(*pieces[1], 11), Vector{340, 309.9375});
        EXPECT_NEAR(pieces[0]->polygon.area + pieces[1]->polygon.area, 4785, 1e-9);
    }
}

TEST_F(CrackTest, SameEdgeChainLeavesOneRockUnnudged) {
    // Entering the top edge at a slope of 9/40, below the bend's 0.25: the
    // first step (the bend's draw just below 1) turns back out through it.
    Sprite* r = rock(BOX, Vector{200, 200});
    EXPECT_EQ(crack(r, Vector{60, -39}, Vector{-40.0 / 41, 9.0 / 41}, {0, 32767}), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "one step";
    EXPECT_EQ(r->kind, KIND_DEAD);
    const auto pieces = listed(2);
    ASSERT_EQ(pieces.size(), 1u) << "the two-point first piece gets nothing";
    const Sprite& p = *pieces[0];
    EXPECT_EQ(std::tuple(p.polygon.count, p.velocity.x, p.velocity.y), std::tuple(6u, 0.0, 0.0))
        << "the whole ring and the two chain points, no nudge";
    EXPECT_TRUE(polygon_is_sound(p.polygon));
    EXPECT_GT(p.polygon.area, 4790.0);
    EXPECT_LT(p.polygon.area, 4800.0);
}

TEST_F(CrackTest, ThinRockLeavesInFirstStepAndShatters) {
    Sprite* r = rock(THIN, Vector{100, 100});
    EXPECT_EQ(crack(r, Vector{0, -20}, SOUTH, {0, 0}), "");
    EXPECT_EQ(random_15bit(), SENTINEL) << "two draws";
    EXPECT_EQ(r->kind, KIND_DEAD);
    // Two four-edge pieces, the chain (0, -4.5) -> (0, 5) in both; the ring
    // closes after each piece.
    const Outline ends{{-50, -5}, {-50, 5}, {0, 5},    {0, -4.5}, {-50, -5},
                       {50, 5},   {50, -5}, {0, -4.5}, {0, 5},    {50, 5}};
    const auto fragments = listed(2);
    ASSERT_EQ(fragments.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(fragments[i]->kind, KIND_FRAGMENT);
        for (uint32_t j = 0; j < 2; ++j) {
            expect_near(vertex_in_field(*fragments[i], j), in_field(*r, ends[i + i / 4 + j]));
        }
    }
}

TEST_F(CrackTest, NewRockCarriesParentMotion) {
    // A 40 by 40 piece centred at (10, 0) of a parent spinning at 1: the
    // parent's material there moves at omega (dy, -dx).
    const Outline square{{-10, -20}, {-10, 20}, {30, 20}, {30, -20}};
    struct Case {
        Vector orientation, position, velocity;
    };
    for (const Case& c : {Case{EAST, {110, 100}, {0, -10}}, Case{SOUTH, {100, 110}, {10, 0}}}) {
        Sprite parent = body(Vector{100, 100}, c.orientation);
        parent.angular_velocity = 1;
        parent.acceleration = Vector{3, 4};
        parent.density = ROCK_DENSITY;
        parent.color = Color{1, 2, 3};
        Sprite* made = new_fragment(&game, parent, heap_polygon(square));
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(listed().back(), made);
        expect_near(made->position, c.position);
        expect_near(made->velocity, c.velocity);
        expect_near(made->acceleration, Vector{3, 4});
        EXPECT_EQ(std::tuple(made->kind, made->angular_velocity, made->orientation.y, made->mass,
                             made->color.b),
                  std::tuple(KIND_ROCK, 1.0, c.orientation.y, 1600 * ROCK_DENSITY, 3));
    }
    // 30 by 50 is exactly SHATTER_AREA and stays a rock; a hair less shatters.
    const Sprite parent = body(Vector{0, 0});
    const uint32_t before = game.active.count;
    for (double h : {25.0, 24.9999}) {
        const Outline piece{{-15, -25}, {-15, h}, {15, h}, {15, -25}};
        EXPECT_EQ(new_fragment(&game, parent, heap_polygon(piece)) != nullptr, h == 25.0) << h;
    }
    EXPECT_EQ(game.active.count, before + 1 + 4) << "one rock, then four fragments";
}

TEST_F(CrackTest, ShatterGivesOneFragmentPerEdge) {
    const Outline abc{{10, 0}, {0, 10}, {-10, -10}};
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
        Sprite* piece = rock(abc, Vector{300, 200}, c.orientation, false);
        piece->velocity = c.velocity;
        piece->angular_velocity = 0.7;
        const Sprite kept = *piece;
        shatter_rock(&game, piece);
        const auto all = listed();
        ASSERT_EQ(all.size(), 4u);
        for (size_t j = 0; j < 3; ++j) {
            auto* f = static_cast<Fragment*>(all[j + 1]);
            EXPECT_EQ(std::tuple(f->kind, f->life_ms, f->angular_velocity, f->density, f->mass,
                                 f->moment, f->polygon.count, f->polygon.closed, f->color.g,
                                 f->orientation.y, f->inverse_mass, f->block),
                      std::tuple(KIND_FRAGMENT, FRAGMENT_LIFE_MS, 0.0, 0.0, 0.0, 0.0, 2u, 0, 200,
                                 c.orientation.y, kept.inverse_mass, all[1]))
                << j;
            expect_near(f->velocity, c.expected[j]);
            expect_near(f->position, kept.position);
            expect_near(f->polygon.vertices[0], abc[j]);
            expect_near(f->polygon.vertices[1], abc[(j + 1) % 3]);
            EXPECT_NEAR(f->polygon.radius, j == 0 ? 10 : std::sqrt(200.0), 1e-12);
        }
        EXPECT_EQ(static_cast<Fragment*>(all[1])->block_live, 3u);
    }
    // A piece without vertices makes nothing and is given back all the same.
    shatter_rock(&game, rock({}, Vector{0, 0}, EAST, false));
    EXPECT_EQ(game.active.count, 4u);
}

TEST_F(CrackTest, FragmentLivesExactly150Steps) {
    Fragment f{};
    auto after = [&f](int32_t life, int steps, double dt) {
        f.kind = KIND_FRAGMENT;
        f.life_ms = life;
        for (int i = 0; i < steps; ++i) {
            simulate_fragment(&f, dt);
        }
        return std::tuple(f.life_ms, f.kind);
    };
    EXPECT_EQ(after(FRAGMENT_LIFE_MS, 149, 0.01), std::tuple(10, KIND_FRAGMENT));
    EXPECT_EQ(after(10, 1, 0.009995), std::tuple(1, KIND_FRAGMENT)) << "9.995 ms count as 9";
    EXPECT_EQ(after(1, 1, 0.0019), std::tuple(0, KIND_DEAD));
    EXPECT_EQ(after(5, 1, 0.01), std::tuple(-5, KIND_FRAGMENT))
        << "no stop at 0: only exactly 0 is the end";

    // In the game: made between steps, alive through 149 more, gone in the 150th.
    shatter_rock(&game, rock(THIN, Vector{300, 200}, EAST, false));
    for (int i = 0; i < 149; ++i) {
        step_game(&game, STEP_SECONDS);
    }
    ASSERT_EQ(game.active.count, 5u);
    EXPECT_EQ(static_cast<Fragment*>(listed()[1])->life_ms, 10);
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(listed(), std::vector<Sprite*>{&game.ship});
}

TEST_F(CrackTest, NudgePushesStraightAwayWithoutWrapping) {
    const Sprite parent = body(Vector{100, 100});
    // From (1, 1): 7.5 along (3, 4) / 5, along +x (no wrapping), and no push at the centre.
    const Vector at[] = {{130, 140}, {880, 100}, {100, 100}};
    const Vector velocity[] = {{5.5, 7}, {8.5, 1}, {1, 1}};
    for (int i = 0; i < 3; ++i) {
        Sprite r = body(at[i], EAST, Vector{1, 1});
        nudge_fragment(parent, &r);
        expect_near(r.velocity, velocity[i]);
    }
}

TEST_F(CrackTest, DeadSlabRockKeepsItsSlotOnly) {
    start(2);
    auto* slab_rock = static_cast<Sprite*>(game.rocks.items);
    slab_rock->kind = KIND_DEAD;
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(std::tuple(game.active.count, slab_rock->polygon.vertices, game.rocks.count),
              std::tuple(2u, nullptr, 2u))
        << "its vertices are given back, its slot is not";
}
