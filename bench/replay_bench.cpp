// The timedemo: whole recorded games of real play replayed headless, events,
// steps and the state hash of every frame, as `brelkor --replay FILE
// --headless` does. Each iteration replays one game from its start; reading the
// file is not timed.
#include <benchmark/benchmark.h>

#include <string>

#include "brelkor.h"

namespace {

void BM_Replay(benchmark::State& state, const char* name) {
    const std::string path = std::string(BRELKOR_RECORDINGS) + "/" + name;
    Recording recording;
    std::string error;
    if (!read_recording(path.c_str(), &recording, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    uint64_t steps = 0;
    for (auto _ : state) {
        Game game{};
        if (!start_replay(&game, recording)) {
            state.SkipWithError("cannot set up the game");
            break;
        }
        const ReplayOutcome outcome = replay_headless(&game, recording, nullptr);
        if (outcome.first_wrong != 0) {
            state.SkipWithError("the replay went otherwise than its recording");
        }
        steps += outcome.steps;
        release_game(&game);
    }
    state.counters["steps_per_second"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}
// A few minutes of the standard game: fire, turns, thrust, retro, pauses.
BENCHMARK_CAPTURE(BM_Replay, standard, "standard.brec")->Unit(benchmark::kMillisecond);
// A minute and a half among 40 rocks.
BENCHMARK_CAPTURE(BM_Replay, crowded, "crowded.brec")->Unit(benchmark::kMillisecond);

} // namespace
