// Writes the game's icon, an SVG file: the ship's own outline (ship_points),
// nose up as the game shows it at the start, in the ship's red on a black
// rounded square. Usage: make_icon FILE
#include "brelkor.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr double ICON_SIZE = 128; // the view box is ICON_SIZE by ICON_SIZE
constexpr double CORNER = 24;     // radius of the square's rounded corners
constexpr double FILL = 0.625;    // share of the square the ship's height takes
constexpr double STROKE = 5;

// The heading of a ship facing up the screen.
constexpr Vector FACING_UP = {0, -1};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_icon FILE\n", stderr);
        return 2;
    }
    Vector points[std::size(ship_points)];
    std::transform(std::begin(ship_points), std::end(ship_points), points,
                   [](Vector p) { return vector_rotate(p, FACING_UP); });

    Vector low = points[0];
    Vector high = points[0];
    for (const Vector& p : points) {
        low = Vector{std::min(low.x, p.x), std::min(low.y, p.y)};
        high = Vector{std::max(high.x, p.x), std::max(high.y, p.y)};
    }
    const double scale = FILL * ICON_SIZE / std::max(high.x - low.x, high.y - low.y);
    const Vector centre = vector_scale(vector_add(low, high), 0.5);

    std::FILE* file = std::fopen(argv[1], "w");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(file,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" "
                 "viewBox=\"0 0 %g %g\">\n"
                 "  <rect width=\"%g\" height=\"%g\" rx=\"%g\" fill=\"rgb(0,0,0)\"/>\n"
                 "  <polygon fill=\"none\" stroke=\"rgb(255,40,40)\" stroke-width=\"%g\" "
                 "stroke-linejoin=\"round\" points=\"",
                 ICON_SIZE, ICON_SIZE, ICON_SIZE, ICON_SIZE, ICON_SIZE, ICON_SIZE, CORNER, STROKE);
    const char* separator = "";
    for (const Vector& p : points) {
        const Vector q = vector_add(vector_scale(vector_sub(p, centre), scale),
                                    Vector{ICON_SIZE / 2, ICON_SIZE / 2});
        std::fprintf(file, "%s%g,%g", separator, q.x, q.y);
        separator = " ";
    }
    std::fputs("\"/>\n</svg>\n", file);
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
