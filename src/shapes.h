// Shapes: intersection tests between lines and segments, polygons with their
// mass properties, and cutting a polygon along a chain of points.
//
// Conventions
// - Lengths in pixels, y pointing down the screen.
// - A segment covers the half-open range 0 <= t < 1 in the intersection tests,
//   so the edges of a polygon laid end to end each own their start vertex only.
// - Result codes: 0 no intersection, 1 the two cross at one point, 2 the two lie
//   on one line and overlap. Edge index -1 means no edge.
// - Edge i of a polygon with n vertices p(0) .. p(n - 1) runs from p(i - 1) to
//   p(i); edge 0 is the closing edge from p(n - 1) to p(0).
// - Winding: every outline the game makes has a negative shoelace sum
//   (sum of vector_cross(p(i - 1), p(i)) < 0), counter-clockwise on the screen;
//   the collision normal relies on it. The routines here accept either winding,
//   and the pieces of a cut keep the winding of the polygon they come from.
// - Outputs that a routine always fills are plain arrays or references; a single
//   optional output is a nullable pointer placed last.
#pragma once

#include <cmath>
#include <cstdint>

#include "vector.h"

// Tolerance of the parallel and on-the-line tests: an angle of about 0.0001
// radians between two directions, or an offset of 0.0001 times the second
// line's length.
constexpr double PARALLEL_TOLERANCE = 0.0001;

// a read against b's line, every value in units of b's length:
//   P: where a's origin falls along b (a parameter of b),
//   Q: a's origin's signed distance from b's line,
//   G, H: a's direction along and across b.
struct LineFrame {
    double P, Q, G, H;
};

// L = 1 / |v|^2; P = L (d . v), Q = L (d x v), G = L (u . v), H = L (u x v),
// with u, v the directions of a and b and d = a's origin - b's origin.
inline LineFrame line_frame(Segment a, Segment b) {
    const Vector u = a.direction;
    const Vector v = b.direction;
    const Vector d = vector_sub(a.origin, b.origin);
    const double L = 1 / (v.x * v.x + v.y * v.y);
    return LineFrame{L * vector_dot(d, v), L * vector_cross(d, v), L * vector_dot(u, v),
                     L * vector_cross(u, v)};
}

// Reads a and b as infinite lines.
// Crossing (result 1): first[0] = t, the crossing's parameter along a, and
// second[0] = s, its parameter along b. On one line (result 2): first[0] and
// first[1] are the parameters along b of a's start and end, in that order, not
// sorted. Nothing is written for result 0.
//
// Two lines a(t) = A + t u and b(s) = B + s v meet where A + t u = B + s v.
// Projecting onto v and onto v's normal (in units of |v|^2):
//   s = P + G t   and   0 = Q + H t,   so   t = -Q / H.
// H / G is the tangent of the angle between u and v: below PARALLEL_TOLERANCE
// the lines count as parallel, the same for long and short segments and for
// either sense. A ratio that is not a number (H = G = 0) or infinite (G = 0)
// fails the test and goes down the crossing path.
// Inline, with segments_intersect, because collision detection runs it once
// per pair of sides of every pair of touching sprites.
inline int lines_intersect(Segment a, Segment b, double first[2], double second[2]) {
    const LineFrame f = line_frame(a, b);
    if (!(std::fabs(f.H / f.G) < PARALLEL_TOLERANCE)) {
        const double t = -f.Q / f.H;
        first[0] = t;
        second[0] = f.P + f.G * t;
        return 1;
    }
    if (!(std::fabs(f.Q) < PARALLEL_TOLERANCE)) {
        return 0;
    }
    // On one line: a's start and end as parameters along b, unsorted.
    first[0] = f.P;
    first[1] = f.P + f.G;
    return 2;
}

// Both segments over 0 <= t < 1. Result 1: out[0] is the crossing's parameter
// along a. Result 2: out[0] and out[1] are a's start and end along b, the start
// raised to 0 and the end lowered to 1 (judged as they come, not sorted).
inline int segments_intersect(Segment a, Segment b, double out[2]) {
    double scratch[2];
    const int result = lines_intersect(a, b, out, scratch);
    if (result == 0) {
        return 0;
    }
    if (result == 1) {
        const double t = out[0];
        const double s = scratch[0];
        return (0 <= t && t < 1 && 0 <= s && s < 1) ? 1 : 0;
    }
    // The two ends are judged as they come: a pointing against b can lie inside
    // b and still be refused.
    const double start = out[0];
    const double end = out[1];
    if (end < 0 || start >= 1) {
        return 0;
    }
    if (start < 0) {
        out[0] = 0;
    }
    if (end > 1) {
        out[1] = 1;
    }
    return 2;
}

// 1 when segments_intersect reports any intersection, else 0.
int segments_intersect_anywhere(Segment a, Segment b);

// The line infinite, the segment over 0 <= s < 1. Result 1: out[0] is the
// crossing's parameter along the line, of any sign. Result 2: out[0] and out[1]
// are the line's points t = 0 and t = 1 as parameters along the segment,
// unclipped.
int line_intersects_segment(Segment line, Segment segment, double out[2]);

// An outline in a body's own frame. The record does not own its vertex array:
// copying a Polygon shares the points, and the routines below move them in place.
struct Polygon {
    Vector* vertices;     // count points, pixels, in the body's frame
    uint32_t count;       // number of vertices
    int32_t closed;       // 1: the last vertex joins the first; 0: open polyline
    double radius;        // largest vertex distance from the origin (pixels)
    double area;          // enclosed area, >= 0; 0 for a polyline (square pixels)
    double second_moment; // polar second moment about the centroid, >= 0
                          // (pixels^4); 0 for a polyline
    // radius, area and second_moment hold only after init_polygon or
    // init_polyline, whichever matches the record.
};

// Marks the polygon closed, computes its area and second moment, moves the
// vertices so that the centroid is the origin and sets the radius. When centroid
// is given it receives the centroid in the coordinates the vertices had on entry.
void init_polygon(Polygon* polygon, Vector* centroid);

// Marks the record an open polyline: area and second moment 0, vertices left in
// place, radius set.
void init_polyline(Polygon* polygon);

// radius = the largest distance of a vertex from the frame's origin; 0 for none.
void polygon_update_bounds(Polygon* polygon);

// The largest finite double: the parameter of an empty crossing-list slot, and
// the starting "best" of the searches.
constexpr double NO_CROSSING = 1.7976931348623157e308;

// The edge that the segment meets first, counting along the segment from its
// origin, or -1. On a meeting, point receives origin + t * direction.
int32_t segment_first_intersects_polygon_at(const Polygon& polygon, Segment segment, Vector* point);

// The number of edges that the infinite line meets. The k-slot crossing list
// (parameters along the line, edge indices) is filled by insert_intersection; with
// k = 1 slot 0 holds the crossing with the smallest parameter.
uint32_t line_intersects_polygon_at(const Polygon& polygon, Segment line, double parameters[],
                                    int32_t edges[], uint32_t k);

// Enters the crossing (t, edge) into a k-slot crossing list, but only when t is
// below slot 0's parameter; the displaced entries are carried down the list.
void insert_intersection(double t, int32_t edge, double parameters[], int32_t edges[], uint32_t k);

// Cuts the polygon along the chain of m points that runs from edge a to edge b.
// Sets only the pieces' vertices and count; a piece of fewer than three points
// gets no vertex array but keeps its count. May reverse the chain in place.
// Returns 1 on success. On an allocation failure, or an edge index not below
// the polygon's count, returns 0 with both pieces' vertices none: the caller
// owns nothing then.
int split_polygon(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
                  Polygon* first, Polygon* second);

// 1 when the point lies strictly inside the closed outline (a point on an edge
// is not), else 0.
int point_strictly_inside(const Polygon& polygon, Vector point);

// 1 when the outline is one the game can use: three points or more, the game's
// winding (negative shoelace sum), no zero-length edge, finite coordinates.
int polygon_is_sound(const Polygon& polygon);
