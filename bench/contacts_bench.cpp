// The collision pass, fast against plain, in whole simulation steps: the
// standard start (the ship and 4 rocks) and the ship among 99 rocks. Each
// iteration makes a fresh scene from a fixed seed, runs 1,000 steps untimed,
// and times steps 1,000 to 2,999. The two paths give the same game bit for
// bit, so the warm-up always takes the fast one; the plain one is set for the
// timed steps only. Figures: us_per_step (microseconds a step), and the whole
// 2,000 steps as the iteration's time. (BM_Replay replays whole games by
// either pass.)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <tuple>

#include "brelkor.h"
#include "rock.h"

namespace {

constexpr int WARM_UP_STEPS = 1000;
constexpr int TIMED_STEPS = 2000;

void BM_ContactSteps(benchmark::State& state, int rocks, uint32_t seed, int32_t plain) {
    double timed = 0; // seconds
    for (auto _ : state) {
        seed_random(seed);
        Game game{};
        if (!init_game(&game, 800, 600, rocks)) {
            state.SkipWithError("cannot set up the game");
            break;
        }
        for (int i = 0; i < WARM_UP_STEPS; ++i) {
            step_game(&game, STEP_SECONDS);
        }
        game.plain_contacts = plain;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < TIMED_STEPS; ++i) {
            step_game(&game, STEP_SECONDS);
        }
        const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(taken.count());
        timed += taken.count();
        benchmark::DoNotOptimize(hash_game(game));
        release_game(&game);
    }
    const double steps = static_cast<double>(state.iterations()) * TIMED_STEPS;
    state.counters["us_per_step"] = steps > 0 ? timed * 1e6 / steps : 0;
}
// The standard start and 99 rocks, each by the fast pass and the plain one.
const bool STEPS_REGISTERED = [] {
    for (const auto& [scene, rocks, seed] :
         {std::tuple("standard", 4, 1u), std::tuple("rocks99", 99, 11u)}) {
        for (const int32_t plain : {0, 1}) {
            const std::string name =
                std::string("BM_ContactSteps/") + scene + (plain ? "_plain" : "_fast");
            benchmark::RegisterBenchmark(name.c_str(), BM_ContactSteps, rocks, seed, plain)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

} // namespace
