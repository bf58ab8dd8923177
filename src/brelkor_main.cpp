// Entry: brings SDL up, opens the window, builds the game and runs it.
//
// Exit status 0 after a game that ran; 1, with one line on the standard error
// stream naming what failed, when there is no window to play in or the game
// cannot be built.
#if !defined(_WIN32)
// Only Windows has SDL2main glue that provides the entry; elsewhere main below
// stands in for it.
#define SDL_MAIN_HANDLED
#endif
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "brelkor.h"
#include "rock.h"

namespace {

constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;
constexpr int START_ROCKS = 4;

int fail(const char* what, const char* detail) {
    if (detail != nullptr && detail[0] != '\0') {
        std::fprintf(stderr, "brelkor: %s: %s\n", what, detail);
    } else {
        std::fprintf(stderr, "brelkor: %s\n", what);
    }
    return 1;
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
    (void)argc;
    (void)argv;
    seed_random(static_cast<uint32_t>(std::time(nullptr)));

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
    if (init_game(&game, WINDOW_WIDTH, WINDOW_HEIGHT, START_ROCKS)) {
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
