// A cut that hands back two pieces without vertex arrays, which no outline
// the game makes produces: this executable is linked with --wrap for
// split_polygon's symbol, so the crack's call lands in empty_split.
#include "brelkor.h"

#include <gtest/gtest.h>

#include "rock.h"

int empty_split(const Polygon& polygon, int32_t a, int32_t b, Vector chain[], uint32_t m,
                Polygon* first,
                Polygon* second) asm("__wrap__Z13split_polygonRK7PolygoniiP6VectorjPS_S4_");

int empty_split(const Polygon&, int32_t, int32_t, Vector[], uint32_t, Polygon* first,
                Polygon* second) {
    *first = *second = Polygon{nullptr, 2, 0, 0, 0, 0};
    return 1;
}

TEST(EmptySplitTest, ReportsAndLeavesRockAsItWas) {
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    Sprite* rock = active_sprites(game)[1];
    Sprite missile{};
    missile.position = vector_sub(rock->position, Vector{200, 0});
    missile.orientation = Vector{1, 0};
    seed_random(7);
    testing::internal::CaptureStderr();
    crack_rock(&game, rock, missile);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "split into two empty pieces??\n");
    EXPECT_EQ(rock->kind, KIND_ROCK);
    EXPECT_EQ(game.active.count, 2u) << "nothing listed";
    release_game(&game);
}
