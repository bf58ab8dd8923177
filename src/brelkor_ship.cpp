// The ship and its missiles.
#include "brelkor.h"

// An arrowhead pointing along +x with a notch at the back; vertex 0 is the nose.
// Listed with a negative shoelace sum, like every outline of the game.
Vector ship_points[4] = {{25, 0}, {-25, -13}, {-15, 0}, {-25, 13}};
Polygon ship_shape = {ship_points, 4, 0, 0, 0, 0};

void init_ship(Ship* ship, uint32_t x, uint32_t y) {
    *ship = Ship{};
    ship->position = Vector{static_cast<double>(x), static_cast<double>(y)};
    ship->polygon = ship_shape;
    ship->orientation = Vector{0, -1}; // nose up the screen
    ship->kind = KIND_SHIP;
    ship->color = Color{255, 40, 40};
    ship->controls = 0;
    ship->fire_cooldown_ms = 0;
}

void control_ship(Ship* ship, const SDL_Event& event) {
    // The keys take effect once the engines are modelled.
    (void)ship;
    (void)event;
}

void simulate_ship_engines(Ship* ship, double dt) {
    (void)ship;
    (void)dt;
}

Missile* fire_missile(Ship* ship) {
    (void)ship;
    return nullptr;
}

void simulate_missile(Missile* missile, double dt) {
    (void)missile;
    (void)dt;
}
