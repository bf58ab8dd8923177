// The collision pass's contact test with turned outlines kept for the
// pass, and pairs of sides skipped by their boxes.
#include "sprite.h"

#include <algorithm>
#include <cmath>

namespace {

// Widening of a side's box, per pixel of the side's length |dx| + |dy| (at
// least its true length), and the widening every side gets besides (pixels).
constexpr double SIDE_SLOPE = 2 * PARALLEL_TOLERANCE;
constexpr double SIDE_SLACK = 1e-6;

// The pad of the side from `from` to `to`: 2e-4 (|dx| + |dy|) + 1e-6 pixels.
//
// Why two sides whose padded boxes are apart on an axis make
// segments_intersect(a, b) return 0. Let A, B be the sides' origins, u, v their
// directions, eps = 2^-53, every coordinate below 2^21 pixels (CONTACT_REACH),
// and primes mark values as computed (P', Q', G', H', t', s').
// - Result 1 needs t' and s' in [0, 1). The points A + t' u and B + s' v are
//   then within 1e-8 pixels of each other. Across b their offset is
//   |v| (Q + t' H) = |v| ((Q - Q') + t' (H - H') + (Q' + t' H')): the last term
//   is the rounding of t' = -Q' / H' (at most eps |H'|), and Q - Q', H - H'
//   are a few roundings of products and sums, a few eps |A - B| / |v| and
//   eps |u| / |v|. Along b it is |v| (P + G t' - s'), a few roundings again.
//   In all less than 30 eps 2^21.
// - Result 2 needs |H' / G'| < 1e-4 and |Q'| < 1e-4. Each point A + t u
//   (0 <= t <= 1) lies |v| |Q + t H| < 1e-4 |v| + 1e-4 |u| off b's line (as
//   |G| <= |u| / |v|; plus roundings as above), and end >= 0 with start < 1
//   puts a's start, a's end, or the point of a over b's start at a parameter
//   in [0, 1] along b. That point lies within 1e-4 (|u| + |v|) + 1e-8 pixels of
//   side b.
// So a nonzero result has a point of each side (each in its box: the side's
// end is origin + direction to within a rounding) within 1e-4 (|u| + |v|) +
// 1e-8 pixels of the other, and on each axis the boxes' gap is at most that.
// The two pads add up to at least 2e-4 (|u| + |v|) + 2e-6 pixels (|dx| + |dy|
// is at least the length): twice the most a meeting allows, which leaves room
// for the roundings of padding and moving a box (a few ulps of 2^21, about
// 1e-9 pixels each), and for b's pads coming from its turned sides rather than
// its placed ones (they differ by as little).
// A side of zero length meets nothing (its test divides by zero into values
// that fail every comparison), so its pad does not matter.
double side_pad(Vector from, Vector to) {
    return SIDE_SLOPE * (std::fabs(to.x - from.x) + std::fabs(to.y - from.y)) + SIDE_SLACK;
}

// Whether the two boxes share a point (edges touching count).
bool boxes_overlap(const Box& a, const Box& b) {
    return !(a.hi_x < b.lo_x || b.hi_x < a.lo_x || a.hi_y < b.lo_y || b.hi_y < a.lo_y);
}

// The box moved by d. Rounding is monotonic, so the box of points moved by d
// (each rounded as it is moved) is this box exactly.
Box shifted(const Box& box, Vector d) {
    return Box{box.lo_x + d.x, box.lo_y + d.y, box.hi_x + d.x, box.hi_y + d.y};
}

// The smallest box holding both (finite boxes only).
Box box_union(const Box& a, const Box& b) {
    return Box{std::min(a.lo_x, b.lo_x), std::min(a.lo_y, b.lo_y), std::max(a.hi_x, b.hi_x),
               std::max(a.hi_y, b.hi_y)};
}

// Turns the sprite's outline into the pass's store, or marks it for the plain
// test when it does not fit or a turned vertex is not below CONTACT_REACH in
// magnitude (not a number included):
//   turned k = vector_rotate(vertex k, orientation), as sprites_intersect
//   turns it before adding the displacement;
//   side k's box spans turned k - 1 and turned k, widened by side_pad.
void turn_outline(ContactPass* pass, const Sprite& sprite, TurnedOutline* outline) {
    const uint32_t n = sprite.polygon.count;
    outline->state = OUTLINE_PLAIN;
    if (n == 0 || n > CONTACT_OUTLINE || n > CONTACT_POINTS - pass->used) {
        return;
    }
    Vector* turned = &pass->turned[pass->used];
    for (uint32_t k = 0; k < n; ++k) {
        turned[k] = vector_rotate(sprite.polygon.vertices[k], sprite.orientation);
        if (!(std::fabs(turned[k].x) < CONTACT_REACH && std::fabs(turned[k].y) < CONTACT_REACH)) {
            return;
        }
    }
    Box* boxes = &pass->side_boxes[pass->used];
    for (uint32_t k = 0; k < n; ++k) {
        const Vector from = turned[k == 0 ? n - 1 : k - 1];
        const Vector to = turned[k];
        const double pad = side_pad(from, to);
        boxes[k] = Box{std::min(from.x, to.x) - pad, std::min(from.y, to.y) - pad,
                       std::max(from.x, to.x) + pad, std::max(from.y, to.y) + pad};
        outline->box = k == 0 ? boxes[0] : box_union(outline->box, boxes[k]);
    }
    outline->first = pass->used;
    outline->state = OUTLINE_TURNED;
    pass->used += n;
}

const TurnedOutline& turned_outline(ContactPass* pass, uint32_t i) {
    TurnedOutline* outline = &pass->outlines[i];
    if (outline->state == OUTLINE_UNTURNED) {
        turn_outline(pass, *pass->sprites[i], outline);
    }
    return *outline;
}

// sprites_intersect(a, b) from the turned outlines, b placed by d, skipping
// the pairs of sides whose widened boxes are apart:
//   1. a's box and b's box moved by d apart: no contact;
//   2. near: b's sides whose moved boxes meet a's box, in side order, placed
//      as sprites_intersect places them (turned vertex + d, end minus start);
//   3. for each side i of a whose box meets the box around near, and each
//      near side whose box meets side i's, in order: add_side_contact.
// Every skipped pair would have added nothing, and the rest are added in
// sprites_intersect's order with its arithmetic, so the sums are its bits.
int intersect_turned(const ContactPass& pass, const Sprite& a, const TurnedOutline& ta,
                     const Sprite& b, const TurnedOutline& tb, Vector d, Vector* point,
                     Vector* normal) {
    ContactSum sum{};
    if (!boxes_overlap(ta.box, shifted(tb.box, d))) {
        return finish_contact(sum, point, normal);
    }
    const uint32_t m = b.polygon.count;
    const Vector* turned_b = &pass.turned[tb.first];
    const Box* boxes_b = &pass.side_boxes[tb.first];
    Segment near[CONTACT_OUTLINE];
    Box near_boxes[CONTACT_OUTLINE];
    uint32_t near_count = 0;
    Box reach{};
    for (uint32_t j = 0; j < m; ++j) {
        const Box box = shifted(boxes_b[j], d);
        if (!boxes_overlap(ta.box, box)) {
            continue;
        }
        const Vector from = vector_add(turned_b[j == 0 ? m - 1 : j - 1], d);
        const Vector to = vector_add(turned_b[j], d);
        near[near_count] = Segment{from, vector_sub(to, from)};
        near_boxes[near_count] = box;
        reach = near_count == 0 ? box : box_union(reach, box);
        ++near_count;
    }
    if (near_count == 0) {
        return finish_contact(sum, point, normal);
    }
    const uint32_t n = a.polygon.count;
    const Vector* turned_a = &pass.turned[ta.first];
    const Box* boxes_a = &pass.side_boxes[ta.first];
    const Vector origin{0, 0};
    for (uint32_t i = 0; i < n; ++i) {
        const Box& box = boxes_a[i];
        if (!boxes_overlap(box, reach)) {
            continue;
        }
        // As placed_side places a's side i: turned vertex + (0, 0), so that a
        // vertex at -0 becomes +0 as there.
        const Vector from = vector_add(turned_a[i == 0 ? n - 1 : i - 1], origin);
        const Vector to = vector_add(turned_a[i], origin);
        const Segment side{from, vector_sub(to, from)};
        for (uint32_t q = 0; q < near_count; ++q) {
            if (boxes_overlap(box, near_boxes[q])) {
                add_side_contact(&sum, a.position, side, near[q]);
            }
        }
    }
    return finish_contact(sum, point, normal);
}

} // namespace

void begin_contact_pass(ContactPass* pass, Sprite* const sprites[], uint32_t count, uint32_t kinds,
                        Vector world_size) {
    pass->world_size = world_size;
    pass->used = 0;
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Sprite* sprite = sprites[i];
        const int32_t kind = sprite->kind;
        if (kind < 0 || kind > 31 || ((kinds >> kind) & 1u) == 0) {
            continue;
        }
        pass->sprites[n] = sprite;
        pass->x[n] = sprite->position.x;
        pass->y[n] = sprite->position.y;
        pass->radius[n] = sprite->polygon.radius;
        pass->outlines[n].state = OUTLINE_UNTURNED;
        ++n;
    }
    pass->count = n;
}

// sprites_collide's two steps; the exact one from the turned outlines unless
// either is left plain or the displacement is out of the bound's range.
int contact_sprites_collide(ContactPass* pass, uint32_t i, uint32_t j, Vector* point,
                            Vector* normal) {
    const Sprite& a = *pass->sprites[i];
    const Sprite& b = *pass->sprites[j];
    if (!sprite_bounds_overlap(a, b, pass->world_size)) {
        return 0;
    }
    const TurnedOutline& ta = turned_outline(pass, i);
    const TurnedOutline& tb = turned_outline(pass, j);
    const Vector d = torus_displacement(a.position, b.position, pass->world_size);
    if (ta.state != OUTLINE_TURNED || tb.state != OUTLINE_TURNED ||
        !(std::fabs(d.x) < CONTACT_REACH && std::fabs(d.y) < CONTACT_REACH)) {
        return sprites_intersect(a, b, pass->world_size, point, normal) ? 1 : 0;
    }
    return intersect_turned(*pass, a, ta, b, tb, d, point, normal);
}
