// Contacts: the collision pass's exact test of two sprites, made fast by
// skipping only work whose result is known. It finds the same contacts as
// sprites_collide, to the last bit of the point and the normal.
//
// Conventions
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
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sprite.h"
#include "vector.h"

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
