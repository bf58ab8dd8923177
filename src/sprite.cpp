// Sprites: motion and drawing.
#include "sprite.h"

#include <SDL.h>

#include <cmath>

#include "draw.h"

namespace {

// Keeps a coordinate within [WRAP_MARGIN, size - WRAP_MARGIN] by steps of the
// period size - 2 * WRAP_MARGIN (799.9998 for a width of 800, not 800). The
// tests are strict. A coordinate that is not finite is left as it is (the
// correction would never end), and one more than a million periods out is first
// brought near the field with an exact remainder: the stepwise correction would
// take ages there, and never end once subtracting the period no longer changes
// the double. Nothing in the game comes near either case.
double wrap_coordinate(double x, double size) {
    const double period = size - 2 * WRAP_MARGIN;
    if (!std::isfinite(x) || !(period > 0)) {
        return x;
    }
    if (std::fabs(x) > 1e6 * period) {
        x = std::fmod(x, period);
    }
    while (x > size - WRAP_MARGIN) {
        x -= period;
    }
    while (x < WRAP_MARGIN) {
        x += period;
    }
    return x;
}

} // namespace

// One step of semi-implicit Euler on the torus:
//   velocity += acceleration dt;  position += velocity dt (the new velocity);
//   wrap each coordinate into the field;
//   turn the orientation by -angular_velocity dt (counter-clockwise as seen for
//   a positive angular velocity), never renormalised.
void simulate_sprite(Sprite* sprite, Vector world_size, double dt) {
    sprite->velocity = vector_add(sprite->velocity, vector_scale(sprite->acceleration, dt));
    sprite->position = vector_add(sprite->position, vector_scale(sprite->velocity, dt));
    sprite->position.x = wrap_coordinate(sprite->position.x, world_size.x);
    sprite->position.y = wrap_coordinate(sprite->position.y, world_size.y);
    const double a = sprite->angular_velocity * dt;
    sprite->orientation = vector_unrotate(sprite->orientation, Vector{std::cos(a), std::sin(a)});
}

void draw_sprite(SDL_Renderer* renderer, const Sprite& sprite, Vector world_size) {
    SDL_SetRenderDrawColor(renderer, sprite.color.r, sprite.color.g, sprite.color.b, 255);
    draw_oriented_polygon(renderer, sprite.polygon, sprite.position, sprite.orientation,
                          world_size);
}

void shift_sprites(Sprite* const sprites[], uint32_t count, Vector world_size) {
    // No separation yet: sprites stay where they were made.
    (void)sprites;
    (void)count;
    (void)world_size;
}
