// Wrapped drawing of any segment, and of any outline, in a field of any size.
// It always returns promptly (the run's -timeout), draws a bounded number of
// lines, and every line it draws lies in the field. SDL is not needed: the one
// SDL call the drawing makes lands in the stub below.
#include <SDL.h>

#include "draw.h"
#include "fuzz_common.h"

namespace {
Vector field;
long drawn;
} // namespace

extern "C" int SDL_RenderDrawLine(SDL_Renderer*, int x1, int y1, int x2, int y2) {
    ++drawn;
    REQUIRE(drawn <= 50000000);
    REQUIRE(x1 >= 0 && x2 >= 0 && y1 >= 0 && y2 >= 0);
    REQUIRE(x1 <= field.x && x2 <= field.x && y1 <= field.y && y2 <= field.y);
    REQUIRE(y1 <= y2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    field = Vector{in.real(), in.real()};
    drawn = 0;
    draw_wrapped_segment(nullptr, Segment{{in.real(), in.real()}, {in.real(), in.real()}}, field);
    const Vector position{in.real(), in.real()}, orientation{in.real(), in.real()};
    Vector points[16];
    uint32_t n = 0;
    while (n < 16 && in.size >= 2 * sizeof(double)) {
        points[n++] = Vector{in.real(), in.real()};
    }
    const Polygon polygon{points, n, in.byte() % 2, 0, 0, 0};
    draw_oriented_polygon(nullptr, polygon, position, orientation, field);
    return 0;
}
