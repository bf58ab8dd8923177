// Wrapped drawing on the torus field.
#include "draw.h"

#include <SDL.h>

#include <climits>
#include <cmath>

namespace {

// The int that SDL is handed for a coordinate, or false when the value has none.
bool to_pixel(double value, int* pixel) {
    if (!(value > static_cast<double>(INT_MIN) - 1 && value < static_cast<double>(INT_MAX) + 1)) {
        return false;
    }
    *pixel = static_cast<int>(value);
    return true;
}

// A field axis of this size can be wrapped, and the values along it lie close
// enough that the stepwise wrap ends after a bounded number of steps. Each pass
// moves or cuts by at most one period, so the passes are bounded by the field's
// own size in periods (the margin alone takes WRAP_MARGIN / period of them) plus
// the distance outside it: both are held to DRAW_PERIODS. A field barely wider
// than 2 * WRAP_MARGIN would otherwise take billions of passes, or, once the
// period is below the rounding of the coordinates, never end.
bool wrappable(double size, double from, double to) {
    const double period = size - 2 * WRAP_MARGIN;
    if (!(period > 0) || !std::isfinite(size) || !(size <= DRAW_PERIODS * period)) {
        return false;
    }
    const double reach = std::fmin(DRAW_REACH, DRAW_PERIODS * period);
    return from >= -reach && from <= size + reach && to >= -reach && to <= size + reach;
}

// A segment in "along / across" coordinates of the axis being cut.
struct AxisSegment {
    double o, across_o; // origin
    double d, across_d; // direction
};

Segment to_segment(const AxisSegment& s, bool on_x) {
    return on_x ? Segment{{s.o, s.across_o}, {s.d, s.across_d}}
                : Segment{{s.across_o, s.o}, {s.across_d, s.d}};
}

void draw_piece(SDL_Renderer* renderer, const AxisSegment& piece, bool on_x, double height) {
    if (on_x) {
        draw_ywrapped_segment(renderer, to_segment(piece, true), height);
    } else {
        draw_segment(renderer, to_segment(piece, false));
    }
}

// Cutting along one axis of size S, with the cut line A = S - e and the period
// B = A - e (e the wrap margin); o, d the copy's origin and direction along the
// axis, e_ = o + d its end:
//   1. Reverse the copy if it points backward, so that d >= 0.
//   2. While the end lies before the margin, move the copy forward by B.
//   3. While the origin lies beyond A, move it back by B.
//   4. While the end lies beyond A or the origin before the margin:
//      - if only the origin is out, move the copy forward by B once, so that it
//        runs over the far border instead of the near one;
//      - cut off the last stretch, t = min(e_ - A, B) long, move it to start at
//        0, and draw it;
//   5. Draw what is left.
// The overhang so comes out first, the remainder last.
void cut_along_axis(SDL_Renderer* renderer, Segment segment, double size, bool on_x,
                    double height) {
    const double A = size - WRAP_MARGIN;
    const double B = A - WRAP_MARGIN;
    const AxisSegment given = on_x ? AxisSegment{segment.origin.x, segment.origin.y,
                                                 segment.direction.x, segment.direction.y}
                                   : AxisSegment{segment.origin.y, segment.origin.x,
                                                 segment.direction.y, segment.direction.x};
    AxisSegment copy = given;
    if (copy.d < 0) {
        copy = AxisSegment{given.o + given.d, given.across_o + given.across_d, -given.d,
                           -given.across_d};
    }
    double e = copy.o + copy.d;
    while (e < WRAP_MARGIN) {
        copy.o += B;
        e = copy.o + copy.d;
    }
    if (copy.o > A) {
        while (copy.o > A) {
            copy.o -= B;
        }
        e = copy.o + copy.d;
    }
    while (e > A || copy.o < WRAP_MARGIN) {
        if (e <= A) {
            copy.o += B;
            e = copy.o + copy.d;
        }
        double t = e - A;
        if (!(B > t)) {
            t = B;
        }
        // The overhang lies between none and the whole copy. In a field so
        // large that its margin is below the rounding of its coordinates, e - A
        // can come out beyond either end; it is held to them.
        if (t > copy.d) {
            t = copy.d;
        }
        if (t < 0) {
            t = 0;
        }
        // The slope comes from the segment as given: reversed or not, the
        // copy has the same one.
        const double g = (given.across_d * t) / given.d;
        const AxisSegment piece{0, (copy.across_o + copy.across_d) - g, t, g};
        const double shortened = copy.d - t;
        if (t > 0 && shortened == copy.d) {
            // The overhang lies below the rounding of d, so cutting it off would
            // change nothing, again and again. Stop there; but a copy that
            // starts before the margin still has to move forward.
            if (copy.o >= WRAP_MARGIN) {
                break;
            }
            copy.o += B;
            e = copy.o + copy.d;
            continue;
        }
        copy.d = shortened;
        copy.across_d -= g;
        draw_piece(renderer, piece, on_x, height);
        e = copy.o + copy.d;
    }
    draw_piece(renderer, copy, on_x, height);
}

} // namespace

void draw_segment(SDL_Renderer* renderer, Segment segment) {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    if (to_pixel(segment.origin.x, &x1) && to_pixel(segment.origin.y, &y1) &&
        to_pixel(segment.origin.x + segment.direction.x, &x2) &&
        to_pixel(segment.origin.y + segment.direction.y, &y2)) {
        SDL_RenderDrawLine(renderer, x1, y1, x2, y2);
    }
}

void draw_ywrapped_segment(SDL_Renderer* renderer, Segment segment, double height) {
    if (!std::isfinite(segment.origin.x) || !std::isfinite(segment.direction.x) ||
        !wrappable(height, segment.origin.y, segment.origin.y + segment.direction.y)) {
        return;
    }
    cut_along_axis(renderer, segment, height, false, height);
}

void draw_wrapped_segment(SDL_Renderer* renderer, Segment segment, Vector world_size) {
    if (!wrappable(world_size.x, segment.origin.x, segment.origin.x + segment.direction.x) ||
        !wrappable(world_size.y, segment.origin.y, segment.origin.y + segment.direction.y)) {
        return;
    }
    cut_along_axis(renderer, segment, world_size.x, true, world_size.y);
}

void draw_oriented_polygon(SDL_Renderer* renderer, const Polygon& polygon, Vector position,
                           Vector orientation, Vector world_size) {
    const uint32_t n = polygon.count;
    const Vector* v = polygon.vertices;
    if (n == 0) {
        return;
    }
    // Closed: (v[n-1] -> v[0]) first, then (v[i-1] -> v[i]); open: from v[0] on.
    for (uint32_t i = polygon.closed ? 0 : 1; i < n; ++i) {
        const Vector p = vector_rotate(v[i == 0 ? n - 1 : i - 1], orientation);
        const Vector q = vector_rotate(v[i], orientation);
        draw_wrapped_segment(renderer, Segment{vector_add(position, p), vector_sub(q, p)},
                             world_size);
    }
}
