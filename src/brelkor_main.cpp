// Entry: reads the command line, brings SDL up, opens the window, builds the
// game and runs it.
//
// Command line: brelkor [--seed N] [--rocks N], or brelkor --help | --version.
// It is read before SDL starts, from left to right: --help and --version answer
// at once and look no further; the first wrong argument ends the program; an
// option given twice keeps its last value. --name=value is read as --name value.
//
// Exit status 0 after a game that ran, or after --help or --version; 1, with one
// line on the standard error stream naming what failed, when there is no window
// to play in, the game cannot be built or the answer cannot be written; 2, with
// one line on the standard error stream, for a wrong command line.
#if !defined(_WIN32)
// Only Windows has SDL2main glue that provides the entry; elsewhere main below
// stands in for it.
#define SDL_MAIN_HANDLED
#endif
#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "brelkor.h"
#include "rock.h"

namespace {

constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;
constexpr int START_ROCKS = 4;
// The active-sprite list holds 100 entries, and the ship takes one.
constexpr uint32_t MOST_ROCKS = 99;

constexpr int STATUS_FAILED = 1;
constexpr int STATUS_USAGE = 2;

#ifndef BRELKOR_VERSION
#error "BRELKOR_VERSION, the game's version as a string, comes from the build"
#endif

constexpr const char* HELP =
    "Usage: brelkor [--seed N] [--rocks N]\n"
    "       brelkor --help | --version\n"
    "\n"
    "Fly a ship among drifting rocks in an 800x600 window on a field that wraps\n"
    "around. Up thrusts, Left and Right turn, Down turns against the motion, Space\n"
    "fires, P pauses, Escape or closing the window quits.\n"
    "\n"
    "  --seed N    seed the random generator with N, 0 to 4294967295, instead of\n"
    "              the clock: the same seed and rocks give the same start\n"
    "  --rocks N   start with N rocks, 0 to 99, instead of 4\n"
    "  --help      print this help and exit\n"
    "  --version   print the name and version and exit\n"
    "\n"
    "Numbers are plain decimal digits. An option given twice keeps its last value;\n"
    "--name=N is the same as --name N.\n"
    "\n"
    "Exit status: 0 after a game, 1 when there is no display or the game cannot\n"
    "start, 2 for a wrong command line.\n";

// What the command line asks for.
struct Settings {
    uint32_t seed = 0;
    bool seeded = false; // whether seed came from --seed; otherwise the clock seeds
    int rocks = START_ROCKS;
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

// Reads the arguments into settings; for ANSWERED, status is the exit status.
Reading read_command_line(int argc, char* argv[], Settings* settings, int* status) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const char* equals = std::strchr(argument, '=');
        const std::string_view name = equals != nullptr
                                          ? std::string_view(argument, equals - argument)
                                          : std::string_view(argument);
        const char* value = equals != nullptr ? equals + 1 : nullptr;
        char what[96];

        if (name == "--help" || name == "--version") {
            if (value != nullptr) {
                std::snprintf(what, sizeof what, "%.*s takes no value, yet got ",
                              static_cast<int>(name.size()), name.data());
                return complain(what, value);
            }
            *status = answer(name == "--help" ? HELP : "brelkor " BRELKOR_VERSION "\n");
            return Reading::ANSWERED;
        }
        if (name == "--seed" || name == "--rocks") {
            const bool seed = name == "--seed";
            const char* option = seed ? "--seed" : "--rocks";
            const uint32_t limit = seed ? UINT32_MAX : MOST_ROCKS;
            if (value == nullptr && i + 1 == argc) {
                std::snprintf(what, sizeof what, "%s wants a whole number from 0 to %lu after it",
                              option, static_cast<unsigned long>(limit));
                return complain(what, nullptr);
            }
            if (value == nullptr) {
                value = argv[++i];
            }
            uint32_t number = 0;
            if (!read_number(value, limit, &number)) {
                std::snprintf(what, sizeof what, "%s wants a whole number from 0 to %lu, not ",
                              option, static_cast<unsigned long>(limit));
                return complain(what, value);
            }
            if (seed) {
                settings->seed = number;
                settings->seeded = true;
            } else {
                settings->rocks = static_cast<int>(number);
            }
            continue;
        }
        return complain(argument[0] == '-' ? "unknown option " : "unexpected argument ", argument);
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
    seed_random(settings.seeded ? settings.seed : static_cast<uint32_t>(std::time(nullptr)));

    // The game needs only video, events and the timer; the rest (sound, say) is
    // welcome but not required.
    if (SDL_Init(SDL_INIT_EVERYTHING) != 0 &&
        SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        return fail("cannot start SDL", SDL_GetError());
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || (headless_driver(driver) && !driver_requested(driver))) {
        char detail[96];
        std::snprintf(detail, sizeof detail, "SDL fell back to its %s video driver",
                      driver != nullptr ? driver : "(none)");
        SDL_Quit();
        return fail("no display reachable", detail);
    }
    SDL_Window* window = SDL_CreateWindow("Brelkor!", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, WINDOW_WIDTH, WINDOW_HEIGHT, 0);
    if (window == nullptr) {
        const int status = fail("cannot open the window", SDL_GetError());
        SDL_Quit();
        return status;
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr) {
        const int status = fail("cannot make a renderer for the window", SDL_GetError());
        SDL_Quit();
        return status;
    }

    Game game{};
    int status = 0;
    if (init_game(&game, WINDOW_WIDTH, WINDOW_HEIGHT, settings.rocks)) {
        play_game(&game, renderer);
    } else {
        status = fail("cannot set up the game", "out of memory");
    }
    release_game(&game);
    SDL_Quit(); // ends the window and the renderer with it
    return status;
}

#if !defined(_WIN32)
int main(int argc, char* argv[]) {
    SDL_SetMainReady();
    return SDL_main(argc, argv);
}
#endif
