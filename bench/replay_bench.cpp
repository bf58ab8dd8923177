// The timedemo: whole recorded games of real play replayed headless, events,
// steps and the state hash of every frame, as `brelkor --replay FILE
// --headless` does, by the fast collision pass or the plain one. Each iteration
// replays one game from its start; reading the file is not timed.
// steps_per_second is the figure to compare.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "brelkor.h"

namespace {

void BM_Replay(benchmark::State& state, const char* folder, const char* name, int32_t plain) {
    const std::string path = std::string(folder) + "/" + name;
    Recording recording;
    std::string error;
    if (!read_recording(path.c_str(), &recording, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    uint64_t steps = 0;
    for (auto _ : state) {
        Game game{};
        game.plain_contacts = plain;
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
struct ReplayCase {
    const char* name;
    const char* folder;
    const char* file;
    int32_t plain; // 1: by the plain collision pass
};
const ReplayCase REPLAYS[] = {
    // A few minutes of the standard game: fire, turns, thrust, retro, pauses;
    // a minute and a half among 40 rocks.
    {"standard", BRELKOR_RECORDINGS, "standard.brec", 0},
    {"standard_plain", BRELKOR_RECORDINGS, "standard.brec", 1},
    {"crowded", BRELKOR_RECORDINGS, "crowded.brec", 0},
    {"crowded_plain", BRELKOR_RECORDINGS, "crowded.brec", 1},
    // The golden games of the tests: 4, 30, 97 and 99 rocks.
    {"golden_standard", BRELKOR_GOLDEN, "standard.brec", 0},
    {"golden_crowded", BRELKOR_GOLDEN, "crowded.brec", 0},
    {"golden_nearly_full", BRELKOR_GOLDEN, "nearly_full.brec", 0},
    {"golden_full", BRELKOR_GOLDEN, "full.brec", 0},
};
const bool REPLAYS_REGISTERED = [] {
    for (const ReplayCase& c : REPLAYS) {
        benchmark::RegisterBenchmark((std::string("BM_Replay/") + c.name).c_str(), BM_Replay,
                                     c.folder, c.file, c.plain)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
