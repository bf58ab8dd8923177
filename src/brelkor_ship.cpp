// The ship and its missiles.
#include "brelkor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

// An arrowhead pointing along +x with a notch at the back; vertex 0 is the nose.
// Listed with a negative shoelace sum, like every outline of the game.
constexpr Vector SHIP_OUTLINE[4] = {{25, 0}, {-25, -13}, {-15, 0}, {-25, 13}};

// A thin triangle whose tip, vertex 0, points along +x.
constexpr Vector MISSILE_OUTLINE[3] = {{6, 0}, {0, -2}, {0, 2}};

} // namespace

Vector ship_points[4] = {SHIP_OUTLINE[0], SHIP_OUTLINE[1], SHIP_OUTLINE[2], SHIP_OUTLINE[3]};
Polygon ship_shape = {ship_points, 4, 0, 0, 0, 0};

Vector missile_points[3] = {MISSILE_OUTLINE[0], MISSILE_OUTLINE[1], MISSILE_OUTLINE[2]};
Polygon missile_shape = {missile_points, 3, 0, 0, 0, 0};

void restore_shared_outlines() {
    std::copy(std::begin(SHIP_OUTLINE), std::end(SHIP_OUTLINE), ship_points);
    std::copy(std::begin(MISSILE_OUTLINE), std::end(MISSILE_OUTLINE), missile_points);
}

namespace {

constexpr double HALF_PI = 1.5707963267948966;
constexpr uint8_t MISSILE_GREY = 200;

// The heading (x, y) turned by a: (x cos a + y sin a, y cos a - x sin a), a
// positive angle counter-clockwise on the screen.
Vector turned(Vector heading, double a) {
    return vector_unrotate(heading, Vector{std::cos(a), std::sin(a)});
}

// The turn that brings the ship to face against its motion, at most limit:
//   e = pi/2 - acos(side . v / |v|), side the heading turned a quarter: the
//   signed angle by which the motion leans to the ship's side, 0 both facing
//   along the motion and facing against it.
// Outside the dead zone the ship turns by e (clamped); inside it, a ship facing
// along its motion (cosine above 0.9) turns full left to leave that balance
// point, and one facing against it stays. At rest, or when rounding puts the
// arc cosine's argument beyond 1, e is not a number and the ship stays.
double retro_turn(const Ship& ship, double limit) {
    const Vector heading = ship.orientation;
    const double speed = vector_length(ship.velocity);
    const Vector side{-heading.y, heading.x};
    const double e = HALF_PI - std::acos(vector_dot(side, ship.velocity) / speed);
    if (e < -RETRO_DEAD_ZONE) {
        return e < -limit ? -limit : e;
    }
    if (e > RETRO_DEAD_ZONE) {
        return e > limit ? limit : e;
    }
    return vector_dot(heading, ship.velocity) / speed > RETRO_ALONG ? limit : 0;
}

int32_t control_bit(SDL_Keycode key) {
    switch (key) {
    case SDLK_UP:
        return CONTROL_THRUST;
    case SDLK_DOWN:
        return CONTROL_RETRO;
    case SDLK_LEFT:
        return CONTROL_LEFT;
    case SDLK_RIGHT:
        return CONTROL_RIGHT;
    case SDLK_SPACE:
        return CONTROL_FIRE;
    default:
        return 0;
    }
}

int32_t pad_bit(uint8_t button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return CONTROL_THRUST;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return CONTROL_RETRO;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return CONTROL_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return CONTROL_RIGHT;
    case SDL_CONTROLLER_BUTTON_A:
        return CONTROL_FIRE;
    default:
        return 0;
    }
}

// The left stick's x axis leans left or right, its y axis up (thrust) or down
// (retro), or neither within STICK_LEAN of the centre. A change of lean lets go
// of the old direction's control and holds the new one's.
void lean_stick(Ship* ship, uint8_t axis, int32_t value) {
    if (axis != SDL_CONTROLLER_AXIS_LEFTX && axis != SDL_CONTROLLER_AXIS_LEFTY) {
        return;
    }
    const bool across = axis == SDL_CONTROLLER_AXIS_LEFTX;
    const int32_t negative = across ? CONTROL_STICK_LEFT : CONTROL_STICK_UP;
    const int32_t positive = across ? CONTROL_STICK_RIGHT : CONTROL_STICK_DOWN;
    const int32_t lean = value < -STICK_LEAN ? negative : value > STICK_LEAN ? positive : 0;
    const int32_t was = ship->controls & (negative | positive);
    if (lean != was) {
        ship->controls &= ~(was | was >> CONTROL_STICK_SHIFT);
        ship->controls |= lean | lean >> CONTROL_STICK_SHIFT;
    }
}

} // namespace

// The shared outline is centred by init_game first, so the ship stands exactly
// at (x, y).
void init_ship(Ship* ship, uint32_t x, uint32_t y) {
    init_sprite(ship, static_cast<double>(x), static_cast<double>(y), ship_shape, SHIP_DENSITY, 255,
                40, 40);
    ship->orientation = Vector{0, -1}; // nose up the screen
    ship->kind = KIND_SHIP;
    ship->controls = 0;
    ship->fire_cooldown_ms = 0;
}

void control_ship(Ship* ship, const SDL_Event& event) {
    const int32_t bit = control_bit(event.key.keysym.sym);
    if (event.type == SDL_KEYDOWN) {
        ship->controls |= bit;
    } else {
        ship->controls &= ~bit;
    }
}

void control_ship_by_pad(Ship* ship, const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERBUTTONDOWN:
        ship->controls |= pad_bit(event.cbutton.button);
        break;
    case SDL_CONTROLLERBUTTONUP:
        ship->controls &= ~pad_bit(event.cbutton.button);
        break;
    case SDL_CONTROLLERAXISMOTION:
        lean_stick(ship, event.caxis.axis, event.caxis.value);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        ship->controls = 0;
        break;
    default:
        break;
    }
}

// In order: the cool-down runs down (never below 0); thrust along the heading
// from before this step's turn; the turn, by the retro rule when Down is held
// (Left and Right are then ignored), else by the turn keys. A turn stops any
// spin; a step without one leaves a spin from a bounce going.
void simulate_ship_engines(Ship* ship, double dt) {
    ship->fire_cooldown_ms -= step_milliseconds(dt);
    if (ship->fire_cooldown_ms < 0) {
        ship->fire_cooldown_ms = 0;
    }
    ship->acceleration = (ship->controls & CONTROL_THRUST)
                             ? vector_scale(ship->orientation, SHIP_THRUST)
                             : Vector{0, 0};
    const double limit = SHIP_TURN_RATE * dt;
    double a = 0;
    if (ship->controls & CONTROL_RETRO) {
        a = retro_turn(*ship, limit);
    } else {
        const int32_t turn = ship->controls & (CONTROL_LEFT | CONTROL_RIGHT);
        a = turn == CONTROL_LEFT ? limit : turn == CONTROL_RIGHT ? -limit : 0;
    }
    if (a == 0) {
        return;
    }
    ship->angular_velocity = 0;
    ship->orientation = turned(ship->orientation, a);
}

Vector ship_front(const Ship& ship) {
    const Vector nose = vector_scale(ship.polygon.vertices[0], SHIP_NOSE);
    return vector_add(vector_rotate(nose, ship.orientation), ship.position);
}

// The cool-down starts only once the record is had, so a failed allocation is
// tried again in the next step.
Missile* fire_missile(Ship* ship) {
    if (ship->fire_cooldown_ms != 0) {
        return nullptr;
    }
    auto* missile = static_cast<Missile*>(std::malloc(sizeof(Missile)));
    if (missile == nullptr) {
        return nullptr;
    }
    ship->fire_cooldown_ms = FIRE_COOLDOWN_MS;
    init_missile(missile, ship_front(*ship), ship->velocity, ship->orientation);
    return missile;
}

void init_missile(Missile* missile, Vector front, Vector velocity, Vector heading) {
    const Vector launch = vector_add(front, vector_scale(heading, MISSILE_GAP));
    init_sprite(missile, launch.x, launch.y, missile_shape, 1.0, MISSILE_GREY, MISSILE_GREY,
                MISSILE_GREY);
    missile->kind = KIND_MISSILE;
    missile->orientation = heading;
    missile->velocity = velocity;
    missile->acceleration = vector_scale(heading, MISSILE_THRUST);
    missile->thrust_ms = MISSILE_THRUST_MS;
    missile->life_ms = MISSILE_LIFE_MS;
    missile->storage = STORAGE_HEAP;
}

// Both timers run down and stop at 0 before either is looked at: the burn ends
// after 50 steps, the life after 100.
void simulate_missile(Missile* missile, double dt) {
    const int32_t ms = step_milliseconds(dt);
    missile->thrust_ms = missile->thrust_ms > ms ? missile->thrust_ms - ms : 0;
    missile->life_ms = missile->life_ms > ms ? missile->life_ms - ms : 0;
    if (missile->thrust_ms == 0) {
        missile->acceleration = Vector{0, 0};
    }
    if (missile->life_ms == 0) {
        missile->kind = KIND_DEAD;
    }
}
