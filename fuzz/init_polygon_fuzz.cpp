// init_polygon on any outline of up to 64 vertices. It always returns and marks
// the outline closed. With every coordinate finite and within 2^64 pixels of
// the origin (so that the sums of fourth powers cannot overflow), every value
// it yields is finite, the area and second moment are not negative, and the
// radius is the largest distance of a moved vertex from the origin.
#include "fuzz_common.h"
#include "shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    Vector points[64];
    uint32_t n = 0;
    bool tame = true;
    while (n < 64 && in.size >= 2 * sizeof(double)) {
        points[n] = Vector{in.real(), in.real()};
        tame = tame && std::fabs(points[n].x) <= 0x1p64 && std::fabs(points[n].y) <= 0x1p64;
        ++n;
    }
    Polygon polygon{points, n, 0, -1, -1, -1};
    Vector centroid{-1, -1};
    init_polygon(&polygon, &centroid);
    REQUIRE(polygon.closed == 1);
    if (!tame) {
        return 0;
    }
    REQUIRE(std::isfinite(polygon.area) && polygon.area >= 0);
    REQUIRE(std::isfinite(polygon.second_moment) && polygon.second_moment >= 0);
    REQUIRE(std::isfinite(centroid.x) && std::isfinite(centroid.y));
    double largest = 0;
    for (uint32_t i = 0; i < n; ++i) {
        REQUIRE(std::isfinite(points[i].x) && std::isfinite(points[i].y));
        largest = std::fmax(largest, points[i].x * points[i].x + points[i].y * points[i].y);
    }
    REQUIRE(polygon.radius == std::sqrt(largest));
    return 0;
}
