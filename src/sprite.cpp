// Sprites: motion and drawing.
#include "sprite.h"

#include <SDL.h>

#include "draw.h"

void simulate_sprite(Sprite* sprite, Vector world_size, double dt) {
    // Sprites hold still until their motion is modelled.
    (void)sprite;
    (void)world_size;
    (void)dt;
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
