#include "seams.h"

#include <cstdlib>

Seams seams;

void reset_seams() { seams = Seams{}; }

void fail_malloc_after(int skip, int count) {
    seams.fail_malloc_skip = skip;
    seams.fail_malloc_count = count;
}

SDL_Event key_event(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    return event;
}

extern "C" {

int __real_SDL_RenderDrawLine(SDL_Renderer* renderer, int x1, int y1, int x2, int y2);
void* __real_malloc(size_t size);

int __wrap_SDL_RenderDrawLine(SDL_Renderer* renderer, int x1, int y1, int x2, int y2) {
    seams.lines.push_back(DrawnLine{x1, y1, x2, y2});
    return seams.pass_lines ? __real_SDL_RenderDrawLine(renderer, x1, y1, x2, y2) : 0;
}

void __wrap_SDL_RenderPresent(SDL_Renderer* renderer) {
    (void)renderer;
    ++seams.presented;
}

void __wrap_SDL_Delay(Uint32 ms) {
    seams.delays.push_back(ms);
    seams.clock += ms;
    const size_t frame = seams.delays.size();
    if (frame <= seams.events_after_frame.size()) {
        for (SDL_Event event : seams.events_after_frame[frame - 1]) {
            SDL_PushEvent(&event);
        }
    }
}

Uint32 __wrap_SDL_GetTicks(void) { return seams.clock; }

void* __wrap_malloc(size_t size) {
    if (seams.fail_malloc_skip == 0 && seams.fail_malloc_count > 0) {
        --seams.fail_malloc_count;
        return nullptr;
    }
    if (seams.fail_malloc_skip > 0) {
        --seams.fail_malloc_skip;
    }
    return __real_malloc(size);
}

} // extern "C"
