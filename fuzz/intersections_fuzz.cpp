// The intersection tests on any two segments. Each returns one of its codes;
// a segment crossing lies within both half-open ranges; a collinear overlap is
// clipped to the second segment; the quick test agrees with the full one; and
// the line test never refuses what the segment test finds on the segment.
// Overflowing inputs may leave a clipped end not a number, as the formulas give.
#include "fuzz_common.h"
#include "shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const Segment a{{in.real(), in.real()}, {in.real(), in.real()}};
    const Segment b{{in.real(), in.real()}, {in.real(), in.real()}};
    double first[2] = {-7, -7}, second[2] = {-7, -7};
    const int lines = lines_intersect(a, b, first, second);
    REQUIRE(lines >= 0 && lines <= 2);
    if (lines == 0) {
        REQUIRE(first[0] == -7 && first[1] == -7 && second[0] == -7);
    }
    double out[2];
    const int segments = segments_intersect(a, b, out);
    REQUIRE(segments >= 0 && segments <= 2 && (segments == 0 || segments == lines));
    if (segments == 1) {
        REQUIRE(0 <= out[0] && out[0] < 1);
    }
    if (segments == 2 && !std::isnan(out[0]) &&
        !std::isnan(out[1])) { // overflow: P + G = inf - inf
        REQUIRE(out[0] >= 0 && out[1] <= 1 && out[0] < 1 && out[1] >= 0);
    }
    REQUIRE(segments_intersect_anywhere(a, b) == (segments != 0));
    double along[2];
    const int line = line_intersects_segment(a, b, along);
    REQUIRE(line >= 0 && line <= 2 && (line == 0 || line == lines));
    if (segments != 0) {
        REQUIRE(line == segments);
    }
    if (segments == 1) {
        REQUIRE(along[0] == out[0]);
    }
    return 0;
}
