// Timings of the work of one simulation step: the exact contact test of two
// overlapping rocks, and whole steps of a crowded field, where every pair of
// the 100 listed sprites goes through the bounds test.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "brelkor.h"
#include "rock.h"

namespace {

// Two random rocks laid over each other: every side of one is tested against
// every side of the other.
void BM_SpritesIntersect(benchmark::State& state) {
    seed_random(7);
    init_rock_generator();
    Sprite a{};
    Sprite b{};
    const Vector world_size{800, 600};
    random_rock(&a, world_size, 200, 200, 200);
    random_rock(&b, world_size, 200, 200, 200);
    b.position = vector_add(a.position, Vector{a.polygon.radius * 0.5, 0});
    Vector point{};
    Vector normal{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(sprites_intersect(a, b, world_size, &point, &normal));
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(state.iterations() * a.polygon.count * b.polygon.count);
    std::free(a.polygon.vertices);
    std::free(b.polygon.vertices);
}
BENCHMARK(BM_SpritesIntersect);

// The ship and 99 rocks, which bounce off each other and the ship: 4950 pair
// tests a step. Each iteration is one 10 ms step; the game needs 100 a second.
void BM_CrowdedStep(benchmark::State& state) {
    seed_random(11);
    Game game{};
    if (!init_game(&game, 800, 600, 99)) {
        state.SkipWithError("cannot set up the game");
        return;
    }
    for (auto _ : state) {
        step_game(&game, STEP_SECONDS);
    }
    state.SetItemsProcessed(state.iterations() * game.active.count);
    release_game(&game);
}
BENCHMARK(BM_CrowdedStep);

// The standard start with fire held and the ship turning: missiles, cracks and
// fragments come and go, so the step's heap traffic is part of the figure. The
// game starts afresh every 1500 steps (15 s of play), before the field is
// cleared of rocks; the restart is not timed.
void BM_FiringStep(benchmark::State& state) {
    seed_random(3);
    Game game{};
    int64_t steps = 0;
    for (auto _ : state) {
        if (steps++ % 1500 == 0) {
            state.PauseTiming();
            release_game(&game);
            game = Game{};
            if (!init_game(&game, 800, 600, 4)) {
                state.SkipWithError("cannot set up the game");
                break;
            }
            game.ship.controls = CONTROL_FIRE | CONTROL_LEFT;
            state.ResumeTiming();
        }
        step_game(&game, STEP_SECONDS);
    }
    release_game(&game);
}
BENCHMARK(BM_FiringStep);

} // namespace
