// The state hash, and replaying a recorded game: headless as fast as it goes,
// or in the window at the pace it was played.
#include "brelkor.h"

#include <bit>

#include "rock.h"

namespace {

// FNV-1a, 64 bits: h = (h xor byte) * prime for each byte, from the offset
// basis. Values go in as their little-endian bytes, whatever the machine.
struct StateHash {
    uint64_t h = 14695981039346656037ull;
    void byte(uint8_t b) { h = (h ^ b) * 1099511628211ull; }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            byte(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f64(double v) {
        const auto bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i) {
            byte(static_cast<uint8_t>(bits >> (8 * i)));
        }
    }
    void vec(Vector v) {
        f64(v.x);
        f64(v.y);
    }
};

// How long one frame of a replay in the window may wait for its recorded time:
// a clock that went back is recorded as an elapsed time of weeks.
constexpr uint32_t LONGEST_PACE_MS = 1000;

void report_wrong(const char* name, uint32_t frame, uint64_t recorded, uint64_t replayed) {
    if (name != nullptr) {
        std::fprintf(stderr,
                     "brelkor: %s: frame %lu went otherwise: recorded hash %016llx, replayed "
                     "%016llx\n",
                     name, static_cast<unsigned long>(frame),
                     static_cast<unsigned long long>(recorded),
                     static_cast<unsigned long long>(replayed));
    }
}

// After frame i: compares the hash and counts the frame.
void check_frame(const Game& game, const Recording& recording, uint32_t i, const char* name,
                 ReplayOutcome* outcome) {
    outcome->frames = i + 1;
    outcome->final_hash = hash_game(game);
    const uint64_t recorded = recording.frames[i].hash;
    if (outcome->final_hash != recorded && outcome->first_wrong == 0) {
        outcome->first_wrong = i + 1;
        report_wrong(name, i + 1, recorded, outcome->final_hash);
    }
}

} // namespace

uint64_t hash_game(const Game& game) {
    StateHash hash;
    hash.i32(game.quit);
    hash.i32(game.paused);
    hash.u32(game.pending_ms);
    hash.vec(game.world_size);
    hash.u32(random_state());
    for (const Vector& point : missile_points) {
        hash.vec(point);
    }
    hash.u32(game.active.count);
    Sprite* const* slots = active_sprites(game);
    for (uint32_t i = 0; i < game.active.count; ++i) {
        const Sprite& s = *slots[i];
        hash.i32(s.kind);
        hash.vec(s.position);
        hash.vec(s.orientation);
        hash.vec(s.velocity);
        hash.vec(s.acceleration);
        hash.f64(s.angular_velocity);
        hash.f64(s.mass);
        hash.f64(s.moment);
        hash.f64(s.inverse_mass);
        hash.f64(s.inverse_moment);
        hash.u32(s.polygon.count);
        hash.f64(s.polygon.radius);
        for (uint32_t k = 0; k < s.polygon.count; ++k) {
            hash.vec(s.polygon.vertices[k]);
        }
        switch (s.kind) {
        case KIND_SHIP:
            hash.i32(static_cast<const Ship&>(s).controls);
            hash.i32(static_cast<const Ship&>(s).fire_cooldown_ms);
            break;
        case KIND_MISSILE:
            hash.i32(static_cast<const Missile&>(s).thrust_ms);
            hash.i32(static_cast<const Missile&>(s).life_ms);
            break;
        case KIND_FRAGMENT:
            hash.i32(static_cast<const Fragment&>(s).life_ms);
            break;
        default:
            break;
        }
    }
    return hash.h;
}

int start_replay(Game* game, const Recording& recording) {
    seed_random(recording.start.seed);
    return init_game(game, recording.start.width, recording.start.height, recording.start.rocks);
}

uint32_t replay_frame(Game* game, const Recording& recording, uint32_t i) {
    uint32_t begin = 0;
    uint32_t end = 0;
    frame_events(recording, i, &begin, &end);
    for (uint32_t e = begin; e < end; ++e) {
        control_game(game, recorded_to_sdl(recording.events[e]));
    }
    // What simulate_game adds, to count the steps it runs.
    const uint32_t elapsed = recording.frames[i].elapsed_ms;
    const uint32_t added = game->paused ? 0 : elapsed < FRAME_CAP_MS ? elapsed : FRAME_CAP_MS;
    const uint32_t before = game->pending_ms;
    const uint32_t after = simulate_game(game, elapsed);
    return (before + added - after) / STEP_MS;
}

ReplayOutcome replay_headless(Game* game, const Recording& recording, const char* name) {
    ReplayOutcome outcome;
    for (uint32_t i = 0; i < recording.frames.size() && !game->quit; ++i) {
        outcome.steps += replay_frame(game, recording, i);
        check_frame(*game, recording, i, name, &outcome);
    }
    return outcome;
}

// Frame i of the recorded game began its elapsed time after frame i - 1 began;
// each frame here waits for the same, less what the last one took.
ReplayOutcome replay_in_window(Game* game, SDL_Renderer* renderer, const Recording& recording,
                               const char* name) {
    ReplayOutcome outcome;
    uint32_t last = SDL_GetTicks();
    for (uint32_t i = 0; i < recording.frames.size() && !game->quit; ++i) {
        if (i > 0) {
            const uint32_t recorded = recording.frames[i].elapsed_ms;
            const uint32_t pace = recorded < LONGEST_PACE_MS ? recorded : LONGEST_PACE_MS;
            const uint32_t spent = SDL_GetTicks() - last;
            if (spent < pace) {
                SDL_Delay(pace - spent);
            }
            last = SDL_GetTicks();
        }
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            handle_window_event(renderer, event);
            if (event.type == SDL_QUIT ||
                (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
                outcome.stopped = true;
            }
        }
        if (outcome.stopped) {
            break;
        }
        outcome.steps += replay_frame(game, recording, i);
        check_frame(*game, recording, i, name, &outcome);
        clear_letterbox(renderer);
        draw_game(renderer, *game);
        SDL_RenderPresent(renderer);
    }
    return outcome;
}
