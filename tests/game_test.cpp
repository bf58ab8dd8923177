#include "brelkor.h"

#include <gtest/gtest.h>

#include <vector>

#include "seams.h"

namespace {

// A game built with init_game and released at the end of the test.
struct TestGame : ::testing::Test {
    Game game{};
    void SetUp() override { reset_seams(); }
    void TearDown() override {
        release_game(&game);
        reset_seams();
    }
    std::vector<Sprite*> listed() const {
        Sprite** slots = active_sprites(game);
        return std::vector<Sprite*>(slots, slots + game.active.count);
    }
    Sprite* rock(uint32_t i) const { return static_cast<Sprite*>(game.rocks.items) + i; }
};

using GameSetup = TestGame;
using SpriteList = TestGame;
using FrameLoop = TestGame;

} // namespace

TEST_F(GameSetup, StandardStartListsShipThenRocks) {
    ASSERT_EQ(init_game(&game, 800, 600, 4), 1);
    EXPECT_EQ(game.quit, 0);
    EXPECT_EQ(game.paused, 0);
    EXPECT_EQ(game.pending_ms, 0u);
    EXPECT_EQ(game.world_size.x, 800.0);
    EXPECT_EQ(game.world_size.y, 600.0);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, rock(0), rock(1), rock(2), rock(3)}));
    EXPECT_EQ(game.ship.kind, KIND_SHIP);
    EXPECT_EQ(game.ship.position.x, 400.0);
    EXPECT_EQ(game.ship.position.y, 300.0);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rock(i)->kind, KIND_ROCK);
    }
    // The ship's outline is centred once, in place, and its radius is back to
    // its own after the start-up separation.
    EXPECT_EQ(ship_points[0].x, 30.0);
    EXPECT_EQ(ship_points[1].x, -20.0);
    EXPECT_EQ(ship_points[1].y, -13.0);
    EXPECT_EQ(game.ship.polygon.vertices, ship_points);
    EXPECT_EQ(game.ship.polygon.radius, 30.0);
    EXPECT_EQ(game.rocks.capacity, GAME_CAPACITY);
    EXPECT_EQ(game.active.capacity, GAME_CAPACITY);
}

TEST_F(GameSetup, OddFieldAndNoRocks) {
    ASSERT_EQ(init_game(&game, 801, 601, 0), 1);
    EXPECT_EQ(listed(), std::vector<Sprite*>{&game.ship});
    EXPECT_EQ(game.ship.position.x, 400.0) << "the half of an odd width is truncated";
    EXPECT_EQ(game.ship.position.y, 300.0);
    EXPECT_EQ(game.world_size.x, 801.0);
}

TEST_F(GameSetup, CapacityAllowsNinetyNineRocks) {
    ASSERT_EQ(init_game(&game, 800, 600, 99), 1);
    EXPECT_EQ(game.active.count, 100u);
    release_game(&game);
    game = Game{};

    // The hundredth rock is made in its slot, then finds the list full.
    EXPECT_EQ(init_game(&game, 800, 600, 100), 0);
    EXPECT_EQ(game.rocks.count, 100u);
    EXPECT_EQ(game.active.count, 100u);
    EXPECT_EQ(rock(99)->kind, KIND_ROCK);
    EXPECT_EQ(active_sprite(rock(99), game), nullptr);
}

TEST_F(GameSetup, FailedAllocationFailsTheGame) {
    // First the rock slab, then the list's own slab.
    for (int skip = 0; skip < 2; ++skip) {
        game = Game{};
        fail_malloc_after(skip);
        EXPECT_EQ(init_game(&game, 800, 600, 4), 0) << "malloc " << skip << " failing";
        EXPECT_EQ(game.active.count, 0u);
        release_game(&game);
    }
}

TEST_F(SpriteList, ActivateUntilFull) {
    ASSERT_EQ(init_slab(&game.active, sizeof(Sprite*), GAME_CAPACITY), 1);
    std::vector<Sprite> sprites(GAME_CAPACITY + 1);
    for (uint32_t i = 0; i < GAME_CAPACITY; ++i) {
        ASSERT_EQ(activate_sprite(&game, &sprites[i]), 1);
    }
    const std::vector<Sprite*> full = listed();
    EXPECT_EQ(activate_sprite(&game, &sprites[GAME_CAPACITY]), 0);
    EXPECT_EQ(listed(), full);
    EXPECT_EQ(active_sprite(&sprites[GAME_CAPACITY], game), nullptr);
    EXPECT_EQ(active_sprite(&sprites[7], game), active_sprites(game) + 7);
}

TEST_F(SpriteList, ListedTwiceLosesOnlyFirstEntry) {
    ASSERT_EQ(init_slab(&game.active, sizeof(Sprite*), GAME_CAPACITY), 1);
    Sprite a{}, b{}, c{}, stranger{};
    for (Sprite* s : {&a, &b, &a, &c}) {
        activate_sprite(&game, s);
    }
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 0);
    deactivate_sprite(&a, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&b, &a, &c}));
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 1);

    deactivate_sprite(&stranger, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&b, &a, &c}));

    // A heap sprite leaves the list and its storage (the sanitizer build sees a
    // leak otherwise).
    auto* heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    ASSERT_NE(heap, nullptr);
    activate_sprite(&game, heap);
    delete_sprite(heap, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&b, &a, &c}));
}

TEST_F(FrameLoop, StepsAreCountedWithCapAndRemainder) {
    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    Sprite* drifter = rock(0);
    drifter->position = Vector{100, 100};
    drifter->velocity = Vector{100, 0}; // one pixel a step

    EXPECT_EQ(simulate_game(&game, 9), 9u);
    EXPECT_EQ(drifter->position.x, 100.0) << "9 ms make no step";
    EXPECT_EQ(simulate_game(&game, 1), 0u);
    EXPECT_EQ(drifter->position.x, 101.0) << "a carried 9 ms and 1 ms make one step";

    EXPECT_EQ(simulate_game(&game, 1000), 0u);
    EXPECT_EQ(drifter->position.x, 126.0) << "a stalled frame runs 25 steps, not 100";
    game.pending_ms = 9;
    EXPECT_EQ(simulate_game(&game, 1000), 9u);
    EXPECT_EQ(drifter->position.x, 151.0) << "the cap applies to the new time only";
    EXPECT_EQ(simulate_game(&game, 250), 9u);
    EXPECT_EQ(drifter->position.x, 176.0);
}

TEST_F(FrameLoop, PauseDropsTime) {
    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    Sprite* drifter = rock(0);
    drifter->position = Vector{100, 100};
    drifter->velocity = Vector{0, 100};
    simulate_game(&game, 7);

    const SDL_Event p = key_event(SDL_KEYDOWN, SDLK_p);
    control_game(&game, p);
    EXPECT_EQ(game.paused, 1);
    EXPECT_EQ(simulate_game(&game, 5000), 7u);
    EXPECT_EQ(drifter->position.y, 100.0);

    // On resume only the first frame's own time counts.
    control_game(&game, p);
    EXPECT_EQ(game.paused, 0);
    EXPECT_EQ(simulate_game(&game, 25), 2u);
    EXPECT_EQ(drifter->position.y, 103.0);

    // P twice within one frame's events leaves the game as it was.
    control_game(&game, p);
    control_game(&game, p);
    EXPECT_EQ(game.paused, 0);
    // A key-up of P or Escape is not a toggle or a quit.
    control_game(&game, key_event(SDL_KEYUP, SDLK_p));
    control_game(&game, key_event(SDL_KEYUP, SDLK_ESCAPE));
    EXPECT_EQ(game.paused, 0);
    EXPECT_EQ(game.quit, 0);
}

TEST_F(FrameLoop, EscapeAndCloseRequestQuit) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    control_game(&game, key_event(SDL_KEYDOWN, SDLK_ESCAPE));
    EXPECT_EQ(game.quit, 1);

    game.quit = 0;
    SDL_Event close{};
    close.type = SDL_QUIT;
    control_game(&game, close);
    EXPECT_EQ(game.quit, 1);
}

TEST_F(FrameLoop, RemovalWalkTakesAdjacentDeadEntries) {
    ASSERT_EQ(init_game(&game, 800, 600, 5), 1);
    rock(1)->kind = KIND_DEAD;
    rock(2)->kind = KIND_DEAD;
    rock(4)->kind = KIND_DEAD;
    EXPECT_EQ(simulate_game(&game, 9), 9u);
    EXPECT_EQ(game.active.count, 6u) << "no step ran, so nothing is removed";
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, rock(0), rock(3)}));
    EXPECT_EQ(rock(1)->kind, KIND_DEAD) << "the dead record stays where it lives";
}

// play_game runs against a clock and event queue of the test's own: every
// SDL_Delay advances the clock, and events can be queued for a given frame.
TEST_F(FrameLoop, EscapeStillCompletesItsFrame) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_RGBA32);
    ASSERT_NE(surface, nullptr);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    Sprite* drifter = rock(0);
    drifter->position = Vector{100, 100};
    drifter->velocity = Vector{100, 0};

    // Frame 1 sees no time; Escape arrives for frame 2, which sees 33 ms.
    seams.clock = 5000;
    seams.events_after_frame = {{key_event(SDL_KEYDOWN, SDLK_ESCAPE)}};
    play_game(&game, renderer);

    EXPECT_EQ(game.quit, 1);
    EXPECT_EQ(seams.presented, 2) << "the frame in which Escape came is still presented";
    EXPECT_EQ(seams.delays, (std::vector<Uint32>{33, 33})) << "and followed by the delay";
    EXPECT_EQ(game.pending_ms, 3u);
    EXPECT_EQ(drifter->position.x, 103.0) << "and simulated";
    // Each frame draws the ship's four edges, nose up at the centre.
    ASSERT_EQ(seams.lines.size(), 8u);
    EXPECT_EQ(seams.lines[0], (DrawnLine{400, 270, 413, 320}));
    EXPECT_EQ(seams.lines[1], (DrawnLine{400, 270, 387, 320}));
    EXPECT_EQ(seams.lines[2], (DrawnLine{400, 310, 387, 320}));
    EXPECT_EQ(seams.lines[3], (DrawnLine{400, 310, 413, 320}));

    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
    SDL_Quit();
}
