// Wrapped drawing: segments and rotated outlines drawn on the torus field, so
// that a line running over one border comes back at the opposite one.
//
// Conventions
// - Field coordinates are window pixels: x to the right, y downward, the origin
//   at the window's top-left corner. The field is W by H pixels (the world size).
// - Wrap margin: coordinates are kept within [WRAP_MARGIN, size - WRAP_MARGIN];
//   a line is cut at size - WRAP_MARGIN and moved by whole periods of
//   size - 2 * WRAP_MARGIN, the same margin and period with which sprite motion
//   keeps positions inside the field.
// - Lines reach SDL_RenderDrawLine as four ints truncated toward zero, in the
//   order they are cut: the overhang beyond the far border first, the rest last.
// - The caller sets the draw colour; nothing here changes it, keeps state or
//   allocates.
// - A segment that is not finite, lies more than DRAW_REACH pixels (or
//   DRAW_PERIODS field periods) outside the field, or a field no larger than
//   2 * WRAP_MARGIN or more than DRAW_PERIODS periods wide, draws nothing: the
//   stepwise wrap would otherwise take ages or not end.
#pragma once

#include "shapes.h"
#include "vector.h"

struct SDL_Renderer;

// Distance from the field's borders (pixels) kept by the wrap.
constexpr double WRAP_MARGIN = 0.0001;

// How far outside the field a drawable segment may reach (pixels).
constexpr double DRAW_REACH = 1e6;

// Most periods a drawable field axis may span, and a drawable segment may lie
// outside the field: the number of wrap passes one axis may take. A segment so
// drawn still costs a few hundred thousand lines at most, and an outline of
// many such edges some million: a frame's worth of drawing stays bounded.
constexpr double DRAW_PERIODS = 1e5;

// One line from origin to origin + direction.
void draw_segment(SDL_Renderer* renderer, Segment segment);

// Cut at the top and bottom borders of a field of the given height; each piece
// drawn with draw_segment.
void draw_ywrapped_segment(SDL_Renderer* renderer, Segment segment, double height);

// Cut at the left and right borders; each piece handed to draw_ywrapped_segment.
void draw_wrapped_segment(SDL_Renderer* renderer, Segment segment, Vector world_size);

// Every edge of the polygon placed at position and turned by orientation (used
// as given, not normalised), then drawn wrapped. A closed polygon draws its
// closing edge first; an open polyline has no closing edge.
void draw_oriented_polygon(SDL_Renderer* renderer, const Polygon& polygon, Vector position,
                           Vector orientation, Vector world_size);
