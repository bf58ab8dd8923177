// Failure paths, one row each: a heap request that fails (the seams let a
// number of requests through first), a list that is full, an outline or a
// field that is degenerate. Each row says what the game prints, byte for byte,
// and what it leaves; every heap block taken in a row must be given back by its
// end (and the sanitizer build sees any leak or dangling pointer).
#include "brelkor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "draw.h"
#include "rock.h"
#include "seams.h"

namespace {

const Points BOX{{-40, -30}, {-40, 30}, {40, 30}, {40, -30}};
const Points THIN{{-50, -5}, {-50, 5}, {50, 5}, {50, -5}}; // both halves shatter

// A rock of the outline at (300, 300) cracked by a missile from `from` (in the
// rock's frame) heading along +x or +y, with every draw 16384 (steps of 0.375
// of the radius, bent by 0.125): what is listed behind the ship and the rock.
// With room left, the list is filled up to that many free slots first.
std::string crack(const Points& outline, Vector from, Vector heading, int skip, int count = 1,
                  uint32_t room = GAME_CAPACITY) {
    static Sprite filler{};
    Game game{};
    init_game(&game, 800, 600, 0);
    while (game.active.count + 1 + room < GAME_CAPACITY) {
        activate_sprite(&game, &filler);
    }
    auto* rock = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    auto* v = static_cast<Vector*>(std::malloc(sizeof(Vector) * outline.size()));
    std::copy(outline.begin(), outline.end(), v);
    init_sprite(rock, 300, 300, Polygon{v, static_cast<uint32_t>(outline.size()), 1, 0, 0, 0},
                ROCK_DENSITY, 200, 200, 200);
    rock->kind = KIND_ROCK;
    rock->storage = STORAGE_HEAP_ROCK;
    activate_sprite(&game, rock);
    const uint16_t half = 16384;
    replay_random(&half, 1);
    Sprite missile{};
    missile.position = vector_add(rock->position, from);
    missile.orientation = heading;
    fail_malloc_after(skip, count);
    crack_rock(&game, rock, missile);
    fail_malloc_after(-1);
    replay_random(nullptr, 0);
    const uint32_t fillers = static_cast<uint32_t>(
        std::count(active_sprites(game), active_sprites(game) + game.active.count, &filler));
    const std::string left = std::to_string(game.active.count - 2 - fillers) + " listed, rock " +
                             (rock->kind == KIND_DEAD ? "dead" : "whole");
    release_game(&game);
    return left;
}

std::string start(int rocks, int skip) {
    Game game{};
    fail_malloc_after(skip);
    const int ready = init_game(&game, 800, 600, rocks);
    fail_malloc_after(-1);
    const std::string left = std::to_string(ready) + ", " + std::to_string(game.active.count);
    release_game(&game);
    return left;
}

std::string slab(uint32_t size, uint32_t capacity, int skip) {
    Slab s{&s, 7, 3, 9};
    fail_malloc_after(skip);
    const int ready = init_slab(&s, size, capacity);
    const bool kept = s.items == &s && s.item_size == 7 && s.count == 3 && s.capacity == 9;
    std::string left = std::to_string(ready) + (kept ? " untouched" : " set");
    if (ready) {
        release_slab(&s);
        left += s.items == nullptr && s.count == 0 && s.capacity == 0 ? ", released" : ", kept";
    }
    return left;
}

std::string rocks(int skip) {
    auto* made = static_cast<Sprite*>(std::malloc(3 * sizeof(Sprite)));
    std::memset(rock_points, 0, sizeof rock_points); // the directions are filled first
    fail_malloc_after(skip);
    Sprite* result = generate_rocks(made, 3, FIELD, 1, 2, 3);
    if (result != nullptr && (rock_points[4].y != -1 || made[2].kind != KIND_ROCK)) {
        return "made wrong";
    }
    if (result != nullptr) {
        for (int i = 0; i < 3; ++i) {
            std::free(made[i].polygon.vertices);
        }
        std::free(made);
    }
    return result != nullptr ? "made" : "none";
}

std::string rock_in_place() {
    Sprite storage, pattern;
    std::memset(static_cast<void*>(&storage), 0xab, sizeof storage);
    std::memset(static_cast<void*>(&pattern), 0xab, sizeof pattern);
    fail_malloc_after(0);
    const bool made = random_rock(&storage, FIELD, 1, 2, 3) != nullptr;
    return std::string(made ? "made" : "none") +
           (std::memcmp(&storage, &pattern, sizeof storage) == 0 ? ", untouched" : ", written");
}

std::string split(int skip, int count, int32_t b) {
    Points square{{0, 0}, {0, 4}, {4, 4}, {4, 0}}, chain{{0, 1}, {b == 3 ? 4.0 : 0.0, 3}};
    Polygon pieces[2]{{square.data(), 0, 0, 0, 0, 0},
                      {square.data(), 0, 0, 0, 0, 0}}; // unset shows
    fail_malloc_after(skip, count);
    const int r = split_polygon(Polygon{square.data(), 4, 1, 0, 0, 0}, 1, b, chain.data(), 2,
                                &pieces[0], &pieces[1]);
    return std::to_string(r) + (pieces[0].vertices == nullptr && pieces[1].vertices == nullptr
                                    ? ", no pieces"
                                    : ", pieces");
}

std::string missile() {
    Ship ship{};
    init_ship(&ship, 400, 300);
    fail_malloc_after(0);
    Missile* m = fire_missile(&ship);
    std::free(m);
    return std::string(m != nullptr ? "fired" : "none") + ", cool-down " +
           std::to_string(ship.fire_cooldown_ms);
}

// A piece without vertices makes no fragments and is given back all the same.
std::string empty_piece() {
    Game game{};
    init_game(&game, 800, 600, 0);
    auto* piece = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    *piece = Sprite{};
    piece->storage = STORAGE_HEAP_ROCK;
    shatter_rock(&game, piece);
    const std::string left = std::to_string(game.active.count - 1) + " listed";
    release_game(&game);
    return left;
}

// A full list takes nothing more, and a shot then is lost while the cool-down
// runs.
std::string full_list() {
    Game game{};
    init_game(&game, 800, 600, 99);
    Sprite extra{};
    const int listed = activate_sprite(&game, &extra);
    game.ship.controls = CONTROL_FIRE;
    step_game(&game, 0.01);
    const std::string left = std::to_string(listed) + ", " + std::to_string(game.active.count) +
                             ", cool-down " + std::to_string(game.ship.fire_cooldown_ms);
    release_game(&game);
    return left;
}

// Outlines so small that 1 / (6 A) overflows, or whose cancelling terms leave
// a tiny area with a centroid or second moment that overflows: finite all the
// same. Masses too small to invert take no impulse.
std::string degenerate() {
    const Points outlines[] = {
        {{0, 0}, {0x1p-537, 0}, {0, 0x1p-537}},
        {{0, 0}, {0x1p-537, 0}, {0, 0x1p-536}},
        {{0, 0}, {0, 4}, {4, 0}, {4, 4}, {0x1p-1022, 0x1p-1031}},
        {{7.6414643e-317, 0},
         {0, 8.1027e-320},
         {0, 0},
         {-133762461466624.0, -41255400998277.516},
         {-41255400998277.516, 1.0387856152602562e-13},
         {-41255400998277.516, -41255400998277.516},
         {5.776622002767456e-275, 2.61920051908e-312},
         {0, 3.49895885972264e-310}},
    };
    int finite = 0;
    for (Points points : outlines) {
        Polygon p{points.data(), static_cast<uint32_t>(points.size()), 1, 0, 0, 0};
        Vector c;
        init_polygon(&p, &c);
        finite += std::isfinite(p.area + p.second_moment + c.x + c.y + points[0].x);
    }
    Points tiny{{0, 0}, {0x1p-512, 0}, {0, 0x1p-512}}, box{{5, 5}, {5, -5}, {-5, -5}, {-5, 5}};
    Sprite a{}, b{};
    init_sprite(&a, 100, 100, Polygon{tiny.data(), 3, 1, 0, 0, 0}, 1, 0, 0, 0);
    init_sprite(&b, 100, 100, Polygon{box.data(), 4, 1, 0, 0, 0}, 0x1p-1032, 0, 0, 0);
    return std::to_string(finite) + " finite, inverses " + std::to_string(a.inverse_mass) + " " +
           std::to_string(a.inverse_moment) + " " + std::to_string(b.inverse_mass);
}

// A tall field whose margin is below the rounding of y must not cut a line
// longer than the segment, nor shorter than none.
std::string tall_fields() {
    reset_seams();
    draw_wrapped_segment(nullptr, Segment{{0, 1e-306}, {799.9999, 0x1.33p-12}},
                         {800, 2576980377600});
    draw_wrapped_segment(nullptr, Segment{{0, 1e-229}, {39.99349346504277, 0x1.336e2eb1c2d88p-12}},
                         {3.126953125, 352321536000});
    std::string lines;
    for (const DrawnLine& l : seams.lines) {
        lines += " " + std::to_string(l.x1) + "-" + std::to_string(l.x2);
    }
    return lines;
}

struct Failure {
    const char* what;
    std::function<std::string()> run;
    std::string left;      // what the row's run reports
    std::string said = ""; // on stderr
};

} // namespace

TEST(Failures, EachPrintsItsLineAndLeavesNothingBehind) {
    const char* no_split = "failed to split polygon.\n";
    const char* no_record = "failed to allocate rock fragment.\n";
    const Vector left{-100, 0}, above{0, -20}, east{1, 0}, south{0, 1};
    const Failure rows[] = {
        {"the rock slab", [] { return start(4, 0); }, "0, 0"},
        {"the list", [] { return start(4, 1); }, "0, 0"},
        {"the second rock's outline", [] { return start(4, 3); }, "0, 2"},
        {"the hundredth rock", [] { return start(100, -1); }, "0, 100"},
        {"a slab without memory", [] { return slab(4, 100, 0); }, "0 untouched"},
        {"a slab beyond 32 bits", [] { return slab(0x10000, 0x10000, -1); }, "0 untouched"},
        {"a slab of no size", [] { return slab(0, 100, -1); }, "0 untouched"},
        {"a rock's outline", rock_in_place, "none, untouched"},
        {"three rocks", [] { return rocks(-1); }, "made"},
        {"a slab set up and released", [] { return slab(4, 2, -1); }, "1 set, released"},
        {"the first rock of three", [] { return rocks(0); }, "none"},
        {"the second rock of three", [] { return rocks(2); }, "none"},
        {"a missile", missile, "none, cool-down 0"},
        {"the list full", full_list, "0, 100, cool-down 400"},
        {"a cut's first piece", [] { return split(0, 1, 3); }, "0, no pieces"},
        {"a cut's second piece", [] { return split(1, 1, 3); }, "0, no pieces"},
        {"both pieces", [] { return split(0, 2, 3); }, "0, no pieces"},
        {"the only piece", [] { return split(0, 1, 1); }, "0, no pieces"},
        {"a crack's first array", [&] { return crack(BOX, left, east, 0); }, "0 listed, rock whole",
         no_split},
        {"its second array", [&] { return crack(BOX, left, east, 1); }, "0 listed, rock whole",
         no_split},
        {"its first record", [&] { return crack(BOX, left, east, 2); }, "1 listed, rock dead",
         no_record},
        {"its second record", [&] { return crack(BOX, left, east, 3); }, "1 listed, rock dead",
         no_record},
        {"after the records", [&] { return crack(BOX, left, east, 4); }, "2 listed, rock dead"},
        {"a shattering's first record", [&] { return crack(THIN, above, south, 2); },
         "4 listed, rock dead", no_record},
        {"its first block", [&] { return crack(THIN, above, south, 3); }, "4 listed, rock dead"},
        {"its first ring", [&] { return crack(THIN, above, south, 4); }, "4 listed, rock dead"},
        {"its second record", [&] { return crack(THIN, above, south, 5); }, "4 listed, rock dead",
         no_record},
        {"its second ring", [&] { return crack(THIN, above, south, 7); }, "4 listed, rock dead"},
        {"a shattering, whole", [&] { return crack(THIN, above, south, -1); },
         "8 listed, rock dead"},
        {"a second piece finding the list full", [&] { return crack(BOX, left, east, -1, 1, 1); },
         "1 listed, rock dead"},
        {"a shattering finding the list full", [&] { return crack(THIN, above, south, -1, 1, 0); },
         "0 listed, rock dead"},
        {"a piece without vertices", empty_piece, "0 listed"},
        {"degenerate outlines and masses", degenerate,
         "4 finite, inverses 0.000000 0.000000 0.000000"},
        {"tall fields", tall_fields, " 0-799 0-3 0-3 0-3 0-3 0-3 0-3 0-3 0-3 3-3"},
    };
    for (const Failure& row : rows) {
        reset_seams();
        testing::internal::CaptureStderr();
        EXPECT_EQ(row.run(), row.left) << row.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.said) << row.what;
        EXPECT_EQ(seams.blocks, 0) << row.what << ": heap blocks not given back";
    }
    reset_seams();
}
