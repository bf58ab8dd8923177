// Seams between the game and SDL (and the heap) in the test build. The test
// binary is linked with --wrap for the SDL calls below and for malloc and free,
// so every call the game makes lands here; no SDL renderer or event queue is
// needed.
#pragma once

#include <SDL.h>

#include "sprite.h"

#include <cstddef>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

// One line as the game handed it to SDL_RenderDrawLine.
struct DrawnLine {
    int x1, y1, x2, y2;
    bool operator==(const DrawnLine&) const = default;
};

inline void PrintTo(const DrawnLine& line, std::ostream* out) {
    *out << "(" << line.x1 << ", " << line.y1 << ", " << line.x2 << ", " << line.y2 << ")";
}

constexpr uint64_t DRAW_HASH_START = 14695981039346656037u;

struct Seams {
    std::vector<DrawnLine> lines; // lines drawn, in call order (at most MAX_RECORDED)
    Uint32 clock = 0;             // what SDL_GetTicks returns; each delay advances it
    Uint32 present_ms = 0;        // how far each present moves the clock on
    std::deque<SDL_Event> events; // what SDL_PollEvent yields
    // Events queued during the delay that ends frame k (from 1), so that they are
    // read at the start of frame k + 1.
    std::vector<std::vector<SDL_Event>> events_after_frame;
    // Milliseconds the clock moves on past the delay that ends frame k (from 1):
    // a stalled frame, or with a wrapped value, a clock that goes back.
    std::vector<Uint32> extra_ms_after_frame;
    // Per presented frame, an FNV-1a hash of its drawing calls (colours, clears
    // and lines, in order); the drawing since the last present is in draw_hash.
    std::vector<uint64_t> frame_draws;
    uint64_t draw_hash = DRAW_HASH_START;
    size_t frames = 0;         // SDL_Delay calls
    int fail_malloc_skip = -1; // malloc calls to let through before failing; -1 off
    int fail_malloc_count = 0; // how many calls fail once failing starts
    long blocks = 0;           // blocks from malloc not yet freed
};

constexpr size_t MAX_RECORDED = 100000;

extern Seams seams;

// Forgets everything recorded but the blocks held, and disarms the malloc
// failure.
void reset_seams();

// The malloc call after `skip` successful ones fails, and `count` calls in all.
void fail_malloc_after(int skip, int count = 1);

SDL_Event key_event(Uint32 type, SDL_Keycode key);

// The whole of a file; empty when it cannot be read.
std::string read_file(const std::string& path);

// Bodies for the tests.
using Points = std::vector<Vector>;
constexpr Vector FIELD{800, 600};

// The square of half side h, listed with the game's winding.
Points square(double h);

// A heap copy of the outline, as the game holds the outlines it owns.
Vector* heap_copy(const Points& outline);

// A rock in a heap record of its own, with its own copy of the outline
// (centred in place) at `at`, density ROCK_DENSITY, as a crack makes one.
Sprite* heap_rock(const Points& outline, Vector at);

// A sprite of no kind with the outline (centred in place) at (x, y), density 1;
// the outline is kept for the test's life.
Sprite body(const Points& outline, double x, double y);
