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

// The seeded generator's state: what decides every number it yields next.
uint32_t random_state();

// The next 15-bit random integer, 0 to 32767.
int32_t random_15bit();

// The next random integer times 2^-15: 0 to 32767/32768, never 1.
double frand();

// a + frand() * (b - a): in [a, b), or (b, a] when a > b.
double random_in(double a, double b);

// Sixteen unit directions 22.5 degrees apart, from (1, 0) turning toward -y
// (counter-clockwise on the screen), so that a ring through them has the game's
// winding. Zero until init_rock_generator fills it.
extern Vector rock_points[16];

// Fills rock_points; runs before the first random_rock. Running it again
// rewrites the same values.
void init_rock_generator();

// Rock density: mass per square pixel.
constexpr double ROCK_DENSITY = 5.0;

// Makes a random rock in the storage given (the caller's, uninitialised): a ring
// of up to 16 points at random distances, stretched sideways, at a random spot
// with a random drift and spin. Its vertex array is its own heap allocation.
// Returns the rock, or null when the vertex array cannot be had (the storage is
// then untouched). Draws 23 + n random numbers for n vertices.
Sprite* random_rock(Sprite* rock, Vector world_size, uint8_t red, uint8_t green, uint8_t blue);

// init_rock_generator, then count random rocks in the caller's heap array.
// Returns the array; on a failure frees it (and the vertex arrays of the rocks
// already made) and returns null.
Sprite* generate_rocks(Sprite* rocks, uint32_t count, Vector world_size, uint8_t red, uint8_t green,
                       uint8_t blue);
