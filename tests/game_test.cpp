// The game record at its edges: an odd field, the list full at the hundredth
// rock, each start-up allocation failing, entries found and taken out, and a
// removal walk over neighbouring dead entries. Every heap block must be given
// back by the end.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "seams.h"

namespace {

// Each test builds its own game; at the end the game is released and every heap
// block it took must have been given back.
struct GameTest : ::testing::Test {
    Game game{};
    Vector dot[1] = {{0, 0}}; // a closed one-point outline: drawn as one dot
    Sprite sprites[5]{};
    void SetUp() override { reset_seams(); }
    void TearDown() override {
        release_game(&game);
        EXPECT_EQ(seams.blocks, 0) << "heap blocks not given back";
    }
    std::vector<Sprite*> listed() const {
        return std::vector<Sprite*>(active_sprites(game), active_sprites(game) + game.active.count);
    }
    Sprite* rock(uint32_t i) const { return static_cast<Sprite*>(game.rocks.items) + i; }
    // Hand-made sprite i, listed: a dot at (x, 100) moving at the given velocity
    // (100 pixels a second: one pixel a step).
    Sprite* list(int i, double x, Vector velocity, int32_t kind = KIND_ROCK) {
        sprites[i] = Sprite{};
        sprites[i].kind = kind;
        sprites[i].position = Vector{x, 100};
        sprites[i].orientation = Vector{1, 0};
        sprites[i].velocity = velocity;
        sprites[i].polygon = Polygon{dot, 1, 1, 0, 0, 0};
        sprites[i].color = Color{200, 200, 200};
        EXPECT_EQ(activate_sprite(&game, &sprites[i]), 1);
        return &sprites[i];
    }
};

} // namespace

TEST_F(GameTest, StartListsShipThenRocksInAnyRecord) {
    std::memset(static_cast<void*>(&game), 0x5a, sizeof game); // nothing read before it is set
    ASSERT_EQ(init_game(&game, 801, 601, 2), 1);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, rock(0), rock(1)}));
    EXPECT_EQ(std::tuple(game.quit, game.paused, game.pending_ms, game.world_size.x,
                         game.world_size.y, game.ship.kind, rock(1)->kind),
              std::tuple(0, 0, 0u, 801.0, 601.0, KIND_SHIP, KIND_ROCK));
    EXPECT_EQ(game.ship.position.x, 400.0) << "the half of an odd width is truncated";
    EXPECT_EQ(game.ship.position.y, 300.0);
    // The shared outline is centred in place and the ship's radius is its own
    // again after the start-up separation.
    EXPECT_EQ(game.ship.polygon.vertices, ship_points);
    EXPECT_EQ(ship_points[1].x, -20.0);
    EXPECT_EQ(game.ship.polygon.radius, 30.0);
}

TEST_F(GameTest, ListFindsFirstEntryAndRemovesIt) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Sprite a{}, b{}, stranger{};
    for (Sprite* s : {&a, &b, &a}) {
        activate_sprite(&game, s);
    }
    EXPECT_EQ(active_sprite(&game.ship, game), active_sprites(game));
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 1);
    deactivate_sprite(&a, &game);
    deactivate_sprite(&stranger, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, &b, &a}));
    deactivate_sprite(&a, &game);
    EXPECT_EQ(active_sprite(&a, game), nullptr) << "its old slot behind the list is not read";
    auto* heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    heap->storage = STORAGE_HEAP; // what delete_sprite gives back goes by this
    activate_sprite(&game, heap);
    delete_sprite(heap, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, &b}));
}

TEST_F(GameTest, RemovalWalkTakesAdjacentDeadEntriesAndTheFirst) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    deactivate_sprite(&game.ship, &game);
    for (int i = 0; i < 5; ++i) {
        list(i, 100 + 100 * i, Vector{0, 0}, i == 1 || i == 4 ? KIND_ROCK : KIND_DEAD);
    }
    simulate_game(&game, 9);
    EXPECT_EQ(game.active.count, 5u) << "no step ran, so nothing is removed";
    simulate_game(&game, 1);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&sprites[1], &sprites[4]}));
}
// Forty frames of 33 ms against the seams' clock, Escape read in the last: each
// frame reads the clock, runs the steps due since the previous frame's start,
// clears, draws the list in order, presents, and only then sleeps.
TEST_F(GameTest, FrameLoopStepsDrawsPresentsThenSleeps) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    deactivate_sprite(&game.ship, &game);
    list(0, 100.5, Vector{100, 0});
    Vector triangle[3] = {{0, -4}, {-3, 2}, {3, 2}};
    Sprite* red = list(1, 600, Vector{0, 0});
    red->polygon = Polygon{triangle, 3, 1, 0, 0, 0};
    red->color = Color{255, 40, 40};
    seams.clock = 5000;
    seams.events_after_frame.resize(40);
    seams.events_after_frame[38] = {key_event(SDL_KEYDOWN, SDLK_ESCAPE)};
    play_game(&game, nullptr);
    std::vector<std::string> expected{"ticks"};
    for (int frame = 0; frame < 40; ++frame) {
        const std::string x = std::to_string(100 + frame * 33 / 10);
        expected.insert(expected.end(),
                        {"ticks", "color 0 0 0 255", "fill", "color 200 200 200 255",
                         "line " + x + " 100 " + x + " 100", "color 255 40 40 255",
                         "line 600 96 603 102", "line 600 96 597 102", "line 597 102 603 102",
                         "present", "delay 33"});
    }
    EXPECT_EQ(seams.log, expected);
}

TEST_F(GameTest, DeadSlabRockKeepsItsSlotOnly) {
    ASSERT_EQ(init_game(&game, 800, 600, 2), 1);
    rock(0)->kind = KIND_DEAD;
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(std::tuple(game.active.count, rock(0)->polygon.vertices, game.rocks.count),
              std::tuple(2u, nullptr, 2u))
        << "its vertices are given back, its slot is not";
}
