#include "brelkor.h"

#include <gtest/gtest.h>

#include <vector>

#include "seams.h"

namespace {

// A game built by each test and released at its end; a drifter is a rock moved
// to (100, 100) with the given velocity, so each step shows in its position.
struct GameTest : ::testing::Test {
    Game game{};
    void SetUp() override { reset_seams(); }
    void TearDown() override {
        release_game(&game);
        reset_seams();
    }
    std::vector<Sprite*> listed() const {
        return std::vector<Sprite*>(active_sprites(game), active_sprites(game) + game.active.count);
    }
    Sprite* rock(uint32_t i) const { return static_cast<Sprite*>(game.rocks.items) + i; }
    Sprite* drifter(Vector velocity) {
        EXPECT_EQ(init_game(&game, 800, 600, 1), 1);
        rock(0)->position = Vector{100, 100};
        rock(0)->velocity = velocity; // 100 pixels a second: one a step
        return rock(0);
    }
};

} // namespace

TEST_F(GameTest, StartListsShipThenRocks) {
    ASSERT_EQ(init_game(&game, 801, 601, 4), 1);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, rock(0), rock(1), rock(2), rock(3)}));
    EXPECT_EQ(game.quit + game.paused + game.pending_ms, 0u);
    EXPECT_EQ(game.world_size.x, 801.0);
    EXPECT_EQ(game.ship.kind, KIND_SHIP);
    EXPECT_EQ(game.ship.position.x, 400.0) << "the half of an odd width is truncated";
    EXPECT_EQ(game.ship.position.y, 300.0);
    EXPECT_EQ(rock(3)->kind, KIND_ROCK);
    // The shared outline is centred in place and the ship's radius is its own
    // again after the start-up separation.
    EXPECT_EQ(game.ship.polygon.vertices, ship_points);
    EXPECT_EQ(ship_points[1].x, -20.0);
    EXPECT_EQ(game.ship.polygon.radius, 30.0);
}

TEST_F(GameTest, StartFailsAtTheHundredthRock) {
    ASSERT_EQ(init_game(&game, 800, 600, 99), 1);
    EXPECT_EQ(game.active.count, 100u);
    release_game(&game);
    game = Game{};

    // The hundredth rock is made in its slot, then finds the list full; the
    // release still finds it through the slab.
    EXPECT_EQ(init_game(&game, 800, 600, 100), 0);
    EXPECT_EQ(game.rocks.count, 100u);
    EXPECT_EQ(rock(99)->kind, KIND_ROCK);
    EXPECT_EQ(active_sprite(rock(99), game), nullptr);
    EXPECT_EQ(activate_sprite(&game, rock(99)), 0);
    EXPECT_EQ(game.active.count, 100u) << "a full list is left as it was";

    for (int skip = 0; skip < 2; ++skip) { // the rock slab, then the list's own
        release_game(&game);
        game = Game{};
        fail_malloc_after(skip);
        EXPECT_EQ(init_game(&game, 800, 600, 4), 0) << "malloc " << skip << " failing";
    }
}

TEST_F(GameTest, ListedTwiceLosesOnlyFirstEntry) {
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Sprite a{}, b{}, stranger{};
    for (Sprite* s : {&a, &b, &a}) {
        activate_sprite(&game, s);
    }
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 1);
    deactivate_sprite(&a, &game);
    deactivate_sprite(&stranger, &game);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, &b, &a}));
    EXPECT_EQ(active_sprite(&a, game), active_sprites(game) + 2);

    auto* heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    heap->storage = STORAGE_HEAP; // what delete_sprite gives back goes by this
    activate_sprite(&game, heap);
    delete_sprite(heap, &game); // the sanitizer build sees a leak otherwise
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, &b, &a}));
}

TEST_F(GameTest, StepsAreCountedWithCapAndRemainder) {
    Sprite* s = drifter(Vector{100, 0});
    EXPECT_EQ(simulate_game(&game, 9), 9u);
    EXPECT_EQ(s->position.x, 100.0) << "9 ms make no step";
    EXPECT_EQ(simulate_game(&game, 1), 0u);
    EXPECT_EQ(s->position.x, 101.0) << "a carried 9 ms and 1 ms make one";
    EXPECT_EQ(simulate_game(&game, 1000), 0u);
    EXPECT_EQ(s->position.x, 126.0) << "a stalled frame runs 25 steps, not 100";
    game.pending_ms = 9;
    EXPECT_EQ(simulate_game(&game, 1000), 9u);
    EXPECT_EQ(s->position.x, 151.0) << "the cap applies to the new time only";
}

TEST_F(GameTest, PauseDropsTimeAndKeysToggleOrQuit) {
    Sprite* s = drifter(Vector{0, 100});
    simulate_game(&game, 7);
    const SDL_Event p = key_event(SDL_KEYDOWN, SDLK_p);
    control_game(&game, p);
    EXPECT_EQ(simulate_game(&game, 5000), 7u);
    EXPECT_EQ(s->position.y, 100.0) << "paused: no step, pending kept";
    control_game(&game, p);
    EXPECT_EQ(simulate_game(&game, 25), 2u);
    EXPECT_EQ(s->position.y, 103.0) << "on resume only the frame's own time counts";

    control_game(&game, p);
    control_game(&game, p);
    control_game(&game, key_event(SDL_KEYUP, SDLK_p));
    control_game(&game, key_event(SDL_KEYUP, SDLK_ESCAPE));
    EXPECT_EQ(game.paused, 0) << "P twice in a frame, and key-ups, change nothing";
    EXPECT_EQ(game.quit, 0);
    SDL_Event close{};
    close.type = SDL_QUIT;
    control_game(&game, close);
    EXPECT_EQ(game.quit, 1);
}

TEST_F(GameTest, RemovalWalkTakesAdjacentDeadEntries) {
    ASSERT_EQ(init_game(&game, 800, 600, 5), 1);
    for (uint32_t i : {1, 2, 4}) {
        rock(i)->kind = KIND_DEAD;
    }
    simulate_game(&game, 9);
    EXPECT_EQ(game.active.count, 6u) << "no step ran, so nothing is removed";
    simulate_game(&game, 1);
    EXPECT_EQ(listed(), (std::vector<Sprite*>{&game.ship, rock(0), rock(3)}));
}

// play_game runs against the seams' clock and event queue: every SDL_Delay
// advances the clock, and events can be queued for a given frame.
TEST_F(GameTest, EscapeStillCompletesItsFrame) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Sprite* s = drifter(Vector{100, 0});

    // Frame 1 sees no time; Escape arrives for frame 2, which sees 33 ms.
    seams.clock = 5000;
    seams.events_after_frame = {{key_event(SDL_KEYDOWN, SDLK_ESCAPE)}};
    play_game(&game, renderer);
    EXPECT_EQ(seams.presented, 2) << "the frame in which Escape came is still presented";
    EXPECT_EQ(seams.delays, (std::vector<Uint32>{33, 33})) << "and followed by the delay";
    EXPECT_EQ(s->position.x, 103.0) << "and simulated";
    // Each frame draws the ship's four edges, nose up at the centre.
    const std::vector<DrawnLine> ship{
        {400, 270, 413, 320}, {400, 270, 387, 320}, {400, 310, 387, 320}, {400, 310, 413, 320}};
    EXPECT_EQ(seams.lines, (std::vector<DrawnLine>{ship[0], ship[1], ship[2], ship[3], ship[0],
                                                   ship[1], ship[2], ship[3]}));
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
    SDL_Quit();
}
