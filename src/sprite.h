// Sprites: the rigid-body record shared by everything that moves in the field,
// its motion on the torus, and drawing it.
//
// Conventions
// - Lengths in pixels, time in seconds, angles in radians; y points down the
//   screen. The field is W by H pixels (the world size) and wraps around.
// - The polygon's vertices are relative to the centroid, so position is the
//   centre of mass and the point the sprite turns about.
// - Placement: position and orientation (c, s); a point (x, y) of the sprite's
//   own frame stands in the field at position + vector_rotate((x, y), orientation).
// - A positive angular velocity turns the sprite counter-clockwise as seen.
// - A kind's record (Ship, Missile, Fragment) begins with a whole Sprite, so a
//   pointer to it is a pointer to its sprite; a rock is a plain Sprite.
#pragma once

#include <cstdint>

#include "shapes.h"
#include "vector.h"

struct SDL_Renderer;

// The kind code in a sprite's first field.
enum SpriteKind : int32_t {
    KIND_DEAD = 0,     // marked for removal at the end of the step
    KIND_ROCK = 1,     // rock
    KIND_SHIP = 2,     // the player's ship
    KIND_MISSILE = 3,  // missile
    KIND_FRAGMENT = 4, // short-lived line fragment of a shattered rock
};

struct Color {
    uint8_t r, g, b;
};

struct Sprite {
    int32_t kind; // a SpriteKind code

    // Placement.
    Vector position;    // field coordinates of the centroid (pixels)
    Vector orientation; // unit heading (cosine, sine) of the polygon's +x axis

    // Motion.
    Vector velocity;         // pixels per second
    Vector acceleration;     // pixels per second squared, added every step
    double angular_velocity; // radians per second, positive counter-clockwise

    // Outline and the values derived from it.
    Polygon polygon;       // own frame, centroid at the origin
    double density;        // mass per square pixel
    double mass;           // polygon area times density
    double moment;         // polygon second moment times density
    double inverse_mass;   // 1 / mass
    double inverse_moment; // 1 / moment

    Color color; // outline colour
};

// Advances the sprite by one step of dt seconds on the wrap-around field.
void simulate_sprite(Sprite* sprite, Vector world_size, double dt);

// Draws the sprite's outline, placed and wrapped, in its colour; the colour stays
// set on the renderer.
void draw_sprite(SDL_Renderer* renderer, const Sprite& sprite, Vector world_size);

// Pushes sprites whose bounds overlap away from each other.
void shift_sprites(Sprite* const sprites[], uint32_t count, Vector world_size);
