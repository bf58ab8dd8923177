// Golden games: whole games recorded from the game as it plays today, which an
// independent model of its rules found bit for bit right. Each is a scripted
// player (keys held and let go at random, the pad, pauses, stalled frames, a
// clock that goes back and one that wraps) fed through the real frame loop.
// The test checks the game two ways against tests/golden:
// - replayed through control_game and simulate_game, the state's hash after
//   every frame, and the lines drawn after every tenth frame;
// - played again through play_game and the SDL seams, the recording written is
//   the golden file byte for byte and every frame draws what it drew.
// Either way the first frame that went otherwise is reported.
//
// scripts/make-golden.sh writes the files again from the game as it is: only
// on purpose, in a commit of its own that says why.
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
    uint32_t seed;
    int32_t rocks;
    Uint32 clock;  // SDL_GetTicks at the start
    size_t frames; // frames played before Escape, or the window's close request
    bool closed;   // ended by the close request
};

// The standard start plays long enough for cracks and whole fragment lives and
// starts 40 s before the 32-bit clock wraps; 30 rocks crowd the field; with 97
// the list fills as missiles fly and rocks crack, and with 99 it is full from
// the start, so that every shot finds no room.
const GoldenGame GAMES[] = {
    {"standard", 1207, 4, 4294927296u, 3000, false},
    {"crowded", 1208, 30, 0, 900, true},
    {"nearly_full", 1209, 97, 100, 150, false},
    {"full", 1210, 99, 7, 60, false},
};

std::string path_of(const GoldenGame& game, const char* extension) {
    return std::string(GOLDEN_DIR) + "/" + game.name + extension;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

SDL_Event pad_event(Uint32 type, int button_or_axis, int value = 0) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_CONTROLLERAXISMOTION) {
        event.caxis.axis = static_cast<Uint8>(button_or_axis);
        event.caxis.value = static_cast<Sint16>(value);
    } else {
        event.cbutton.button = static_cast<Uint8>(button_or_axis);
    }
    return event;
}

// The scripted player: the events before each frame and the clock's extra
// milliseconds after it, from a generator of its own so that the game's draws
// are left alone.
void script(const GoldenGame& game) {
    uint32_t state = game.seed;
    auto next = [&state](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    const SDL_Keycode keys[] = {SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT, SDLK_SPACE, 'a'};
    const int buttons[] = {SDL_CONTROLLER_BUTTON_DPAD_UP,   SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                           SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
                           SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_START,
                           SDL_CONTROLLER_BUTTON_B};
    const int leans[] = {-32768, -16385, -16384, 0, 16384, 16385, 32767};
    bool held[6] = {};
    bool pressed[7] = {};
    seams.events_after_frame.assign(game.frames, {});
    seams.extra_ms_after_frame.assign(game.frames, 0);
    for (size_t frame = 0; frame + 1 < game.frames; ++frame) {
        auto& events = seams.events_after_frame[frame];
        for (uint32_t n = next(3) == 0 ? 1 + next(3) : 0; n > 0; --n) {
            const uint32_t k = next(6);
            events.push_back(key_event(held[k] ? SDL_KEYUP : SDL_KEYDOWN, keys[k]));
            held[k] = !held[k];
            if (held[k] && next(4) == 0) {
                events.push_back(events.back());
                events.back().key.repeat = 1;
            }
        }
        if (next(90) == 0) { // pause; now and then P again, or held to repeat, in one frame
            events.push_back(key_event(SDL_KEYDOWN, SDLK_p));
            const uint32_t again = next(4);
            if (again < 2) {
                events.push_back(key_event(SDL_KEYDOWN, SDLK_p));
                events.back().key.repeat = static_cast<Uint8>(again);
            }
        }
        if (next(25) == 0) { // the pad: a button, the stick, or the pad pulled out
            const uint32_t kind = next(10);
            if (kind < 6) {
                const uint32_t b = next(7);
                const Uint32 type = pressed[b] ? SDL_CONTROLLERBUTTONUP : SDL_CONTROLLERBUTTONDOWN;
                events.push_back(pad_event(type, buttons[b]));
                pressed[b] = !pressed[b];
            } else if (kind < 9) {
                events.push_back(
                    pad_event(SDL_CONTROLLERAXISMOTION, static_cast<int>(next(3)), leans[next(7)]));
            } else {
                events.push_back(pad_event(SDL_CONTROLLERDEVICEREMOVED, 0));
                std::fill(std::begin(pressed), std::end(pressed), false);
            }
        }
        if (next(30) == 0) {
            SDL_Event motion{};
            motion.type = SDL_MOUSEMOTION; // the game ignores it; not recorded
            events.push_back(motion);
        }
        const uint32_t clock = next(300);
        seams.extra_ms_after_frame[frame] = clock == 0   ? 200 + next(800) // a stall
                                            : clock == 1 ? 0u - next(3000) // the clock goes back
                                                         : next(4);
    }
    SDL_Event close{};
    close.type = SDL_QUIT;
    seams.events_after_frame.back().push_back(game.closed ? close
                                                          : key_event(SDL_KEYDOWN, SDLK_ESCAPE));
}

// Plays the scripted game through the frame loop, recording it to path (with
// no path, unrecorded).
void play(const GoldenGame& golden, const std::string& path) {
    reset_seams();
    script(golden);
    seams.clock = golden.clock;
    seed_random(golden.seed);
    Game game{};
    Recorder recorder;
    std::remove(path.c_str());
    ASSERT_TRUE(path.empty() ||
                open_recording(&recorder, path.c_str(),
                               RecordingStart{"0.1", golden.seed, golden.rocks, 800, 600}));
    ASSERT_EQ(init_game(&game, 800, 600, golden.rocks), 1);
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
    Recording recording;
    std::string error;
    ASSERT_EQ(read_recording(path_of(golden, ".brec").c_str(), &recording, &error), 1) << error;
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
    play(golden, path);
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
    if (!writing && golden.rocks < 10) { // the frame loop without a recorder, once
        play(golden, "");
        EXPECT_EQ(first_differing_line(draw_text(), draws), 0u)
            << "frame drawn otherwise unrecorded";
    }
}

// Replayed in the window: each frame waits for its recorded time (at most a
// second) less what the last one took (each present takes 20 ms here), then
// is drawn as it was played; Escape, read halfway, stops the replay there.
TEST_P(Golden, ReplaysInAWindowAtItsPace) {
    const GoldenGame& golden = GetParam();
    Recording recording;
    std::string error;
    ASSERT_EQ(read_recording(path_of(golden, ".brec").c_str(), &recording, &error), 1) << error;
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
