// A cut that hands back two pieces without vertex arrays, which no outline
// the game makes produces: this executable is linked with --wrap for
// split_polygon's symbol, so the crack's call lands in empty_split.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "rock.h"

namespace {

bool split_empty = false; // hand back two empty pieces instead of cutting

} // namespace

int real_split(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
               Polygon* first,
               Polygon* second) asm("__real__Z13split_polygonRK7PolygoniiP6VectorjPS_S4_");
int empty_split(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
                Polygon* first,
                Polygon* second) asm("__wrap__Z13split_polygonRK7PolygoniiP6VectorjPS_S4_");

int empty_split(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
                Polygon* first, Polygon* second) {
    if (!split_empty) {
        return real_split(polygon, a, b, chain, m, first, second);
    }
    *first = Polygon{nullptr, 2, 0, 0, 0, 0};
    *second = Polygon{nullptr, 2, 0, 0, 0, 0};
    return 1;
}

TEST(EmptySplitTest, ReportsAndLeavesRockAsItWas) {
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    Sprite* rock = active_sprites(game)[1];
    Sprite missile{};
    missile.position = vector_sub(rock->position, Vector{200, 0});
    missile.orientation = Vector{1, 0};
    for (bool empty : {true, false}) {
        split_empty = empty;
        seed_random(7);
        testing::internal::CaptureStderr();
        crack_rock(&game, rock, missile);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  empty ? "split into two empty pieces??\n" : "");
        EXPECT_EQ(rock->kind == KIND_ROCK, empty);
        EXPECT_EQ(game.active.count > 2, !empty) << "the real cut lists the pieces";
    }
    release_game(&game);
}
