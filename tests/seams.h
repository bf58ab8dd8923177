// Seams between the game and SDL (and the heap) in the test build. The test
// binary is linked with --wrap for SDL_RenderDrawLine, SDL_RenderPresent,
// SDL_Delay, SDL_GetTicks and malloc, so every call the game makes lands here.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

// One line as the game handed it to SDL_RenderDrawLine.
struct DrawnLine {
    int x1, y1, x2, y2;
    bool operator==(const DrawnLine&) const = default;
};

inline void PrintTo(const DrawnLine& line, std::ostream* out) {
    *out << "(" << line.x1 << ", " << line.y1 << ", " << line.x2 << ", " << line.y2 << ")";
}

struct Seams {
    std::vector<DrawnLine> lines; // every line drawn, in call order
    bool pass_lines = false;      // also hand lines on to SDL (pixels wanted)
    int presented = 0;            // SDL_RenderPresent calls
    std::vector<Uint32> delays;   // SDL_Delay arguments; no real sleep happens
    Uint32 clock = 0;             // what SDL_GetTicks returns; each delay advances it
    // Events pushed into SDL's queue during the delay that ends frame k (from 1),
    // so that they are read at the start of frame k + 1.
    std::vector<std::vector<SDL_Event>> events_after_frame;
    int fail_malloc_skip = -1; // malloc calls to let through before failing; -1 off
    int fail_malloc_count = 0; // how many calls fail once failing starts
};

extern Seams seams;

// Forgets everything recorded and disarms the malloc failure.
void reset_seams();

// The malloc call after `skip` successful ones fails, and `count` calls in all.
void fail_malloc_after(int skip, int count = 1);

SDL_Event key_event(Uint32 type, SDL_Keycode key);
