// The start-up separation against an unbounded one, over the first 100,000
// seeds of the standard start: every start that settles must settle exactly as
// the unbounded separation leaves it (the counter "differing" must read 0), and
// the crowded starts that never settle must still end quickly.
#include <benchmark/benchmark.h>

#include <new>
#include <vector>

#include "brelkor.h"
#include "rock.h"

namespace {

// Pushes after which the unbounded separation counts a start as never
// settling. A run with 2,000,000 found no start that settles after more than
// 1,767, so this cut-off misjudges none of these seeds.
constexpr uint32_t NEVER_SETTLES = 100000;

struct Scan {
    const Sprite* sprite;
    uint32_t next;
};

// The separation as a plain depth-first walk with no bound on its nesting:
// false when it runs out of pushes.
bool settle_unbounded(Sprite* const sprites[], uint32_t count, Vector world_size) {
    uint32_t pushes = NEVER_SETTLES;
    std::vector<Scan> scans;
    for (uint32_t i = 0; i < count; ++i) {
        scans.push_back(Scan{sprites[i], 0});
        while (!scans.empty()) {
            Scan& scan = scans.back();
            if (scan.next == count) {
                scans.pop_back();
                continue;
            }
            Sprite* t = sprites[scan.next++];
            if (t == scan.sprite || !sprite_bounds_overlap(*scan.sprite, *t, world_size)) {
                continue;
            }
            if (pushes-- == 0) {
                return false;
            }
            shift_sprite_away_from(*scan.sprite, t, world_size);
            scans.push_back(Scan{t, 0});
        }
    }
    return true;
}

// The start as init_game makes it, separated without bounds: the same rocks from
// the same seed, pushed clear of four times the ship's bounds.
bool start_unbounded(Game* game, uint32_t seed, int rocks) {
    seed_random(seed);
    if (!init_game(game, 800, 600, 0)) {
        return false;
    }
    for (int i = 0; i < rocks; ++i) {
        auto* rock = new (allocate(&game->rocks, 1)) Sprite{};
        random_rock(rock, game->world_size, 200, 200, 200);
        rock->storage = STORAGE_SLAB;
        activate_sprite(game, rock);
    }
    const double radius = game->ship.polygon.radius;
    game->ship.polygon.radius = radius * 4;
    const bool settled =
        settle_unbounded(active_sprites(*game), game->active.count, game->world_size);
    game->ship.polygon.radius = radius;
    return settled;
}

void BM_SeparationAgainstUnbounded(benchmark::State& state) {
    const auto seeds = static_cast<uint32_t>(state.range(0));
    uint32_t settled = 0;
    uint32_t differing = 0;
    for (auto _ : state) {
        settled = differing = 0;
        for (uint32_t seed = 1; seed <= seeds; ++seed) {
            Game game{};
            seed_random(seed);
            init_game(&game, 800, 600, 4);
            Game reference{};
            if (start_unbounded(&reference, seed, 4)) {
                ++settled;
                for (uint32_t i = 0; i < game.active.count; ++i) {
                    const Vector a = active_sprites(game)[i]->position;
                    const Vector b = active_sprites(reference)[i]->position;
                    if (a.x != b.x || a.y != b.y) {
                        ++differing;
                        break;
                    }
                }
            }
            release_game(&game);
            release_game(&reference);
        }
    }
    state.counters["settled"] = settled;
    state.counters["differing"] = differing;
}
BENCHMARK(BM_SeparationAgainstUnbounded)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The full list: 99 rocks that cannot all be placed apart, so the separation
// runs its 10,000 pushes and stops.
void BM_CrowdedStartUp(benchmark::State& state) {
    uint32_t seed = 0;
    for (auto _ : state) {
        Game game{};
        seed_random(++seed);
        benchmark::DoNotOptimize(init_game(&game, 800, 600, 99));
        release_game(&game);
    }
}
BENCHMARK(BM_CrowdedStartUp)->Unit(benchmark::kMillisecond);

} // namespace
