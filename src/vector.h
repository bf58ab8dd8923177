// Vectors and segments: the value types under all of Brelkor's geometry.
//
// Conventions
// - Lengths in pixels; the field's y axis points down the screen, so a turn
//   "from +x towards +y" is clockwise as seen.
// - A Vector is a point, displacement, velocity (pixels per second),
//   acceleration or orientation. An orientation is a unit vector
//   (cosine, sine) of a heading: (1, 0) faces +x, (0, -1) faces up the screen.
// - Every operation takes and returns values and keeps nothing between calls.
//   The formulas are written out in a fixed order so that results agree to
//   the last bit on every machine (the build disables contraction into FMA).
#pragma once

#include <cmath>

struct Vector {
    double x;
    double y;
};

// A straight piece of line: the point with parameter t is origin + t * direction,
// t = 0 the start and t = 1 the end. The same record stands for an infinite line
// through origin along direction where a routine reads it as a line.
struct Segment {
    Vector origin;
    Vector direction; // end minus start, not normalised
};

// p + q
inline Vector vector_add(Vector p, Vector q) { return Vector{p.x + q.x, p.y + q.y}; }

// p - q
inline Vector vector_sub(Vector p, Vector q) { return Vector{p.x - q.x, p.y - q.y}; }

// p scaled by k
inline Vector vector_scale(Vector p, double k) { return Vector{k * p.x, k * p.y}; }

// -p
inline Vector vector_neg(Vector p) { return Vector{-p.x, -p.y}; }

// p turned a quarter turn from +x towards +y
inline Vector vector_perp(Vector p) { return Vector{-p.y, p.x}; }

// Dot product: |p| |q| cos of the angle between them
inline double vector_dot(Vector p, Vector q) { return p.x * q.x + p.y * q.y; }

// Cross product (z of the 3-D cross): |p| |q| sin of the angle from p to q
inline double vector_cross(Vector p, Vector q) { return p.x * q.y - p.y * q.x; }

// Euclidean length
inline double vector_length(Vector p) { return std::sqrt(p.x * p.x + p.y * p.y); }

// p turned by the unit orientation o, from a body's own frame into the field:
// complex multiplication p * o.
inline Vector vector_rotate(Vector p, Vector o) {
    return Vector{o.x * p.x - o.y * p.y, o.x * p.y + o.y * p.x};
}

// p turned back by the unit orientation o, from the field into o's frame:
// complex multiplication p * conj(o). Its x is vector_dot(o, p), its y
// vector_cross(o, p).
inline Vector vector_unrotate(Vector p, Vector o) {
    return Vector{o.x * p.x + o.y * p.y, o.x * p.y - o.y * p.x};
}
