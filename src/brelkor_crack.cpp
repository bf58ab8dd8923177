// Cracking rocks, and what becomes of the pieces: new rocks, or fragments.
#include "brelkor.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rock.h"
#include "shapes.h"

namespace {

// Crack steps before the crack is extended straight out, and the chain they fill:
// the start, a point per step, and one for the extension.
constexpr uint32_t CRACK_STEPS = 8;
constexpr uint32_t CRACK_POINTS = CRACK_STEPS + 2;

void say(const char* line) { std::fputs(line, stderr); }

// Whether the missile's line only clips the outline: it leaves again through
// another edge within the inset (an exit, told from an entry by the sense in
// which the line crosses that edge under the game's winding), or the crack's
// start point is not strictly inside.
bool glancing(const Polygon& polygon, Segment line, double t, int32_t entry, double len,
              Vector start) {
    const double reach = t + CRACK_INSET / len;
    const uint32_t n = polygon.count;
    for (uint32_t i = 0; i < n; ++i) {
        if (static_cast<int32_t>(i) == entry) {
            continue;
        }
        const Vector a = polygon.vertices[i == 0 ? n - 1 : i - 1];
        const Segment edge{a, vector_sub(polygon.vertices[i], a)};
        double out[2];
        if (line_intersects_segment(line, edge, out) == 1 && out[0] > t && out[0] <= reach &&
            vector_cross(line.direction, edge.direction) < 0) {
            return true;
        }
    }
    return !point_strictly_inside(polygon, start);
}

} // namespace

// Cracking a rock hit by a missile, all in the rock's own frame:
//   1. d = the missile's position less the rock's, brought to the nearest image
//      (each axis on its own, strictly beyond half the field);
//   2. the missile's line: origin d, direction u = the missile's heading (not
//      its velocity), both turned back by the rock's orientation;
//   3. entry: the crossing of that line with the outline that has the smallest
//      parameter t, on edge a; no crossing, or a line that only clips the
//      outline, cracks nothing;
//   4. the chain starts CRACK_INSET pixels past the entry along the heading;
//   5. up to 8 steps, each s = random_in(0.25, 0.5) radius long along u and
//      bent toward perp(u) by j = 0.25 frand(): D = s (u + j perp(u)); a step
//      that meets the outline ends the chain there, on edge b;
//   6. a chain still inside after 8 steps is extended straight along the last
//      step to the crossing farthest ahead;
//   7. the outline is split along the chain;
//   8. each piece becomes a rock or fragments; the rock dies; when both pieces
//      became rocks, both are nudged apart.
// Every crack bends clockwise on the screen from the missile's path.
void crack_rock(Game* game, Sprite* rock, const Sprite& missile) {
    const Vector d = torus_displacement(rock->position, missile.position, game->world_size);
    const Polygon& outline = rock->polygon;
    const Vector u = vector_unrotate(missile.orientation, rock->orientation);
    const Segment line{vector_unrotate(d, rock->orientation), u};
    const double len = vector_length(u);

    double t = 0;
    int32_t a = -1;
    if (line_intersects_polygon_at(outline, line, &t, &a, 1) == 0) {
        return;
    }
    Vector chain[CRACK_POINTS];
    chain[0] = vector_add(line.origin, vector_scale(u, t + CRACK_INSET / len));
    if (glancing(outline, line, t, a, len, chain[0])) {
        return;
    }

    Segment step{chain[0], Vector{0, 0}};
    int32_t b = -1;
    uint32_t m = 0;
    for (uint32_t i = 1; i <= CRACK_STEPS; ++i) {
        const double s = random_in(0.25, 0.5) * outline.radius;
        const double j = frand() * 0.25;
        step.direction = vector_scale(Vector{u.x - j * u.y, u.y + j * u.x}, s);
        chain[i] = vector_add(step.origin, step.direction);
        b = segment_first_intersects_polygon_at(outline, step, &chain[i]);
        if (b != -1) {
            m = i + 1;
            break;
        }
        step.origin = chain[i];
    }
    if (b == -1) {
        // Of the crossings along the reversed last step, the smallest parameter
        // is the one farthest ahead.
        const Vector back = vector_neg(step.direction);
        double ahead = 0;
        if (line_intersects_polygon_at(outline, Segment{chain[CRACK_STEPS], back}, &ahead, &b, 1) ==
            0) {
            say("crack is not inside rock??\n");
            return;
        }
        chain[CRACK_STEPS + 1] = vector_add(chain[CRACK_STEPS], vector_scale(back, ahead));
        m = CRACK_POINTS;
    }

    Polygon first{};
    Polygon second{};
    if (!split_polygon(outline, a, b, chain, m, &first, &second)) {
        say("failed to split polygon.\n");
        return;
    }
    if (first.vertices == nullptr && second.vertices == nullptr) {
        say("split into two empty pieces??\n");
        return;
    }
    rock->kind = KIND_DEAD;
    Sprite* r1 = first.vertices != nullptr ? new_fragment(game, *rock, first) : nullptr;
    Sprite* r2 = second.vertices != nullptr ? new_fragment(game, *rock, second) : nullptr;
    if (r1 != nullptr && r2 != nullptr) {
        nudge_fragment(*rock, r1);
        nudge_fragment(*rock, r2);
    }
    // A new rock that found the list full is done with now.
    for (Sprite* made : std::array<Sprite*, 2>{r1, r2}) {
        if (made != nullptr && active_sprite(made, *game) == nullptr) {
            release_sprite(made);
        }
    }
}

// The piece goes on where it was in the parent, turning with it: its centroid c
// (in the parent's frame) lands at parent.position + R(c), and it moves as the
// parent's material there did, velocity + omega (dy, -dx) for the displacement
// (dx, dy) from the parent's centre. Below SHATTER_AREA it shatters at once.
Sprite* new_fragment(Game* game, const Sprite& parent, const Polygon& piece) {
    auto* sprite = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    if (sprite == nullptr) {
        say("failed to allocate rock fragment.\n");
        std::free(piece.vertices);
        return nullptr;
    }
    init_sprite(sprite, 0, 0, piece, parent.density, parent.color.r, parent.color.g,
                parent.color.b);
    sprite->storage = STORAGE_HEAP_ROCK;
    sprite->kind = KIND_ROCK;
    sprite->orientation = parent.orientation;
    sprite->position =
        vector_add(parent.position, vector_rotate(sprite->position, parent.orientation));
    const double omega = parent.angular_velocity;
    sprite->angular_velocity = omega;
    const Vector d = vector_sub(sprite->position, parent.position);
    sprite->velocity = vector_add(parent.velocity, vector_scale(Vector{d.y, -d.x}, omega));
    sprite->acceleration = parent.acceleration;
    if (SHATTER_AREA > sprite->polygon.area) {
        shatter_rock(game, sprite);
        return nullptr;
    }
    activate_sprite(game, sprite);
    return sprite;
}

// One fragment per edge v[j] -> v[j + 1] of the piece (v[n] = v[0]), each a
// copy of the piece with the edge as an open two-point line from a shared ring
// v[0] .. v[n - 1], v[0], no mass, no spin, and the velocity
//   piece velocity + 1.5 (R(v[j]) + R(v[j + 1])),
// three times the edge's midpoint as it lies in the field, per second: each
// edge flies straight outward from where it was. The piece is given back; the
// block and ring go once the last listed fragment has.
void shatter_rock(Game* game, Sprite* sprite) {
    const uint32_t n = sprite->polygon.count;
    if (n == 0) {
        release_sprite(sprite);
        return;
    }
    auto* block = static_cast<Fragment*>(std::malloc(sizeof(Fragment) * n));
    if (block == nullptr) {
        release_sprite(sprite);
        return;
    }
    auto* ring = static_cast<Vector*>(std::malloc(sizeof(Vector) * (n + 1)));
    if (ring == nullptr) {
        std::free(block);
        release_sprite(sprite);
        return;
    }
    const Vector* v = sprite->polygon.vertices;
    for (uint32_t j = 0; j < n; ++j) {
        ring[j] = v[j];
    }
    ring[n] = v[0];
    sprite->density = 0;
    sprite->mass = 0;
    sprite->moment = 0;

    block[0].block_live = 0;
    for (uint32_t j = 0; j < n; ++j) {
        Fragment* f = &block[j];
        f->life_ms = FRAGMENT_LIFE_MS;
        static_cast<Sprite&>(*f) = *sprite;
        f->kind = KIND_FRAGMENT;
        f->storage = STORAGE_SHATTERING;
        f->block = block;
        f->polygon.vertices = &ring[j];
        f->polygon.count = 2;
        init_polyline(&f->polygon);
        const Vector mid = vector_add(vector_rotate(ring[j], sprite->orientation),
                                      vector_rotate(ring[j + 1], sprite->orientation));
        f->velocity = vector_add(sprite->velocity, vector_scale(mid, 1.5));
        f->angular_velocity = 0;
        if (activate_sprite(game, f)) {
            ++block[0].block_live;
        }
    }
    if (block[0].block_live == 0) { // none could be listed
        std::free(ring);
        std::free(block);
    }
    release_sprite(sprite);
}

// 7.5 pixels per second straight away from the parent's centre; a rock at the
// very centre has no direction and gets no push.
void nudge_fragment(const Sprite& parent, Sprite* rock) {
    const Vector d = vector_sub(rock->position, parent.position);
    const double length = std::sqrt(vector_dot(d, d));
    if (length == 0) {
        return;
    }
    rock->velocity.x += NUDGE_SPEED * d.x / length;
    rock->velocity.y += NUDGE_SPEED * d.y / length;
}

// The life runs down without stopping at 0; 1500 is a whole number of steps,
// so it reaches 0 exactly, in the 150th step after the one that made it.
void simulate_fragment(Fragment* fragment, double dt) {
    fragment->life_ms -= step_milliseconds(dt);
    if (fragment->life_ms == 0) {
        fragment->kind = KIND_DEAD;
    }
}
