#include "seams.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "rock.h"

Seams seams;

void reset_seams() {
    const long blocks = seams.blocks;
    seams = Seams{};
    seams.blocks = blocks;
}

void fail_malloc_after(int skip, int count) {
    seams.fail_malloc_skip = skip;
    seams.fail_malloc_count = count;
}

SDL_Event key_event(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    return event;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Points square(double h) { return {{h, h}, {h, -h}, {-h, -h}, {-h, h}}; }

Vector* heap_copy(const Points& outline) {
    auto* v = static_cast<Vector*>(std::malloc(sizeof(Vector) * outline.size()));
    std::copy(outline.begin(), outline.end(), v);
    return v;
}

Sprite* heap_rock(const Points& outline, Vector at) {
    auto* rock = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    init_sprite(rock, at.x, at.y,
                Polygon{heap_copy(outline), static_cast<uint32_t>(outline.size()), 1, 0, 0, 0},
                ROCK_DENSITY, 200, 200, 200);
    rock->kind = KIND_ROCK;
    rock->storage = STORAGE_HEAP_ROCK;
    return rock;
}

Sprite body(const Points& outline, double x, double y) {
    static std::vector<Points> kept; // moving a vector keeps its elements in place
    kept.push_back(outline);
    Sprite s{};
    init_sprite(&s, x, y,
                Polygon{kept.back().data(), static_cast<uint32_t>(outline.size()), 1, 0, 0, 0}, 1,
                200, 200, 200);
    return s;
}

// A drawing call into the frame's hash: its name and its arguments.
template <typename... Values> static void record(const char* call, Values... values) {
    std::string entry = call;
    ((entry += " " + std::to_string(values)), ...);
    for (const char c : entry + ";") {
        seams.draw_hash = (seams.draw_hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
}

extern "C" {

void* __real_malloc(size_t size);
void __real_free(void* p);

int __wrap_SDL_RenderDrawLine(SDL_Renderer*, int x1, int y1, int x2, int y2) {
    if (seams.lines.size() < MAX_RECORDED) {
        seams.lines.push_back(DrawnLine{x1, y1, x2, y2});
    }
    record("line", x1, y1, x2, y2);
    return 0;
}

int __wrap_SDL_SetRenderDrawColor(SDL_Renderer*, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    record("color", r, g, b, a);
    return 0;
}

int __wrap_SDL_RenderFillRect(SDL_Renderer*, const SDL_Rect* rect) {
    record(rect == nullptr ? "fill" : "fill part");
    return 0;
}

void __wrap_SDL_RenderPresent(SDL_Renderer*) {
    seams.frame_draws.push_back(seams.draw_hash);
    seams.clock += seams.present_ms;
    seams.draw_hash = DRAW_HASH_START;
}

void __wrap_SDL_Delay(Uint32 ms) {
    seams.clock += ms;
    if (seams.frames < seams.extra_ms_after_frame.size()) {
        seams.clock += seams.extra_ms_after_frame[seams.frames];
    }
    if (++seams.frames <= seams.events_after_frame.size()) {
        const auto& more = seams.events_after_frame[seams.frames - 1];
        seams.events.insert(seams.events.end(), more.begin(), more.end());
    }
}

Uint32 __wrap_SDL_GetTicks(void) { return seams.clock; }

int __wrap_SDL_PollEvent(SDL_Event* event) {
    if (seams.events.empty()) {
        return 0;
    }
    *event = seams.events.front();
    seams.events.pop_front();
    return 1;
}

void* __wrap_malloc(size_t size) {
    if (seams.fail_malloc_skip == 0 && seams.fail_malloc_count > 0) {
        --seams.fail_malloc_count;
        return nullptr;
    }
    if (seams.fail_malloc_skip > 0) {
        --seams.fail_malloc_skip;
    }
    void* p = __real_malloc(size);
    seams.blocks += p != nullptr;
    return p;
}

void __wrap_free(void* p) {
    seams.blocks -= p != nullptr;
    __real_free(p);
}

} // extern "C"
