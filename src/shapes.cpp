// Shapes: line and segment intersection, polygon mass properties, cutting.
#include "shapes.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// Edge i runs from vertex i - 1 to vertex i; edge 0 closes the ring.
Segment edge_of(const Polygon& polygon, uint32_t i) {
    const Vector* p = polygon.vertices;
    const uint32_t previous = (i == 0 ? polygon.count : i) - 1;
    return Segment{p[previous], vector_sub(p[i], p[previous])};
}

} // namespace

int segments_intersect_anywhere(Segment a, Segment b) {
    double scratch[2];
    return segments_intersect(a, b, scratch) != 0 ? 1 : 0;
}

int line_intersects_segment(Segment line, Segment segment, double out[2]) {
    double scratch[2];
    const int result = lines_intersect(line, segment, out, scratch);
    if (result != 1) {
        return result;
    }
    const double s = scratch[0];
    return (0 <= s && s < 1) ? 1 : 0;
}

void polygon_update_bounds(Polygon* polygon) {
    double largest = 0;
    for (uint32_t i = 0; i < polygon->count; ++i) {
        const Vector v = polygon->vertices[i];
        const double d = v.x * v.x + v.y * v.y;
        if (d > largest) {
            largest = d;
        }
    }
    polygon->radius = std::sqrt(largest);
}

void init_polyline(Polygon* polygon) {
    polygon->area = 0;
    polygon->second_moment = 0;
    polygon->closed = 0;
    polygon_update_bounds(polygon);
}

// Shoelace sums over the edges (a, b) = (p(i - 1), p(i)), with w = a x b:
//   S  = sum w                      = twice the signed area A
//   Sx = sum (ax + bx) w,  Sy = sum (ay + by) w
//   centroid = (Sx, Sy) / (6 A)
// The centroid divides by the signed area, so either winding gives the same
// point. Then, over the outline moved to its centroid:
//   K = sum w                       = 2 A again
//   J = sum w (a.a + a.b + b.b)     = 12 times the signed polar second moment
//   second_moment = |J area / (6 K)| = |J| / 12
// Taking absolute values makes area and second moment positive for either
// winding. An outline of zero area (no vertices, one, two, or all on one line)
// has no centroid by these formulas; it gets area and second moment 0 and the
// mean of its vertices as centroid, so every value stays finite. So does one
// whose centroid overflows: an area so small (subnormal) that 1 / (6 A) is
// infinite, though S need not be 0 for that and A can be nonzero, or a tiny area
// left over from large cancelling terms, as in a self-crossing outline.
void init_polygon(Polygon* polygon, Vector* centroid) {
    Vector scratch;
    Vector* c = centroid != nullptr ? centroid : &scratch;
    Vector* p = polygon->vertices;
    const uint32_t n = polygon->count;

    polygon->closed = 1;
    polygon->area = 0;
    *c = Vector{0, 0};

    double S = 0;
    double Sx = 0;
    double Sy = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const Vector a = p[i == 0 ? n - 1 : i - 1];
        const Vector b = p[i];
        const double w = vector_cross(a, b);
        S += w;
        Sx += (a.x + b.x) * w;
        Sy += (a.y + b.y) * w;
    }

    const double A = S * 0.5;
    const double f = 1 / (A * 6);
    const Vector centre{Sx * f, Sy * f};
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y)) {
        Vector sum{0, 0};
        for (uint32_t i = 0; i < n; ++i) {
            sum = vector_add(sum, p[i]);
        }
        if (n > 0) {
            *c = vector_scale(sum, 1.0 / n);
        }
        for (uint32_t i = 0; i < n; ++i) {
            p[i] = vector_sub(p[i], *c);
        }
        polygon->second_moment = 0;
        polygon_update_bounds(polygon);
        return;
    }

    *c = centre;
    polygon->area = std::fabs(A);

    for (uint32_t i = 0; i < n; ++i) {
        p[i] = vector_sub(p[i], *c);
    }

    double K = 0;
    double J = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const Vector a = p[i == 0 ? n - 1 : i - 1];
        const Vector b = p[i];
        const double w = vector_cross(a, b);
        K += w;
        J += w * ((a.x * a.x + a.y * a.y) + (a.x * b.x + a.y * b.y) + (b.x * b.x + b.y * b.y));
    }
    // K can round to exactly 0 for a nearly collinear outline whose first sum did
    // not, or to far less than the area when large terms cancel: its second
    // moment is then taken as 0 rather than infinite or not a number.
    const double second_moment = std::fabs(J * polygon->area / (6 * K));
    polygon->second_moment = std::isfinite(second_moment) ? second_moment : 0;
    polygon_update_bounds(polygon);
}

// A segment lying along an edge (result 2) meets the polygon where it first
// touches the shared stretch. out[0] is that touch as a parameter along the
// edge (the segment's start raised onto the edge's start); turned into a
// parameter along the segment through s = P + G t.
static double collinear_segment_parameter(Segment segment, Segment edge, const double out[2]) {
    const LineFrame f = line_frame(segment, edge);
    return (out[0] - f.P) / f.G;
}

// A line lying along an edge meets the whole edge; the first point met along
// the line's direction is the edge's start when the two point the same way and
// its end otherwise. out[0] = P, out[1] = P + G (along the edge, unclipped).
static double collinear_line_parameter(const double out[2]) {
    const double P = out[0];
    const double G = out[1] - out[0];
    return ((G > 0 ? 0.0 : 1.0) - P) / G;
}

int32_t segment_first_intersects_polygon_at(const Polygon& polygon, Segment segment,
                                            Vector* point) {
    if (polygon.count == 0) {
        return -1;
    }
    double best = NO_CROSSING;
    int32_t best_edge = -1;
    for (uint32_t i = 0; i < polygon.count; ++i) {
        const Segment edge = edge_of(polygon, i);
        double out[2];
        const int result = segments_intersect(segment, edge, out);
        if (result == 0) {
            continue;
        }
        const double t = result == 1 ? out[0] : collinear_segment_parameter(segment, edge, out);
        if (t < best) { // strict: of two equal parameters the lower edge wins
            best = t;
            best_edge = static_cast<int32_t>(i);
            if (point != nullptr) {
                *point = vector_add(segment.origin, vector_scale(segment.direction, t));
            }
        }
    }
    return best_edge;
}

uint32_t line_intersects_polygon_at(const Polygon& polygon, Segment line, double parameters[],
                                    int32_t edges[], uint32_t k) {
    for (uint32_t j = 0; j < k; ++j) {
        parameters[j] = NO_CROSSING;
        edges[j] = -1;
    }
    uint32_t met = 0;
    for (uint32_t i = 0; i < polygon.count; ++i) {
        double out[2];
        const int result = line_intersects_segment(line, edge_of(polygon, i), out);
        if (result == 0) {
            continue;
        }
        const double t = result == 1 ? out[0] : collinear_line_parameter(out);
        if (k > 0) {
            insert_intersection(t, static_cast<int32_t>(i), parameters, edges, k);
        }
        ++met;
    }
    return met;
}

// Only a crossing below slot 0 enters, and it enters at slot 0; what it
// displaces moves down while the slots below hold larger parameters. With one
// slot (all the game asks for) slot 0 ends up with the smallest parameter; with
// more, the list is not the k smallest.
void insert_intersection(double t, int32_t edge, double parameters[], int32_t edges[], uint32_t k) {
    if (k == 0 || !(t < parameters[0])) {
        return;
    }
    double carried_t = parameters[0];
    int32_t carried_edge = edges[0];
    parameters[0] = t;
    edges[0] = edge;
    for (uint32_t j = 1; j < k && parameters[j] > carried_t; ++j) {
        std::swap(parameters[j], carried_t);
        std::swap(edges[j], carried_edge);
    }
}

// Cutting a polygon p(0) .. p(n - 1) along a chain c(0) .. c(m - 1) from a point
// on edge a to a point on edge b:
//   1. Order the ends: when a > b (as unsigned numbers) reverse the chain in
//      place and swap a and b, so the chain runs from edge a to edge b.
//   2. First piece: p(a) .. p(b - 1), then the chain backwards,
//      b - a + m points.
//   3. Second piece: p(b) .. p(a - 1) round the ring (all n points when a = b),
//      then the chain forwards, a - b + n + m points.
// Each piece walks the outline in its own winding order and closes through the
// chain, so both keep the polygon's winding; every original vertex goes to
// exactly one piece, the chain's ends to both. A piece of fewer than three
// points gets no vertex array but keeps its count.
int split_polygon(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
                  Polygon* first, Polygon* second) {
    first->vertices = nullptr;
    second->vertices = nullptr;

    auto from = static_cast<uint32_t>(a);
    auto to = static_cast<uint32_t>(b);
    if (from > to) {
        for (uint32_t i = 0; i < m / 2; ++i) {
            std::swap(chain[i], chain[m - 1 - i]);
        }
        std::swap(from, to);
    }
    const uint32_t n = polygon.count;
    first->count = to - from + m;
    second->count = from - to + n + m;
    if (to >= n) { // not an edge of this polygon: nothing to cut
        return 0;
    }

    const Vector* p = polygon.vertices;
    int first_failed = 0;
    if (first->count >= 3) {
        auto* v = static_cast<Vector*>(std::malloc(sizeof(Vector) * first->count));
        if (v == nullptr) {
            first_failed = 1;
        } else {
            uint32_t k = 0;
            for (uint32_t i = from; i < to; ++i) {
                v[k++] = p[i % n];
            }
            for (uint32_t i = m; i-- > 0;) {
                v[k++] = chain[i];
            }
            first->vertices = v;
        }
    }
    if (second->count >= 3) {
        auto* v = static_cast<Vector*>(std::malloc(sizeof(Vector) * second->count));
        if (v == nullptr) {
            std::free(first->vertices);
            first->vertices = nullptr;
            return 0;
        }
        uint32_t k = 0;
        for (uint32_t i = 0; i < n - (to - from); ++i) {
            v[k++] = p[(to + i) % n];
        }
        for (uint32_t i = 0; i < m; ++i) {
            v[k++] = chain[i];
        }
        second->vertices = v;
    }
    if (first_failed) {
        std::free(second->vertices);
        second->vertices = nullptr;
        return 0;
    }
    return 1;
}

// An outline the game can use: three points or more, the game's winding
// (negative shoelace sum), no edge of zero length, every coordinate finite.
int polygon_is_sound(const Polygon& polygon) {
    const uint32_t n = polygon.count;
    if (n < 3 || polygon.vertices == nullptr) {
        return 0;
    }
    double S = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const Vector a = polygon.vertices[i == 0 ? n - 1 : i - 1];
        const Vector b = polygon.vertices[i];
        if (!std::isfinite(b.x) || !std::isfinite(b.y) || (a.x == b.x && a.y == b.y)) {
            return 0;
        }
        S += vector_cross(a, b);
    }
    return S < 0 ? 1 : 0;
}

// Parity of the edges that a ray from the point toward +x crosses; an edge
// through the point (ends included) settles it at once as outside.
int point_strictly_inside(const Polygon& polygon, Vector point) {
    const uint32_t n = polygon.count;
    bool inside = false;
    for (uint32_t i = 0; i < n; ++i) {
        const Vector a = polygon.vertices[i == 0 ? n - 1 : i - 1];
        const Vector b = polygon.vertices[i];
        const Vector ab = vector_sub(b, a);
        const Vector ap = vector_sub(point, a);
        if (vector_cross(ab, ap) == 0 && vector_dot(ap, vector_sub(point, b)) <= 0) {
            return 0;
        }
        if ((a.y > point.y) != (b.y > point.y) && point.x < a.x + (point.y - a.y) / ab.y * ab.x) {
            inside = !inside;
        }
    }
    return inside ? 1 : 0;
}
