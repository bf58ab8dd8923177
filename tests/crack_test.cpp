// Cracking at its boundaries, which whole games seldom or never reach: contacts
// at exactly half the field, glancing and grazing lines, a chain that turns
// back out, each heap request failing (the sanitizer build checks that nothing
// leaks or dangles), the shatter area, a fragment's last milliseconds and a
// nudge at the centre.
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
    // Entering the top edge at a slope of 9/40, below the bend's 0.25: the
    // first step (the bend's draw just below 1) turns back out through it, and
    // the two-point first piece gets nothing.
    const Draws back_out{0, 32767};
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
        {"out through the same edge", BOX, {60, -39}, {-40.0 / 41, 9.0 / 41}, back_out, 1},
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

TEST_F(CrackTest, PiecesAtTheShatterBoundaryAndWithoutVertices) {
    // 30 by 50 is exactly SHATTER_AREA and stays a rock; a hair less shatters.
    const Sprite parent = body(Vector{0, 0});
    const uint32_t before = game.active.count;
    for (double h : {25.0, 24.9999}) {
        const Outline piece{{-15, -25}, {-15, h}, {15, h}, {15, -25}};
        EXPECT_EQ(new_fragment(&game, parent, heap_polygon(piece)) != nullptr, h == 25.0) << h;
    }
    EXPECT_EQ(game.active.count, before + 1 + 4) << "one rock, then four fragments";
    // A piece without vertices makes nothing and is given back all the same.
    shatter_rock(&game, rock({}, Vector{0, 0}, EAST, false));
    EXPECT_EQ(game.active.count, before + 1 + 4);
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

