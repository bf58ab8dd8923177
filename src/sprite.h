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
// - Every outline the game makes has a negative shoelace sum (counter-clockwise
//   on the screen); the contact normal relies on it.
// - Positions are compared on the torus by the shortest displacement: per axis
//   of size L, d = b - a, then d - L if d > L/2, or else d + L if d < -L/2.
// - Mass properties come from the outline: mass = area x density, moment =
//   second moment x density. An outline of no area or no second moment gives
//   the inverse 0 (the body takes no impulse) rather than an infinite one.
#pragma once

#include <cmath>
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

// How a sprite's storage is held, so that it can be given back once the sprite
// has left the active list (by then its kind is KIND_DEAD and says nothing).
enum SpriteStorage : uint8_t {
    STORAGE_KEPT = 0,       // the game record holds it (the ship): nothing to give back
    STORAGE_SLAB = 1,       // a slot of the rock slab: only the vertex array is freed
    STORAGE_HEAP = 2,       // a heap record of its own, vertices shared (a missile)
    STORAGE_HEAP_ROCK = 3,  // a heap record and a vertex array of its own
    STORAGE_SHATTERING = 4, // a fragment: one of a shattering's shared block
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

    // What to give back once the sprite is gone: set by its maker, STORAGE_KEPT
    // from init_sprite.
    SpriteStorage storage;
};

// Fills every field of the sprite from the outline: kind KIND_DEAD (the maker
// sets the real one), the polygon record copied (its vertices shared and moved
// in place so that the centroid is the origin), position (x, y) plus that
// centroid, orientation (1, 0), no motion, mass properties from the outline and
// the density, the colour's low bytes.
void init_sprite(Sprite* sprite, double x, double y, const Polygon& polygon, double density,
                 int red, int green, int blue);

// Advances the sprite by one step of dt seconds on the wrap-around field.
void simulate_sprite(Sprite* sprite, Vector world_size, double dt);

// Draws the sprite's outline, placed and wrapped, in its colour; the colour stays
// set on the renderer.
void draw_sprite(SDL_Renderer* renderer, const Sprite& sprite, Vector world_size);

// The polygon's n sides placed at position and turned by orientation, as drawn:
// side i runs from vertex i - 1 to vertex i (side 0 from the last vertex), not
// wrapped into the field. Nothing happens when sides is null.
void compute_sides(Segment sides[], Vector position, Vector orientation, const Polygon& polygon);

// Brings one coordinate within [WRAP_MARGIN, size - WRAP_MARGIN] by steps of
// size - 2 WRAP_MARGIN. Left as it is when not finite, or when the field is so
// small that the wrap would take more than a few million steps.
double wrap_coordinate(double x, double size);

// Per axis of size L: d = b - a, corrected once toward the nearer image. Half
// the size is formed with the factor 0.5; exactly half keeps its sign.
inline double torus_delta(double a, double b, double size) {
    double d = b - a;
    if (d > size * 0.5) {
        d -= size;
    } else if (d < -size * 0.5) {
        d += size;
    }
    return d;
}

// The shortest displacement from a to b on the torus, each axis corrected once.
inline Vector torus_displacement(Vector a, Vector b, Vector world_size) {
    return Vector{torus_delta(a.x, b.x, world_size.x), torus_delta(a.y, b.y, world_size.y)};
}

// Collision detection.

// 1 when the bounding circles overlap (centres strictly closer than the sum of
// the radii, measured on the torus), else 0.
inline int sprite_bounds_overlap(const Sprite& a, const Sprite& b, Vector world_size) {
    const Vector d = torus_displacement(b.position, a.position, world_size);
    const double distance = std::sqrt(d.x * d.x + d.y * d.y);
    return distance < a.polygon.radius + b.polygon.radius ? 1 : 0;
}

// The running sums of the exact test (sprites_intersect): crossings counted,
// and the sums of their points and normal terms.
struct ContactSum {
    uint32_t hits;
    Vector point_sum;  // field coordinates, not wrapped
    Vector normal_sum; // a's crossing sides turned (dir.y, -dir.x)
};

// One pair of sides of the exact test, a's side first, both in a frame centred
// on a's position (which is a_position in the field):
//   segments_intersect(side, other);
//   a crossing at t along side adds the point a_position + origin + t dir and
//   the normal term (dir.y, -dir.x) of side;
//   a shared stretch adds both its ends on other, each with side's normal term.
// Every exact test adds its pairs through here, in a's side order and within
// it in b's, so the sums come out the same bits whichever pairs it skips for
// being sure to add nothing.
inline void add_side_contact(ContactSum* sum, Vector a_position, Segment side, Segment other) {
    double t[2];
    const int result = segments_intersect(side, other, t);
    if (result == 0) {
        return;
    }
    const Vector turned{side.direction.y, -side.direction.x};
    if (result == 1) {
        sum->point_sum = vector_add(sum->point_sum, vector_add(vector_add(a_position, side.origin),
                                                               vector_scale(side.direction, t[0])));
        sum->normal_sum = vector_add(sum->normal_sum, turned);
        ++sum->hits;
    } else {
        for (const double s : t) { // the ends of the shared stretch, along other
            sum->point_sum =
                vector_add(sum->point_sum, vector_add(vector_add(a_position, other.origin),
                                                      vector_scale(other.direction, s)));
            sum->normal_sum = vector_add(sum->normal_sum, turned);
        }
        sum->hits += 2;
    }
}

// The exact test's outputs from its sums: point = point sum / hits and normal
// = normal sum / hits (each times the reciprocal 1 / hits); 1 on contact. With
// no hit both are (0, 0) and the result 0.
inline int finish_contact(const ContactSum& sum, Vector* point, Vector* normal) {
    if (sum.hits == 0) {
        *point = Vector{0, 0};
        *normal = Vector{0, 0};
        return 0;
    }
    const double share = 1.0 / sum.hits;
    *point = vector_scale(sum.point_sum, share);
    *normal = vector_scale(sum.normal_sum, share);
    return 1;
}

// The exact test: every side of a against every side of b, b placed by the
// shortest displacement from a. On contact returns 1 with point the mean of the
// crossings (field coordinates, not wrapped) and normal the mean of a's crossing
// sides turned a quarter turn, pointing from b into a. Writes both outputs
// always: (0, 0) when the outlines do not cross.
int sprites_intersect(const Sprite& a, const Sprite& b, Vector world_size, Vector* point,
                      Vector* normal);

// Outlines of up to this many vertices have their sides placed once per exact
// test rather than once per pair of sides.
constexpr uint32_t PLACED_SIDES = 64;

// The bounds test, then the exact test. The outputs are untouched when the
// bounds do not overlap.
int sprites_collide(const Sprite& a, const Sprite& b, Vector world_size, Vector* point,
                    Vector* normal);

// Collision response and separation.

// The velocity of the sprite's material at the field point:
// velocity + angular_velocity (r.y, -r.x), r the shortest displacement from the
// sprite's position (the sense in which sprites turn).
Vector linear_velocity(const Sprite& sprite, Vector point, Vector world_size);

// A frictionless impulse of restitution 0.9 at the contact point along the
// normal (any length, pointing from b toward a); nothing changes unless the
// contact points approach and one of the bodies can take the impulse.
void bounce_sprite_pair(Sprite* a, Sprite* b, Vector world_size, Vector point, Vector normal);

// Moves b straight away from a until their bounding circles clear by 1% of the
// sum of their radii, and wraps it into the field. Only b's position changes.
void shift_sprite_away_from(const Sprite& a, Sprite* b, Vector world_size);

// Pushes every listed sprite whose bounds overlap s away from s, and clears each
// pushed one in turn, depth first.
void clear_sprite(const Sprite& s, Sprite* const sprites[], uint32_t count, Vector world_size);

// clear_sprite for every listed sprite in order.
void shift_sprites(Sprite* const sprites[], uint32_t count, Vector world_size);

// The separation gives up after this many pushes in one shift_sprites or
// clear_sprite call: sprites that cannot all be placed apart in the field would
// otherwise be pushed forever. It nests as deep as the pushes allow. A start
// that settles takes far fewer (at most 1,767 over the first 100,000 seeds of
// four rocks, nesting 1,764 deep), so none is cut short. The bounce parts
// whatever overlap is left.
constexpr uint32_t SEPARATION_PUSHES = 10000;

// The collision pass's contact test, made fast by
// skipping only work whose result is known. It finds the same contacts as
// sprites_collide, to the last bit of the point and the normal.
//
// - Lengths in pixels, y pointing down the screen; the field is world_size
//   pixels and wraps around (positions compared by torus_displacement).
// - A pass covers one run of the collision pass over a fixed list of sprites.
//   During it no position, orientation or outline changes: a bounce changes
//   only velocities and spins, a crack only turns sprites dead and appends to
//   the list's tail, which the pass does not reach. So each outline is turned
//   by its orientation once per pass (the first time it is needed) and reused
//   for every pair it is in.
// - Boxes have sides parallel to the field's axes. A side's box is widened by
//   its pad (side_pad) so that a pair of sides whose widened boxes are apart
//   provably makes segments_intersect return 0; see side_pad for the bound.
// - Nothing allocates: the pass lives on the caller's stack. An outline that
//   does not fit the pass's fixed storage, or whose numbers are out of the
//   range the bound covers, is tested by sprites_intersect itself.

// A box with sides parallel to the field's axes (pixels): lo <= hi per axis.
struct Box {
    double lo_x, lo_y, hi_x, hi_y;
};

// Sprites one pass keeps turned outlines for: the list's capacity. A longer
// list is left to the plain pass.
constexpr uint32_t CONTACT_SPRITES = 100;

// Turned vertices one pass holds in all: 16 a sprite, the most a generated
// rock has, for the whole list, and more. Outlines turned after the store is
// full are tested the plain way.
constexpr uint32_t CONTACT_POINTS = 2048;

// Most vertices of an outline the fast test takes; larger ones (no outline of
// the game comes near) are tested the plain way.
constexpr uint32_t CONTACT_OUTLINE = 64;

// Largest magnitude, in pixels, of a turned vertex or of the displacement
// between two sprites that the fast test takes: 2^20. Placed coordinates then
// stay below 2^21, which bounds every rounding error in segments_intersect
// far below the pads' 1e-6 pixels (see side_pad).
constexpr double CONTACT_REACH = 1048576.0;

// What the pass knows of one listed sprite's outline.
enum OutlineState : uint8_t {
    OUTLINE_UNTURNED = 0, // not needed yet in this pass
    OUTLINE_TURNED = 1,   // turned vertices and widened side boxes stored
    OUTLINE_PLAIN = 2,    // left to sprites_intersect (too large, or out of range)
};

struct TurnedOutline {
    uint32_t first; // index of its vertex 0 in the pass's turned and side_boxes
    uint8_t state;  // an OutlineState
    Box box;        // the union of its widened side boxes, centred on the sprite
};

struct ContactPass {
    Sprite* sprites[CONTACT_SPRITES]; // the list's entries the pass covers, in list order
    uint32_t count;                   // how many
    Vector world_size;                // field size (pixels)
    // Positions and bounding radii at the pass's start, for the bounds filter.
    double x[CONTACT_SPRITES];
    double y[CONTACT_SPRITES];
    double radius[CONTACT_SPRITES];
    TurnedOutline outlines[CONTACT_SPRITES];
    uint32_t used; // entries of turned and side_boxes taken
    // Vertex k of a turned outline: vector_rotate(vertex k, orientation), the
    // sprite's own vertex turned into the field's axes, not moved.
    Vector turned[CONTACT_POINTS];
    // Side k's box (from turned vertex k - 1 to k, side 0 closing the ring),
    // widened by side_pad.
    Box side_boxes[CONTACT_POINTS];
};

// Starts a pass over those of the first count list entries whose kind has
// its bit (1 << kind) set in kinds, in list order; count at most
// CONTACT_SPRITES. Records their placements and marks every outline not yet
// turned. Leaves the large stores untouched, so a pass on the stack costs
// little until used. Entry k of the pass is pass.sprites[k].
void begin_contact_pass(ContactPass* pass, Sprite* const sprites[], uint32_t count, uint32_t kinds,
                        Vector world_size);

// A cheap filter ahead of sprite_bounds_overlap: 0 only when the bounds test
// of entries i and j is certain to fail.
// sprite_bounds_overlap takes d = torus_displacement(b, a), distance =
// sqrt(d.x^2 + d.y^2) and S = ra + rb, and needs distance < S. The computed
// distance is at least |d.x| (1 - 3 eps) (each rounding loses at most a
// relative eps = 2^-53 and the sum only adds), likewise |d.y|, so |d.x| or
// |d.y| above S (1 + 1e-9) rules the overlap out. Here |d.x| is bounded below
// without torus_delta's branches: with r = the rounded |a.x - b.x|, the
// torus_delta of the two is r or the rounded size - r in magnitude (rounding
// is symmetric), so min(r, size - r) is at most |d.x|; a pair too far apart
// for one correction gets a negative bound and is let through. Not a number
// never rules out: the comparison fails and the full test decides.
inline int contact_bounds_may_overlap(const ContactPass& pass, uint32_t i, uint32_t j) {
    const double reach = (pass.radius[i] + pass.radius[j]) * (1 + 1e-9);
    const double rx = std::fabs(pass.x[i] - pass.x[j]);
    const double ry = std::fabs(pass.y[i] - pass.y[j]);
    const double dx = std::min(rx, pass.world_size.x - rx);
    const double dy = std::min(ry, pass.world_size.y - ry);
    return (dx > reach || dy > reach) ? 0 : 1;
}

// sprites_collide of the pass's entries i and j (i first), with the same
// result and, when the bounds overlap, the same point and normal bits; the
// outputs are untouched when they do not. Turns either outline on its first
// use.
int contact_sprites_collide(ContactPass* pass, uint32_t i, uint32_t j, Vector* point,
                            Vector* normal);
