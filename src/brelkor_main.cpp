// Entry: reads the command line, brings SDL up, opens the window, builds the
// game and runs it: played, played and recorded, or a recording replayed.
//
// Command line: brelkor [--seed N] [--rocks N] [--record FILE] [--scale N]
// [--fullscreen], brelkor --replay FILE [--headless | --scale N | --fullscreen],
// or brelkor --help | --version. It is read
// before SDL starts, from left to right, by getopt_long: --help and --version
// answer at once and look no further; the first wrong argument ends the
// program; an option given twice keeps its last value; --name=value is read as
// --name value. Options are taken by their whole names only.
//
// Exit status 0 after a game that ran, or after --help or --version; 1, with one
// line on the standard error stream naming what failed, when there is no window
// to play in, the game cannot be built, the answer cannot be written, the
// recording cannot be written or read, or a replay went otherwise than its
// recording; 2, with one line on the standard error stream, for a wrong command
// line.
#if !defined(_WIN32)
// Only Windows has SDL2main glue that provides the entry; elsewhere main below
// stands in for it.
#define SDL_MAIN_HANDLED
#endif
#include <SDL.h>
#include <getopt.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "brelkor.h"
#include "rock.h"

namespace {

constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;
constexpr int START_ROCKS = 4;
// The active-sprite list holds 100 entries, and the ship takes one.
constexpr uint32_t MOST_ROCKS = 99;
// The largest window: 3200 by 2400 pixels.
constexpr uint32_t MOST_SCALE = 4;

constexpr int STATUS_FAILED = 1;
constexpr int STATUS_USAGE = 2;

#ifndef BRELKOR_VERSION
#error "BRELKOR_VERSION, the game's version as a string, comes from the build"
#endif

constexpr const char* HELP =
    "Usage: brelkor [--seed N] [--rocks N] [--record FILE] [--scale N] [--fullscreen]\n"
    "       brelkor --replay FILE [--headless | --scale N | --fullscreen]\n"
    "       brelkor --help | --version\n"
    "\n"
    "Fly a ship among drifting rocks in an 800x600 window on a field that wraps\n"
    "around. Up thrusts, Left and Right turn, Down turns against the motion, Space\n"
    "fires, P pauses, Alt+Enter toggles full screen, Escape or closing the window\n"
    "quits. A gamepad works too: the D-pad or the left stick turns, thrusts and\n"
    "turns against the motion, the south button (A) fires, Start pauses.\n"
    "\n"
    "  --seed N        seed the random generator with N, 0 to 4294967295, instead\n"
    "                  of the clock: the same seed and rocks give the same start\n"
    "  --rocks N       start with N rocks, 0 to 99, instead of 4; with 99 the list\n"
    "                  of 100 sprites is full, and no missile can be fired until\n"
    "                  rocks are gone\n"
    "  --record FILE   write the game to FILE, a new file, as it is played\n"
    "  --replay FILE   replay the game recorded in FILE in the window, at the pace\n"
    "                  it was played; Escape or closing the window stops it\n"
    "  --headless      with --replay: replay without a window, as fast as it goes,\n"
    "                  and print one line of figures\n"
    "  --scale N       open the window N times 800x600, 1 to 4, instead of 1; the\n"
    "                  field stays 800x600, drawn larger\n"
    "  --fullscreen    fill the screen with the field, its shape kept\n"
    "  --help          print this help and exit\n"
    "  --version       print the name and version and exit\n"
    "\n"
    "Numbers are plain decimal digits. An option given twice keeps its last value;\n"
    "--name=N is the same as --name N.\n"
    "\n"
    "Exit status: 0 after a game or a replay that went as recorded, 1 when there\n"
    "is no display, the game cannot start, a recording cannot be written or read,\n"
    "or a replay went otherwise, 2 for a wrong command line.\n";

// What the command line asks for.
struct Settings {
    uint32_t seed = 0;
    bool seeded = false; // whether seed came from --seed; otherwise the clock seeds
    int rocks = START_ROCKS;
    bool rocks_given = false;
    const char* record = nullptr; // --record FILE
    const char* replay = nullptr; // --replay FILE
    bool headless = false;
    int scale = 1; // --scale N: the window N times 800 by 600
    bool scale_given = false;
    bool fullscreen = false; // --fullscreen
};

enum class Reading {
    PLAY,     // settings read: start the game
    ANSWERED, // --help or --version printed; the answer's status is in the result
    WRONG,    // a line on stderr said what was wrong
};

// Writes text with control characters shown as '?', so that a message stays one
// line whatever the user typed.
void put_printable(const char* text, std::FILE* stream) {
    for (const char* c = text; *c != '\0'; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        std::fputc(byte < 0x20 || byte == 0x7f ? '?' : byte, stream);
    }
}

// One line on stderr: "brelkor: <what>", the argument quoted when there is one,
// then where help is.
Reading complain(const char* what, const char* argument) {
    std::fprintf(stderr, "brelkor: %s", what);
    if (argument != nullptr) {
        std::fputc('\'', stderr);
        put_printable(argument, stderr);
        std::fputc('\'', stderr);
    }
    std::fputs("; see brelkor --help\n", stderr);
    return Reading::WRONG;
}

// A whole number in plain decimal digits (no sign, blanks or anything else) of
// at most limit; false for anything else, an empty text or an overflow included.
bool read_number(const char* text, uint32_t limit, uint32_t* value) {
    if (*text == '\0') {
        return false;
    }
    uint64_t number = 0;
    for (const char* digit = text; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') {
            return false;
        }
        // limit < 2^32, so number stays below 2^36 and cannot wrap.
        number = number * 10 + static_cast<uint64_t>(*digit - '0');
        if (number > limit) {
            return false;
        }
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

// Prints an answer on stdout; status 0, or 1 when it could not be written.
int answer(const char* text) {
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "brelkor: cannot write to the standard output: %s\n",
                     std::strerror(errno));
        return STATUS_FAILED;
    }
    return 0;
}

enum OptionCode : int {
    OPTION_SEED = 256, // beyond every character, so no short option can be mistaken for one
    OPTION_ROCKS,
    OPTION_RECORD,
    OPTION_REPLAY,
    OPTION_HEADLESS,
    OPTION_SCALE,
    OPTION_FULLSCREEN,
    OPTION_HELP,
    OPTION_VERSION,
};

constexpr option OPTIONS[] = {
    {"seed", required_argument, nullptr, OPTION_SEED},
    {"rocks", required_argument, nullptr, OPTION_ROCKS},
    {"record", required_argument, nullptr, OPTION_RECORD},
    {"replay", required_argument, nullptr, OPTION_REPLAY},
    {"headless", no_argument, nullptr, OPTION_HEADLESS},
    {"scale", required_argument, nullptr, OPTION_SCALE},
    {"fullscreen", no_argument, nullptr, OPTION_FULLSCREEN},
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// The long option of this code, or null.
const option* option_of(int code) {
    for (const option* o = OPTIONS; o->name != nullptr; ++o) {
        if (o->val == code) {
            return o;
        }
    }
    return nullptr;
}

// Whether the argument names the option whole ("--seed" or "--seed=..."):
// getopt_long would also take any unambiguous beginning of a name.
bool names_whole(const char* argument, const option& o) {
    const std::string_view text(argument);
    const size_t equals = text.find('=');
    return text.substr(0, 2) == "--" && text.substr(2, equals - 2) == o.name;
}

// Reads the arguments into settings; for ANSWERED, status is the exit status.
Reading read_command_line(int argc, char* argv[], Settings* settings, int* status) {
    opterr = 0; // the messages below are the game's own
    optind = 0; // start afresh
    char what[96];
    for (;;) {
        const int at = optind == 0 ? 1 : optind; // the argument being read
        // "+": stop at the first argument that is not an option; ":": report a
        // missing value apart from an unknown option.
        const int code = getopt_long(argc, argv, "+:", OPTIONS, nullptr);
        if (code == -1) {
            // A stray argument, a lone "-", or "--", which ends getopt's options.
            if (at < argc) {
                return complain(argv[at][0] == '-' ? "unknown option " : "unexpected argument ",
                                argv[at]);
            }
            break;
        }
        const char* argument = argv[at];
        const option* named = option_of(code == '?' || code == ':' ? optopt : code);
        if (named == nullptr || !names_whole(argument, *named)) {
            return complain("unknown option ", argument);
        }
        if (code == '?') { // a value given to an option that takes none
            std::snprintf(what, sizeof what, "--%s takes no value, yet got ", named->name);
            return complain(what, std::strchr(argument, '=') + 1);
        }
        const bool seed = named->val == OPTION_SEED;
        const uint32_t limit = seed                         ? UINT32_MAX
                               : named->val == OPTION_SCALE ? MOST_SCALE
                                                            : MOST_ROCKS;
        if (code == ':') { // the last argument, wanting a value
            if (named->val == OPTION_RECORD || named->val == OPTION_REPLAY) {
                std::snprintf(what, sizeof what, "--%s wants a file name after it", named->name);
            } else {
                std::snprintf(what, sizeof what,
                              "--%s wants a whole number from %d to %lu after it", named->name,
                              named->val == OPTION_SCALE ? 1 : 0,
                              static_cast<unsigned long>(limit));
            }
            return complain(what, nullptr);
        }
        uint32_t number = 0;
        switch (code) {
        case OPTION_HELP:
        case OPTION_VERSION:
            *status = answer(code == OPTION_HELP ? HELP : "brelkor " BRELKOR_VERSION "\n");
            return Reading::ANSWERED;
        case OPTION_SEED:
        case OPTION_ROCKS:
            if (!read_number(optarg, limit, &number)) {
                std::snprintf(what, sizeof what, "--%s wants a whole number from 0 to %lu, not ",
                              named->name, static_cast<unsigned long>(limit));
                return complain(what, optarg);
            }
            if (seed) {
                settings->seed = number;
                settings->seeded = true;
            } else {
                settings->rocks = static_cast<int>(number);
                settings->rocks_given = true;
            }
            break;
        case OPTION_RECORD:
            settings->record = optarg;
            break;
        case OPTION_REPLAY:
            settings->replay = optarg;
            break;
        case OPTION_HEADLESS:
            settings->headless = true;
            break;
        case OPTION_SCALE:
            if (!read_number(optarg, MOST_SCALE, &number) || number == 0) {
                return complain("--scale wants a whole number from 1 to 4, not ", optarg);
            }
            settings->scale = static_cast<int>(number);
            settings->scale_given = true;
            break;
        case OPTION_FULLSCREEN:
            settings->fullscreen = true;
            break;
        default:
            break;
        }
    }
    // Options that make no sense together.
    if (settings->record != nullptr && settings->replay != nullptr) {
        return complain("--record cannot go with --replay", nullptr);
    }
    if (settings->headless && settings->replay == nullptr) {
        return complain("--headless goes only with --replay", nullptr);
    }
    if (settings->headless && (settings->scale_given || settings->fullscreen)) {
        std::snprintf(what, sizeof what, "%s cannot go with --headless, which opens no window",
                      settings->fullscreen ? "--fullscreen" : "--scale");
        return complain(what, nullptr);
    }
    if (settings->replay != nullptr && (settings->seeded || settings->rocks_given)) {
        std::snprintf(what, sizeof what, "%s cannot go with --replay, whose file holds the start",
                      settings->seeded ? "--seed" : "--rocks");
        return complain(what, nullptr);
    }
    return Reading::PLAY;
}

int fail(const char* what, const char* detail) {
    if (detail != nullptr && detail[0] != '\0') {
        std::fprintf(stderr, "brelkor: %s: %s\n", what, detail);
    } else {
        std::fprintf(stderr, "brelkor: %s\n", what);
    }
    return STATUS_FAILED;
}

// Whether the user named this video driver in SDL_VIDEODRIVER (a comma-separated
// list of names, compared without regard to case).
bool driver_requested(const char* driver) {
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested == nullptr) {
        return false;
    }
    const size_t length = std::strlen(driver);
    for (const char* name = requested; *name != '\0';) {
        const char* end = std::strchr(name, ',');
        const size_t name_length =
            end != nullptr ? static_cast<size_t>(end - name) : std::strlen(name);
        if (name_length == length && SDL_strncasecmp(name, driver, length) == 0) {
            return true;
        }
        name += name_length;
        if (*name == ',') {
            ++name;
        }
    }
    return false;
}

// Debian's SDL falls back silently to a video driver that shows nothing when no
// display is reachable; unless asked for, that counts as no display.
bool headless_driver(const char* driver) {
    return SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0;
}

// Brings SDL up and opens the window with its renderer, scale times the field
// or filling the screen: 0, or the exit status after one line on stderr (SDL is
// then down again).
int open_window(const Settings& settings, SDL_Renderer** renderer) {
    // With no Wayland display named, SDL's Wayland driver finds none, and its
    // library says so on stderr on its own ("XDG_RUNTIME_DIR is invalid..."): so
    // unless a driver is asked for, SDL tries its other drivers alone, in its order.
    std::string drivers;
    if (SDL_getenv("SDL_VIDEODRIVER") == nullptr && SDL_getenv("WAYLAND_DISPLAY") == nullptr) {
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
            const char* name = SDL_GetVideoDriver(i);
            if (SDL_strcasecmp(name, "wayland") != 0) {
                drivers += drivers.empty() ? "" : ",";
                drivers += name;
            }
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    // The game needs only video, events and the timer; the rest (gamepads, say)
    // is welcome but not required.
    if (SDL_Init(SDL_INIT_EVERYTHING) != 0) {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
            return fail("cannot start SDL", SDL_GetError());
        }
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER); // the keys do without
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || (headless_driver(driver) && !driver_requested(driver))) {
        const char* x11 = SDL_getenv("DISPLAY");
        const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
        const std::string detail =
            "DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) must name a running display server; "
            "DISPLAY is " +
            (x11 != nullptr ? "'" + std::string(x11) + "'" : std::string("not set")) +
            ", WAYLAND_DISPLAY is " +
            (wayland != nullptr ? "'" + std::string(wayland) + "'" : std::string("not set"));
        SDL_Quit();
        return fail("no display reachable", detail.c_str());
    }
    // With no option: 800 by 600, no flags, and SDL draws as the game says.
    const Uint32 flags = settings.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    SDL_Window* window =
        SDL_CreateWindow("Brelkor!", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         WINDOW_WIDTH * settings.scale, WINDOW_HEIGHT * settings.scale, flags);
    if (window == nullptr) {
        const int status = fail("cannot open the window", SDL_GetError());
        SDL_Quit();
        return status;
    }
    *renderer = SDL_CreateRenderer(window, -1, 0);
    if (*renderer == nullptr) {
        const int status = fail("cannot make a renderer for the window", SDL_GetError());
        SDL_Quit();
        return status;
    }
    // Larger, the field keeps its 800 by 600 pixels, scaled and letterboxed.
    if (settings.scale != 1 || settings.fullscreen) {
        SDL_RenderSetLogicalSize(*renderer, WINDOW_WIDTH, WINDOW_HEIGHT);
    }
    return 0;
}

// Plays a game in the window, recording it when asked.
int play(const Settings& settings) {
    const uint32_t seed =
        settings.seeded ? settings.seed : static_cast<uint32_t>(std::time(nullptr));
    seed_random(seed);
    Recorder recorder;
    if (settings.record != nullptr &&
        !open_recording(
            &recorder, settings.record,
            RecordingStart{BRELKOR_VERSION, seed, settings.rocks, WINDOW_WIDTH, WINDOW_HEIGHT})) {
        return fail(recorder.error.c_str(), nullptr);
    }
    // A recording of a game that never began would only stand in the way of the
    // next one under that name.
    auto drop_recording = [&] {
        if (settings.record != nullptr) {
            abandon_recording(&recorder);
            std::remove(settings.record);
        }
    };
    SDL_Renderer* renderer = nullptr;
    if (const int status = open_window(settings, &renderer); status != 0) {
        drop_recording();
        return status;
    }
    Game game{};
    int status = 0;
    if (init_game(&game, WINDOW_WIDTH, WINDOW_HEIGHT, settings.rocks)) {
        play_game(&game, renderer, settings.record != nullptr ? &recorder : nullptr);
        if (settings.record != nullptr && !close_recording(&recorder)) {
            status = STATUS_FAILED; // its line is on stderr already
        }
    } else {
        drop_recording();
        status = fail("cannot set up the game", "out of memory");
    }
    release_game(&game);
    SDL_Quit(); // ends the window and the renderer with it
    return status;
}

// Replays a recording, in the window or headless; the whole file is read and
// checked before anything starts.
int replay(const Settings& settings) {
    Recording recording;
    std::string error;
    if (!read_recording(settings.replay, &recording, &error)) {
        return fail(error.c_str(), nullptr);
    }
    SDL_Renderer* renderer = nullptr;
    if (!settings.headless) {
        if (const int status = open_window(settings, &renderer); status != 0) {
            return status;
        }
    }
    Game game{};
    if (!start_replay(&game, recording)) {
        release_game(&game);
        if (!settings.headless) {
            SDL_Quit();
        }
        return fail("cannot set up the game", "out of memory");
    }
    ReplayOutcome outcome;
    if (settings.headless) {
        const auto began = std::chrono::steady_clock::now();
        outcome = replay_headless(&game, recording, settings.replay);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        const double rate = wall > 0 ? static_cast<double>(outcome.steps) / wall : 0;
        std::string verdict = outcome.first_wrong == 0
                                  ? std::string("matches")
                                  : "first differing frame " + std::to_string(outcome.first_wrong);
        std::printf("%s: %lu frames, %llu steps, %.2f game seconds, %.6f wall seconds, %.0f steps "
                    "per second, %s, final hash %016llx\n",
                    settings.replay, static_cast<unsigned long>(outcome.frames),
                    static_cast<unsigned long long>(outcome.steps),
                    static_cast<double>(outcome.steps) * STEP_SECONDS, wall, rate, verdict.c_str(),
                    static_cast<unsigned long long>(outcome.final_hash));
    } else {
        outcome = replay_in_window(&game, renderer, recording, settings.replay);
    }
    if (!recording.ended && !outcome.stopped) {
        std::fprintf(stderr,
                     "brelkor: %s: the recording ends after frame %lu without its end line: the "
                     "game that made it stopped before it ended\n",
                     settings.replay, static_cast<unsigned long>(recording.frames.size()));
    }
    release_game(&game);
    if (!settings.headless) {
        SDL_Quit();
    }
    int status = outcome.first_wrong == 0 ? 0 : STATUS_FAILED;
    if (settings.headless && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
        status = fail("cannot write to the standard output", std::strerror(errno));
    }
    return status;
}

} // namespace

extern "C" int SDL_main(int argc, char* argv[]) {
    Settings settings;
    int answered = 0;
    switch (read_command_line(argc, argv, &settings, &answered)) {
    case Reading::PLAY:
        break;
    case Reading::ANSWERED:
        return answered;
    case Reading::WRONG:
        return STATUS_USAGE;
    }
    return settings.replay != nullptr ? replay(settings) : play(settings);
}

#if !defined(_WIN32)
int main(int argc, char* argv[]) {
    SDL_SetMainReady();
    return SDL_main(argc, argv);
}
#endif
