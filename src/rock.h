// Rocks and the game's one random generator.
//
// Conventions
// - One generator serves the whole game: uniformly distributed 15-bit integers,
//   0 to 32767. Start-up seeds it from the clock; tests seed it, or replace it
//   with a fixed sequence of 15-bit values that it then replays in a loop.
// - Lengths in pixels, velocities in pixels per second, angles in radians.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sprite.h"
#include "vector.h"

// Seeds the generator and drops any replayed sequence.
void seed_random(uint32_t seed);

// From now on the generator yields values[0], values[1], ... values[count - 1]
// and then starts over, each taken to its low 15 bits. The array is the
// caller's and must outlive its use; a count of 0 goes back to the seeded
// generator.
void replay_random(const uint16_t* values, size_t count);

// The next 15-bit random integer, 0 to 32767.
int32_t random_15bit();

// The next random integer times 2^-15: 0 to 32767/32768, never 1.
double frand();

// a + frand() * (b - a): in [a, b), or (b, a] when a > b.
double random_in(double a, double b);

// Fills the table of rock directions; runs before the first random_rock.
void init_rock_generator();

// Makes a random rock in the storage given (the caller's); null when its outline
// cannot be had.
Sprite* random_rock(Sprite* rock, Vector world_size, uint8_t red, uint8_t green, uint8_t blue);
