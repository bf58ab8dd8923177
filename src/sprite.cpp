// Sprites: mass properties, motion, drawing, collision detection, the bounce
// and the start-up separation.
#include "sprite.h"

#include <SDL.h>

#include <cmath>

#include "draw.h"

namespace {

// 1 / x, or 0 where that is not a finite number: a body without area or second
// moment (x = 0), or with so little that 1 / x overflows (a mass of 2^-1025,
// say), takes no impulse instead of an infinite one.
double inverse_of(double x) {
    const double inverse = x != 0 ? 1 / x : 0;
    return std::isfinite(inverse) ? inverse : 0;
}

// Side i of a polygon turned by o and moved by offset: from vertex i - 1 to
// vertex i, side 0 closing the ring.
Segment placed_side(const Polygon& polygon, uint32_t i, Vector o, Vector offset) {
    const uint32_t n = polygon.count;
    const Vector from =
        vector_add(vector_rotate(polygon.vertices[i == 0 ? n - 1 : i - 1], o), offset);
    const Vector to = vector_add(vector_rotate(polygon.vertices[i], o), offset);
    return Segment{from, vector_sub(to, from)};
}

// One sprite clearing its surroundings: the sprite, and the next entry its scan
// looks at.
struct ClearScan {
    const Sprite* sprite;
    uint32_t next;
};

// Depth first, as a recursion would go, but on a stack of its own: every level
// below the first is a push, so the pushes left bound the nesting, and no start
// that settles is cut short however deep it nests.
void clear_within(const Sprite& s, Sprite* const sprites[], uint32_t count, Vector world_size,
                  uint32_t* pushes) {
    ClearScan scans[SEPARATION_PUSHES + 1];
    uint32_t depth = 0;
    scans[0] = ClearScan{&s, 0};
    for (;;) {
        ClearScan& scan = scans[depth];
        Sprite* pushed = nullptr;
        while (pushed == nullptr && scan.next != count && *pushes != 0) {
            Sprite* t = sprites[scan.next++];
            if (t != scan.sprite && sprite_bounds_overlap(*scan.sprite, *t, world_size)) {
                pushed = t;
            }
        }
        if (pushed != nullptr) {
            --*pushes;
            shift_sprite_away_from(*scan.sprite, pushed, world_size);
            scans[++depth] = ClearScan{pushed, 0};
        } else if (depth-- == 0) {
            return;
        }
    }
}

} // namespace

// The period is size - 2 WRAP_MARGIN (799.9998 for a width of 800, not 800); the
// tests are strict. A coordinate more than a million periods out is first
// brought near the field with an exact remainder; a margin of more than a
// million periods (a field barely wider than 2 WRAP_MARGIN) would still take
// that many steps, so such a field leaves the coordinate alone, like one that is
// not finite. At 800 by 600 neither arises.
double wrap_coordinate(double x, double size) {
    const double period = size - 2 * WRAP_MARGIN;
    if (!std::isfinite(x) || !std::isfinite(size) || !(period * 1e6 > WRAP_MARGIN)) {
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

void init_sprite(Sprite* sprite, double x, double y, const Polygon& polygon, double density,
                 int red, int green, int blue) {
    sprite->kind = KIND_DEAD;
    sprite->position = Vector{x, y};
    sprite->orientation = Vector{1, 0};
    sprite->velocity = Vector{0, 0};
    sprite->acceleration = Vector{0, 0};
    sprite->angular_velocity = 0;
    sprite->polygon = polygon;
    Vector centroid;
    init_polygon(&sprite->polygon, &centroid);
    sprite->position = vector_add(sprite->position, centroid);
    sprite->density = density;
    sprite->mass = sprite->polygon.area * density;
    sprite->inverse_mass = inverse_of(sprite->mass);
    sprite->moment = sprite->polygon.second_moment * density;
    sprite->inverse_moment = inverse_of(sprite->moment);
    sprite->color =
        Color{static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue)};
    sprite->storage = STORAGE_KEPT;
}

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

void compute_sides(Segment sides[], Vector position, Vector orientation, const Polygon& polygon) {
    if (sides == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < polygon.count; ++i) {
        sides[i] = placed_side(polygon, i, orientation, position);
    }
}

// In a frame centred on a's position, b placed by the shortest displacement d:
//   for each side i of a, for each side j of b: segments_intersect(i, j);
//   a crossing at t along side i adds the point a.position + origin_i + t dir_i
//   and the normal term (dir_i.y, -dir_i.x); a shared stretch adds both its
//   ends on side j, each with the same normal term;
//   point = point sum / hits, normal = normal sum / hits.
// Under the game's winding (dir.y, -dir.x) points into a, so the normal points
// from b toward a; longer sides weigh more.
int sprites_intersect(const Sprite& a, const Sprite& b, Vector world_size, Vector* point,
                      Vector* normal) {
    *point = Vector{0, 0};
    *normal = Vector{0, 0};
    const Vector d = torus_displacement(a.position, b.position, world_size);
    const Vector origin{0, 0};
    // b's sides are placed once when they fit here (every outline the game
    // makes does), else again for each side of a: the same arithmetic either
    // way, so the same bits.
    Segment placed[PLACED_SIDES];
    const bool cached = b.polygon.count <= PLACED_SIDES;
    if (cached) {
        compute_sides(placed, d, b.orientation, b.polygon);
    }
    ContactSum sum{};
    for (uint32_t i = 0; i < a.polygon.count; ++i) {
        const Segment side = placed_side(a.polygon, i, a.orientation, origin);
        for (uint32_t j = 0; j < b.polygon.count; ++j) {
            const Segment other = cached ? placed[j] : placed_side(b.polygon, j, b.orientation, d);
            add_side_contact(&sum, a.position, side, other);
        }
    }
    return finish_contact(sum, point, normal);
}

int sprites_collide(const Sprite& a, const Sprite& b, Vector world_size, Vector* point,
                    Vector* normal) {
    if (!sprite_bounds_overlap(a, b, world_size)) {
        return 0;
    }
    return sprites_intersect(a, b, world_size, point, normal) ? 1 : 0;
}

Vector linear_velocity(const Sprite& sprite, Vector point, Vector world_size) {
    const Vector r = torus_displacement(sprite.position, point, world_size);
    return vector_add(sprite.velocity, vector_scale(Vector{r.y, -r.x}, sprite.angular_velocity));
}

// Frictionless impulse j n at the contact point p, restitution e = 0.9:
//   ra, rb = p relative to each centre (shortest displacement);
//   ua, ub = velocity + angular_velocity (r.y, -r.x), the material at p;
//   vn = (ua - ub) . n; nothing unless vn < 0 (approaching);
//   ka = ra.y n.x - ra.x n.y, kb likewise (the lever arms about each centre);
//   D = (1/ma + 1/mb) |n|^2 + ka^2 / Ia + kb^2 / Ib;
//   j = vn (-(1 + e) / D), and nothing when D is 0: neither body can take an
//   impulse (no inverse mass, and no lever arm where there is an inverse moment);
//   a gains j n / ma and j ka / Ia, b loses j n / mb and j kb / Ib.
// Afterwards the contact points part at -0.9 vn. |n| cancels: any positive
// length gives the same result.
void bounce_sprite_pair(Sprite* a, Sprite* b, Vector world_size, Vector point, Vector normal) {
    const Vector ra = torus_displacement(a->position, point, world_size);
    const Vector rb = torus_displacement(b->position, point, world_size);
    const Vector ua =
        vector_add(a->velocity, vector_scale(Vector{ra.y, -ra.x}, a->angular_velocity));
    const Vector ub =
        vector_add(b->velocity, vector_scale(Vector{rb.y, -rb.x}, b->angular_velocity));
    const double vn = vector_dot(vector_sub(ua, ub), normal);
    if (!(vn < 0)) {
        return; // parting, sliding, or not a number
    }
    const double ka = ra.y * normal.x - ra.x * normal.y;
    const double kb = rb.y * normal.x - rb.x * normal.y;
    const double D =
        (a->inverse_mass + b->inverse_mass) * (normal.x * normal.x + normal.y * normal.y) +
        ka * ka * a->inverse_moment + kb * kb * b->inverse_moment;
    if (!(D > 0)) {
        return; // no body here can take an impulse: nothing changes
    }
    const double j = vn * (-1.9 / D);
    a->velocity = vector_add(a->velocity, vector_scale(normal, j * a->inverse_mass));
    b->velocity = vector_sub(b->velocity, vector_scale(normal, j * b->inverse_mass));
    a->angular_velocity = a->angular_velocity + j * ka * a->inverse_moment;
    b->angular_velocity = b->angular_velocity - j * kb * b->inverse_moment;
}

// b moves along the line between the centres by k d, with
//   k = 1.01 (ra + rb - dist) / dist,
// so the centres end 1.01 (ra + rb) - 0.01 dist apart: clear by a margin. Two
// centres at one point have no line between them; b then moves along +x.
void shift_sprite_away_from(const Sprite& a, Sprite* b, Vector world_size) {
    const Vector d = torus_displacement(a.position, b->position, world_size);
    const double dist = std::sqrt(d.x * d.x + d.y * d.y);
    const double reach = a.polygon.radius + b->polygon.radius;
    if (dist == 0) {
        b->position.x += 1.01 * reach;
    } else {
        const double k = 1.01 * (reach - dist) / dist;
        b->position = vector_add(b->position, vector_scale(d, k));
    }
    b->position.x = wrap_coordinate(b->position.x, world_size.x);
    b->position.y = wrap_coordinate(b->position.y, world_size.y);
}

// Every sprite found overlapping s is pushed away from s, then clears its own
// surroundings the same way (depth first) before s's scan goes on. Entries
// before the current one are not looked at again in the same scan.
void clear_sprite(const Sprite& s, Sprite* const sprites[], uint32_t count, Vector world_size) {
    uint32_t pushes = SEPARATION_PUSHES;
    clear_within(s, sprites, count, world_size, &pushes);
}

void shift_sprites(Sprite* const sprites[], uint32_t count, Vector world_size) {
    uint32_t pushes = SEPARATION_PUSHES;
    for (uint32_t i = 0; i < count && pushes > 0; ++i) {
        clear_within(*sprites[i], sprites, count, world_size, &pushes);
    }
}
