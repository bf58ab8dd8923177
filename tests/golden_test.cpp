// Golden games: whole games recorded from the game as it plays today, which an
// independent model of its rules found bit for bit right. The test checks the
// game three ways against tests/golden:
// - replayed through control_game and simulate_game, the state's hash after
//   every frame, and the lines drawn after every tenth frame;
// - played again through play_game and the SDL seams, the recorded player's
//   keys, pad and clock fed in, the recording written is the golden file byte
//   for byte and every frame draws what it drew;
// - replayed in a window at its recorded pace.
// Each way the first frame that went otherwise is reported.
//
// scripts/make-golden.sh writes the files again from the game as it is, the
// same player's part played again: only on purpose, in a commit of its own
// that says why. A new golden game is a recording of play (--record) added to
// GAMES.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "rock.h"
#include "seams.h"

namespace {

struct GoldenGame {
    const char* name;
    Uint32 clock; // SDL_GetTicks at the start
};

// Scripted players (keys held and let go at random, the pad, pauses, stalled
// frames, a clock that goes back) made the first four once. The standard start
// plays long enough for cracks and whole fragment lives and starts 40 s before
// the 32-bit clock wraps; 30 rocks crowd the field; with 97 the list fills as
// missiles fly and rocks crack, and with 99 it is full from the start, so that
// every shot finds no room. The fifth player part was written out as a file:
// among 12 rocks, fire held from the second frame and let go now and then, a
// turn, thrust or retro key pressed or let go in one frame in 16, 4000 frames
// of 33 to 35 ms, so that rocks crack again and again.
const GoldenGame GAMES[] = {
    {"standard", 4294927296u}, {"crowded", 0}, {"nearly_full", 100}, {"full", 7}, {"cracks", 1000},
};

std::string path_of(const GoldenGame& game, const char* extension) {
    return std::string(GOLDEN_DIR) + "/" + game.name + extension;
}

Recording golden_recording(const GoldenGame& golden) {
    Recording recording;
    std::string error;
    EXPECT_EQ(read_recording(path_of(golden, ".brec").c_str(), &recording, &error), 1) << error;
    return recording;
}

// Plays the recorded player's part through the frame loop: the delay that ends
// frame k queues frame k + 1's events and moves the clock on by its recorded
// time, now and then with a mouse motion that the game ignores and does not
// record. Records to path (with no path, unrecorded).
void play(const GoldenGame& golden, const Recording& player, const std::string& path) {
    reset_seams();
    const size_t frames = player.frames.size();
    std::vector<std::vector<SDL_Event>> events(frames); // each frame's, as it reads them
    for (uint32_t k = 0; k < frames; ++k) {
        uint32_t begin = 0, end = 0;
        frame_events(player, k, &begin, &end);
        if (k % 30 == 29) {
            events[k].push_back(SDL_Event{SDL_MOUSEMOTION});
        }
        for (uint32_t e = begin; e < end; ++e) {
            events[k].push_back(recorded_to_sdl(player.events[e]));
        }
        seams.extra_ms_after_frame.push_back(player.frames[k].elapsed_ms - FRAME_DELAY_MS);
    }
    seams.events.assign(events[0].begin(), events[0].end());
    seams.events_after_frame.assign(events.begin() + 1, events.end());
    seams.extra_ms_after_frame.erase(seams.extra_ms_after_frame.begin()); // frame 1 takes none
    seams.clock = golden.clock;
    seed_random(player.start.seed);
    Game game{};
    Recorder recorder;
    std::remove(path.c_str());
    ASSERT_TRUE(path.empty() || open_recording(&recorder, path.c_str(),
                                               RecordingStart{"0.1", player.start.seed,
                                                              player.start.rocks, 800, 600}));
    ASSERT_EQ(init_game(&game, 800, 600, player.start.rocks), 1);
    play_game(&game, nullptr, path.empty() ? nullptr : &recorder);
    ASSERT_TRUE(path.empty() || close_recording(&recorder));
    release_game(&game);
}

std::string draw_text() {
    std::string text;
    char line[20];
    for (const uint64_t hash : seams.frame_draws) {
        std::snprintf(line, sizeof line, "%016llx\n", static_cast<unsigned long long>(hash));
        text += line;
    }
    return text;
}

// The first line where two texts differ, from 1; 0 when they are equal.
size_t first_differing_line(const std::string& a, const std::string& b) {
    size_t line = 1;
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) {
            return line;
        }
        line += a[i] == '\n';
    }
    return 0;
}

class Golden : public testing::TestWithParam<GoldenGame> {};

} // namespace

TEST_P(Golden, ReplaysFrameForFrame) {
    const GoldenGame& golden = GetParam();
    const Recording recording = golden_recording(golden);
    const std::string draws = read_file(path_of(golden, ".draw"));
    ASSERT_EQ(draws.size(), recording.frames.size() * 17);
    reset_seams();
    Game game{};
    ASSERT_EQ(start_replay(&game, recording), 1);
    for (uint32_t i = 0; i < recording.frames.size(); ++i) {
        replay_frame(&game, recording, i);
        ASSERT_EQ(hash_game(game), recording.frames[i].hash) << "frame " << i + 1;
        // Only what is listed holds memory: both slabs, and at most a record and
        // a vertex array for each listed sprite.
        ASSERT_LE(seams.blocks, 2 + 2 * static_cast<long>(game.active.count)) << "frame " << i + 1;
        if (i % 10 == 0) {
            seams.frame_draws.clear();
            draw_game(nullptr, game);
            SDL_RenderPresent(nullptr);
            ASSERT_EQ(draw_text(), draws.substr(i * 17, 17)) << "drawing of frame " << i + 1;
        }
    }
    EXPECT_TRUE(recording.ended);
    EXPECT_EQ(game.quit, 1);
    release_game(&game);
    EXPECT_EQ(seams.blocks, 0) << "heap blocks not given back";
}

TEST_P(Golden, PlaysAsRecorded) {
    const GoldenGame& golden = GetParam();
    const bool writing = std::getenv("BRELKOR_WRITE_GOLDEN") != nullptr;
    const std::string path = writing ? path_of(golden, ".brec")
                                     : testing::TempDir() + "golden_" + golden.name + "_" +
                                           std::to_string(getpid()) + ".brec";
    const Recording player = golden_recording(golden); // read before it is written again
    play(golden, player, path);
    const std::string draws = draw_text();
    if (writing) {
        std::ofstream(path_of(golden, ".draw"), std::ios::binary) << draws;
    }
    const std::string text = read_file(path);
    const std::string want = read_file(path_of(golden, ".brec"));
    EXPECT_EQ(first_differing_line(text, want), 0u) << "of the recording";
    EXPECT_EQ(first_differing_line(draws, read_file(path_of(golden, ".draw"))), 0u)
        << "frame whose drawing differs";
    if (!writing) {
        std::remove(path.c_str());
    }
    if (!writing && player.start.rocks < 10) { // the frame loop without a recorder, once
        play(golden, player, "");
        EXPECT_EQ(first_differing_line(draw_text(), draws), 0u)
            << "frame drawn otherwise unrecorded";
    }
}

// Replayed in the window: each frame waits for its recorded time (at most a
// second) less what the last one took (each present takes 20 ms here), then
// is drawn as it was played; Escape, read halfway, stops the replay there.
TEST_P(Golden, ReplaysInAWindowAtItsPace) {
    const GoldenGame& golden = GetParam();
    const Recording recording = golden_recording(golden);
    reset_seams();
    seams.clock = golden.clock;
    seams.present_ms = 20;
    // The Escape comes with the delay before frame `stop`, which it stops.
    const size_t stop = recording.frames.size() / 2;
    Uint32 clock = golden.clock;
    size_t delays = 0;
    for (size_t i = 1; i <= stop; ++i) {
        const Uint32 pace = std::min<Uint32>(recording.frames[i].elapsed_ms, 1000);
        delays += pace > 20 && i < stop;
        clock += std::max<Uint32>(pace, 20);
    }
    seams.events_after_frame.resize(delays + 1);
    seams.events_after_frame[delays].push_back(key_event(SDL_KEYDOWN, SDLK_ESCAPE));
    Game game{};
    ASSERT_EQ(start_replay(&game, recording), 1);
    const ReplayOutcome outcome = replay_in_window(&game, nullptr, recording, "x");
    release_game(&game);
    EXPECT_EQ(std::tuple(outcome.stopped, outcome.first_wrong, seams.frame_draws.size()),
              std::tuple(true, 0u, stop));
    EXPECT_EQ(
        first_differing_line(draw_text(), read_file(path_of(golden, ".draw")).substr(0, 17 * stop)),
        0u)
        << "frame whose drawing differs";
    const std::tuple<Uint32, size_t> paced(clock, delays + 1);
    EXPECT_EQ(std::tuple(seams.clock, seams.frames), paced) << "the clock, and the delays";
}

INSTANTIATE_TEST_SUITE_P(Games, Golden, testing::ValuesIn(GAMES),
                         [](const auto& info) { return std::string(info.param.name); });
