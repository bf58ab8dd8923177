// Timings of the geometry under every frame: the mass properties of a rock
// outline, the segment test behind collision detection, and wrapped drawing of
// an outline that straddles a corner of the field.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "draw.h"
#include "shapes.h"

// Lines drawn here cost nothing: the timings are those of the cutting alone.
extern "C" int __wrap_SDL_RenderDrawLine(SDL_Renderer*, int, int, int, int) { return 0; }

namespace {

// A rock-like ring of 16 vertices, radii 30 to 45 pixels, in the game's winding
// (angles falling, so the shoelace sum is negative), centred on `centre`.
std::vector<Vector> rock_outline(Vector centre) {
    std::vector<Vector> points;
    for (int i = 0; i < 16; ++i) {
        const double angle = -2 * std::numbers::pi * i / 16;
        const double radius = 30 + 15 * ((i * 7) % 5) / 4.0;
        points.push_back(
            Vector{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    return points;
}

void BM_InitPolygon(benchmark::State& state) {
    // Off-centre, so that every run moves the points; restoring them (16
    // copies) is part of each iteration and costs a few nanoseconds.
    const std::vector<Vector> original = rock_outline(Vector{7, -3});
    std::vector<Vector> points = original;
    Polygon polygon{};
    polygon.vertices = points.data();
    polygon.count = static_cast<uint32_t>(points.size());
    Vector centroid;
    for (auto _ : state) {
        std::copy(original.begin(), original.end(), points.begin());
        init_polygon(&polygon, &centroid);
        benchmark::DoNotOptimize(centroid);
        benchmark::DoNotOptimize(polygon.second_moment);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InitPolygon);

void BM_SegmentsIntersect(benchmark::State& state) {
    // Random pairs within a rock's reach: a mix of crossing and disjoint ones.
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> coord(-40, 40);
    std::vector<Segment> segments(1024);
    for (Segment& s : segments) {
        s = Segment{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
    }
    size_t i = 0;
    double out[2];
    for (auto _ : state) {
        const Segment& a = segments[i % 1024];
        const Segment& b = segments[(i + 1) % 1024];
        benchmark::DoNotOptimize(segments_intersect(a, b, out));
        benchmark::DoNotOptimize(out);
        ++i;
    }
}
BENCHMARK(BM_SegmentsIntersect);

void BM_DrawOrientedPolygon(benchmark::State& state) {
    // Centred 10 pixels from each of the top and left borders: the edges over
    // them are cut and drawn again at the far side, 20 lines for 16 edges.
    std::vector<Vector> points = rock_outline(Vector{0, 0});
    Polygon polygon{};
    polygon.vertices = points.data();
    polygon.count = static_cast<uint32_t>(points.size());
    polygon.closed = 1;
    const Vector world_size{800, 600};
    const Vector orientation{std::cos(0.3), std::sin(0.3)};
    for (auto _ : state) {
        draw_oriented_polygon(nullptr, polygon, Vector{10, 10}, orientation, world_size);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * polygon.count);
}
BENCHMARK(BM_DrawOrientedPolygon);

} // namespace
