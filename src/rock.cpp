// Rocks and the random generator.
#include "rock.h"

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

void init_rock_generator() {
    // The direction table arrives with the rock outlines.
}

Sprite* random_rock(Sprite* rock, Vector world_size, uint8_t red, uint8_t green, uint8_t blue) {
    // An outline-less rock: listed like a rock, but drawing and weighing nothing.
    (void)world_size;
    *rock = Sprite{};
    rock->kind = KIND_ROCK;
    rock->orientation = Vector{1, 0};
    rock->color = Color{red, green, blue};
    return rock;
}
