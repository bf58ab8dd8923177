// Rocks and the random generator.
#include "rock.h"

#include <cmath>
#include <cstdlib>

namespace {

// The generator's state: a linear congruential sequence (the portable one of
// the C standard's example rand), or a replayed list of values.
struct RandomSource {
    uint32_t state = 1;
    const uint16_t* replay = nullptr;
    size_t replay_count = 0;
    size_t replay_next = 0;
};

RandomSource source;

} // namespace

void seed_random(uint32_t seed) {
    source = RandomSource{};
    source.state = seed;
}

void replay_random(const uint16_t* values, size_t count) {
    source.replay = count > 0 ? values : nullptr;
    source.replay_count = count;
    source.replay_next = 0;
}

uint32_t random_state() { return source.state; }

int32_t random_15bit() {
    if (source.replay != nullptr) {
        const uint16_t value = source.replay[source.replay_next];
        source.replay_next = (source.replay_next + 1) % source.replay_count;
        return value & 0x7fff;
    }
    source.state = source.state * 1103515245u + 12345u;
    return static_cast<int32_t>((source.state / 65536u) % 32768u);
}

double frand() { return static_cast<float>(random_15bit()) * 0.000030517578125f; }

double random_in(double a, double b) { return a + frand() * (b - a); }

Vector rock_points[16];

namespace {

constexpr double PI = 3.141592653589793;

// A rock whose directions all came out unused but two or fewer would have no
// area: it takes every direction at this fraction of its base radius instead.
constexpr double FALLBACK_DISTANCE = 0.875;

} // namespace

void init_rock_generator() {
    for (int i = 0; i < 16; ++i) {
        const double angle = ((i + i) * PI) * 0.0625;
        rock_points[i] = Vector{std::cos(angle), -std::sin(angle)};
    }
}

// The recipe, one draw per frand, in this order:
//   spot x = (W - 1) draw, y = (H - 1) draw;
//   base radius R = 75 draw + 25, in [25, 100);
//   stretch k = (5/6) draw + 2/3, in [2/3, 3/2);
//   for each of the 16 directions: q = draw; when q < 0.75, u = draw and the
//   vertex rho (dir.x k, dir.y) with rho = (0.25 u + 0.75) R;
//   velocity x = 200 draw - 100, then y likewise, in [-100, 100) pixels/s;
//   angular velocity (2 pi/3) draw - pi/3, in [-pi/3, pi/3) radians/s.
// 75, 25, 0.75, 0.25, 200 and 100 are floats, all exact.
Sprite* random_rock(Sprite* rock, Vector world_size, uint8_t red, uint8_t green, uint8_t blue) {
    const double x = (world_size.x - 1) * frand();
    const double y = (world_size.y - 1) * frand();
    const double R = 75.0f * frand() + 25.0f;
    const double k = (5.0 / 6.0) * frand() + 2.0 / 3.0;
    Vector ring[16];
    uint32_t n = 0;
    for (const Vector direction : rock_points) {
        if (frand() < 0.75f) {
            const double rho = (0.25f * frand() + 0.75f) * R;
            ring[n++] = Vector{rho * direction.x * k, rho * direction.y};
        }
    }
    if (n < 3) { // about 2.6 in ten million: no area to weigh
        n = 0;
        for (const Vector direction : rock_points) {
            const double rho = FALLBACK_DISTANCE * R;
            ring[n++] = Vector{rho * direction.x * k, rho * direction.y};
        }
    }
    auto* vertices = static_cast<Vector*>(std::malloc(sizeof(Vector) * n));
    if (vertices == nullptr) {
        return nullptr;
    }
    for (uint32_t i = 0; i < n; ++i) {
        vertices[i] = ring[i];
    }
    init_sprite(rock, x, y, Polygon{vertices, n, 0, 0, 0, 0}, ROCK_DENSITY, red, green, blue);
    rock->kind = KIND_ROCK;
    const double vx = 200.0f * frand() - 100.0f;
    const double vy = 200.0f * frand() - 100.0f;
    rock->velocity = Vector{vx, vy};
    rock->angular_velocity = (2 * PI / 3) * frand() - PI / 3;
    return rock;
}

Sprite* generate_rocks(Sprite* rocks, uint32_t count, Vector world_size, uint8_t red, uint8_t green,
                       uint8_t blue) {
    init_rock_generator();
    for (uint32_t i = 0; i < count; ++i) {
        if (random_rock(&rocks[i], world_size, red, green, blue) == nullptr) {
            for (uint32_t j = 0; j < i; ++j) {
                std::free(rocks[j].polygon.vertices);
            }
            std::free(rocks);
            return nullptr;
        }
    }
    return rocks;
}
