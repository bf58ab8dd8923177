// Worked examples: the game's own numbers, worked out by hand, one table a
// module. The probes and golden games pin every bit; these say what the numbers
// mean, so that a reader can check them on paper.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "draw.h"
#include "rock.h"
#include "seams.h"
#include "slab.h"

namespace {

Sprite disc(double x, double y, double radius) {
    Sprite s{};
    s.position = Vector{x, y};
    s.polygon.radius = radius;
    return s;
}

void expect_near(Vector actual, Vector expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

} // namespace

extern "C" int __real_SDL_SetRenderDrawColor(SDL_Renderer*, Uint8, Uint8, Uint8, Uint8);

// The ship's outline has area 520 about the centroid (-5, 0), second moment
// 225940/3 and reaches 30 from it; the missile's, 12 about (2, 0), 32 and 4.
TEST(Examples, MassProperties) {
    const std::tuple<Points, double, Vector, double, double> cases[] = {
        {{{25, 0}, {-25, -13}, {-15, 0}, {-25, 13}}, 520, {-5, 0}, 225940.0 / 3, 30},
        {{{6, 0}, {0, -2}, {0, 2}}, 12, {2, 0}, 32, 4},
    };
    for (auto [points, area, centroid, second_moment, radius] : cases) {
        Polygon p{points.data(), static_cast<uint32_t>(points.size()), 1, 0, 0, 0};
        Vector c;
        init_polygon(&p, &c);
        EXPECT_EQ(std::tuple(p.area, c.x, c.y, p.second_moment, p.radius),
                  std::tuple(area, centroid.x, centroid.y, second_moment, radius));
    }
}

// The geometry's bounds, which no game meets. Outlines of no area (no points,
// one) get area 0 and the mean of their points as centroid, the points moved
// onto it; a polyline is open and has no area. A crossing that enters slot 0
// moves what it displaces down while the slots below hold larger parameters,
// and never past the k slots. An outline is sound with three points of the
// game's winding (a shoelace sum of -16, or of only -0.25), not with a point
// twice. A point on a vertex is not inside; one beyond an edge's end, on its
// line, is when the outline bends round it. Of two edges met at one parameter
// (an outline doubled back on itself) the lower wins; a line that meets nothing
// leaves its one slot empty and the next untouched. Segments that cross meet
// somewhere; a segment and a point off it do not. A cut whose first or second
// piece finds no memory gives the other back and fails; so does a cut to an
// edge the outline does not have.
TEST(Examples, Geometry) {
    const std::tuple<Points, Vector, Points> flat[] = {{{}, {0, 0}, {}},
                                                       {{{0.5, 1}}, {0.5, 1}, {{0, 0}}}};
    for (auto [points, centroid, moved] : flat) {
        Polygon p{points.data(), static_cast<uint32_t>(points.size()), 0, 9, 9, 9};
        Vector c{-7, -7};
        init_polygon(&p, &c);
        EXPECT_EQ(std::tuple(c.x, c.y, p.area, p.second_moment),
                  std::tuple(centroid.x, centroid.y, 0.0, 0.0));
        for (size_t k = 0; k < points.size(); ++k) {
            EXPECT_EQ(std::tuple(points[k].x, points[k].y), std::tuple(moved[k].x, moved[k].y));
        }
    }
    Points line{{0.5, 0.75}, {0, -1.75}};
    Polygon polyline{line.data(), 2, 1, 9, 9, 9};
    init_polyline(&polyline);
    EXPECT_EQ(std::tuple(polyline.radius, polyline.area, polyline.second_moment, polyline.closed),
              std::tuple(1.75, 0.0, 0.0, 0));
    using Slots = std::array<double, 4>;
    using Edges = std::array<int32_t, 4>;
    const std::tuple<uint32_t, Slots, double, int32_t, Slots, Edges> inserts[] = {
        {2, {1, 2, 5, 5}, 0, 10, {0, 1, 5, 5}, {10, 1, 3, 4}},
        {1, {3, 4, 5, 5}, 0, 12, {0, 4, 5, 5}, {12, 2, 3, 4}},
        {2, {1, 1, 5, 5}, 0, 11, {0, 1, 5, 5}, {11, 2, 3, 4}}};
    for (auto [k, slots, t, edge, after, edges_after] : inserts) {
        Edges edges{1, 2, 3, 4};
        insert_intersection(t, edge, slots.data(), edges.data(), k);
        EXPECT_EQ(std::tuple(slots, edges), std::tuple(after, edges_after)) << k << " slots";
    }
    const Points sound[] = {{{0, 0}, {0, 4}, {4, 0}},
                            {{0, 0}, {0, 0.5}, {0.5, 0}},
                            {{0.5, 0}, {1, 0.5}, {4, 0}, {4, 0}}};
    for (Points points : sound) {
        const Polygon p{points.data(), static_cast<uint32_t>(points.size()), 1, 0, 0, 0};
        EXPECT_EQ(polygon_is_sound(p), points.size() == 3) << points.size() << " points";
    }
    Points triangle{{1, 3}, {4, 0.5}, {1, 1}}, bent{{3, 3}, {-2, 0}, {1, 0.5}, {1, 0.5}, {0, -2}};
    EXPECT_EQ(point_strictly_inside(Polygon{triangle.data(), 3, 1, 0, 0, 0}, Vector{1, 1}), 0);
    EXPECT_EQ(point_strictly_inside(Polygon{bent.data(), 5, 1, 0, 0, 0}, Vector{0.5, 1}), 1);
    Points box = square(2);
    const Polygon p{box.data(), 4, 1, 0, 0, 0};
    Vector point{-7, -7};
    EXPECT_EQ(segment_first_intersects_polygon_at(Polygon{}, Segment{{0, 0}, {1, 0}}, &point), -1);
    Points back{{1, 3}, {2.25, 0}, {2.25, 0}}; // its first two edges one segment, both ways
    EXPECT_EQ(segment_first_intersects_polygon_at(Polygon{back.data(), 3, 1, 0, 0, 0},
                                                  Segment{{0, 2.25}, {3, 0}}, &point),
              0);
    double t[2] = {-7, -7};
    int32_t e[2] = {-7, -7};
    EXPECT_EQ(line_intersects_polygon_at(p, Segment{{10, 10}, {1, 0}}, t, e, 1), 0u);
    EXPECT_EQ(std::tuple(t[0], t[1], e[0], e[1]), std::tuple(NO_CROSSING, -7.0, -1, -7));
    EXPECT_EQ(std::tuple(segments_intersect_anywhere({{0.5, 0}, {0, 4}}, {{2, -1}, {-2, 4}}),
                         segments_intersect_anywhere({{2.25, 4}, {2, 4}}, {{3, 0}, {0, 0}})),
              std::tuple(1, 0));
    Polygon pieces[2];
    Vector chain[1] = {{0, 0}};
    for (const int failing : {0, 1}) { // the first piece's request, or the second's
        fail_malloc_after(failing);
        EXPECT_EQ(split_polygon(p, 1, 3, chain, 1, &pieces[0], &pieces[1]), 0) << failing;
        fail_malloc_after(-1);
        EXPECT_EQ(std::tuple(pieces[0].vertices, pieces[1].vertices), std::tuple(nullptr, nullptr));
    }
    EXPECT_EQ(split_polygon(p, 1, 4, chain, 1, &pieces[0], &pieces[1]), 0) << "no edge 4";
    EXPECT_EQ(std::tuple(pieces[0].vertices, pieces[1].vertices), std::tuple(nullptr, nullptr));
}

// Wrapping by the period (the field less its two margins); a push along the
// line of centres to 1.01 times the sum of the radii, less 0.01 of the overlap;
// a head-on bounce keeping 0.9 of the approach speed; exactly half the field
// keeping its sign. Two bodies that cannot take an impulse (no inverse mass,
// and no lever arm for the inverse moments they have) are left as they were,
// not made NaN. Exactly on a margin a coordinate stays; one not finite, or on
// a field too narrow to wrap, is left as it is; one a million periods out is
// brought near by the remainder first. Bodies on one spot: the push
// goes along +x (across the edge here), the nudge not at all. A missile that
// meets the ship dies; the ship flies on.
TEST(Examples, RigidBodies) {
    const std::tuple<double, double, double> wraps[] = {
        {799.99995, 800, 0.00015},    {-0.5, 800, 799.4998}, {2500, 800, 100.0006},
        {99.9999, 100, 99.9999},      {0.0001, 50, 0.0001},  {INFINITY, 50, INFINITY},
        {0, 0.0002 + 0.99995e-10, 0}, {60, 50, 10.0002},     {1e13, 800, 0.62437244849888884}};
    for (auto [x, size, wrapped] : wraps) {
        const double w = wrap_coordinate(x, size);
        EXPECT_TRUE(w == wrapped || std::fabs(w - wrapped) < 1e-9)
            << x << " on " << size << ": " << w;
    }
    Sprite b = disc(130, 100, 20);
    shift_sprite_away_from(disc(100, 100, 30), &b, FIELD);
    expect_near(b.position, Vector{150.2, 100});
    b = disc(795, 130, 10);
    shift_sprite_away_from(disc(795, 130, 0), &b, FIELD);
    expect_near(b.position, Vector{795 + 10.1 - 799.9998, 130});
    b.velocity = Vector{-50, 30};
    nudge_fragment(b, &b);
    expect_near(b.velocity, Vector{-50, 30});
    Game game{};
    game.world_size = FIELD;
    Sprite ship = body(square(10), 100, 100), missile = body(square(10), 120, 100);
    std::tie(ship.kind, missile.kind, ship.velocity) =
        std::tuple(KIND_SHIP, KIND_MISSILE, Vector{50, 0});
    collide_sprite_pair(&ship, &missile, &game, Vector{110, 100}, Vector{-1, 0});
    EXPECT_EQ(std::tuple(ship.kind, missile.kind, ship.velocity.x),
              std::tuple(KIND_SHIP, KIND_DEAD, 50.0));
    Sprite first = body(square(10), 100, 100), second = body(square(10), 120, 100);
    first.velocity = Vector{50, 0};
    second.velocity = Vector{-50, 0};
    bounce_sprite_pair(&first, &second, FIELD, Vector{110, 100}, Vector{-1, 0});
    EXPECT_EQ(std::tuple(first.velocity.x, second.velocity.x), std::tuple(-45.0, 45.0));
    EXPECT_EQ(torus_displacement(Vector{100, 0}, Vector{500, 0}, FIELD).x, 400.0);
    EXPECT_EQ(torus_displacement(Vector{500, 0}, Vector{100, 0}, FIELD).x, -400.0);
    Sprite a = disc(90, 100, 10);
    b = disc(110, 100, 10);
    a.velocity = Vector{30, 0};
    b.velocity = Vector{-30, 0};
    std::tie(a.inverse_moment, b.inverse_moment) = std::tuple(0.01, 0.02);
    bounce_sprite_pair(&a, &b, FIELD, Vector{100, 100}, Vector{-1, 0});
    EXPECT_EQ(std::tuple(a.velocity.x, a.velocity.y, a.angular_velocity, b.velocity.x, b.velocity.y,
                         b.angular_velocity),
              std::tuple(30.0, 0.0, 0.0, -30.0, 0.0, 0.0));
}

// The nose is 25 ahead of the centre: the front 1.05 times that, the first
// missile 3 beyond it and 2 further along +x as it centres the shared outline,
// later ones on the point, with the ship's velocity.
TEST(Examples, ShipAndMissiles) {
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Ship& ship = game.ship;
    expect_near(ship_front(ship), Vector{400, 268.5});
    Missile* first = fire_missile(&ship);
    ship.fire_cooldown_ms = 0;
    ship.velocity = Vector{100, 0};
    Missile* second = fire_missile(&ship);
    expect_near(first->position, Vector{402, 265.5});
    expect_near(second->position, Vector{400, 265.5});
    expect_near(second->velocity, Vector{100, 0});
    expect_near(second->acceleration, Vector{0, -1600});
    std::free(first);
    std::free(second);
    release_game(&game);
}

// A missile heading up from (100, 100): its outline's three sides, each from
// one turned vertex to the next; a segment over the right border in two parts.
// Then the bounds: a segment reaching in from a million pixels out, a field of
// 0.00025 (its period 0.00005, yet wrappable, as far as 10^5 periods out), an
// overhang longer than the field, a field of no finite height (nothing drawn);
// outlines a million out, turned by a heading of length 2, left open, or of
// one point (a dot).
TEST(Examples, Drawing) {
    using Lines = std::vector<DrawnLine>;
    // clang-format off
    const std::tuple<Segment, Vector, Lines> segments[] = {
        {{{790, 300}, {20, 10}}, FIELD, {{0, 304, 10, 310}, {790, 300, 799, 304}}},
        {{{1000800, 0.0001}, {-5, 0}}, {800, 2576980377600}, {{0, 0, 0, 0}, {795, 0, 799, 0}}},
        {{{5, 500000}, {0, 0}}, {0.00025, 600}, {{0, 200, 0, 200}}},
        {{{20, 300}, {0, 0}}, {0.00025, 600}, {}},
        {{{-224.1, 0.0001}, {2000, 10}}, FIELD,
         {{0, 6, 799, 10}, {0, 5, 175, 6}, {0, 1, 799, 5}, {0, 1, 0, 1}, {575, 0, 799, 1}}},
        {{{0.0001, 1e-306}, {20, 0.0001}}, {800, INFINITY}, {}}};
    // clang-format on
    for (const auto& [segment, field, lines] : segments) {
        reset_seams();
        draw_wrapped_segment(nullptr, segment, field);
        EXPECT_EQ(seams.lines, lines) << segment.origin.x << ", " << segment.origin.y;
    }
    reset_seams();
    draw_ywrapped_segment(nullptr, std::get<0>(segments[5]), INFINITY);
    EXPECT_EQ(seams.lines, Lines{}) << "the y wrap alone, of no finite height";
    // clang-format off
    const std::tuple<Points, int32_t, Vector, Vector, Lines> outlines[] = {
        {{{6, 0}, {0, -2}, {0, 2}}, 1, {100, 100}, {0, -1},
         {{100, 94, 102, 100}, {100, 94, 98, 100}, {98, 100, 102, 100}}},
        {{{30, 30}, {22.5, 5}, {0, 40}}, 1, {-1000000, 600}, {2, 0},
         {{59, 60, 0, 79}, {799, 79, 799, 80}, {44, 10, 59, 60}, {44, 10, 0, 79},
          {799, 79, 799, 80}}},
        {{{30, -20}, {-20, 30}, {40, 10}, {40, 22.5}}, 0, {780, 1000610}, {-1, 0},
         {{0, 380, 0, 380}, {799, 380, 740, 400}, {740, 387, 740, 400}}},
        {{{30, -20}}, 1, {0, 590}, {0.6, 0.8}, {{34, 2, 34, 2}}}};
    // clang-format on
    for (auto [points, closed, at, heading, lines] : outlines) {
        reset_seams();
        const Polygon p{points.data(), static_cast<uint32_t>(points.size()), closed, 0, 0, 0};
        draw_oriented_polygon(nullptr, p, at, heading, FIELD);
        EXPECT_EQ(seams.lines, lines) << points.size() << " points at " << at.x << ", " << at.y;
    }
}

// An 80 by 60 box cracked from its left side along five steps of 18.75 bent by
// 0.125: two pieces with the box's 4800 less the 15 of the crack's start, each
// nudged straight away from the box's centre at 7.5. Pieces of exactly 1500
// stay rocks; a hair less shatter into one fragment an edge.
TEST(Examples, Cracking) {
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 0), 1);
    Sprite* rock = heap_rock({{-40, -30}, {-40, 30}, {40, 30}, {40, -30}}, Vector{400, 150});
    rock->orientation = Vector{0, 1};
    activate_sprite(&game, rock);
    const std::vector<uint16_t> halves(10, 16384);
    replay_random(halves.data(), 10);
    Sprite missile{};
    missile.position = Vector{400, 50};
    missile.orientation = Vector{0, 1};
    crack_rock(&game, rock, missile);
    replay_random(nullptr, 0);
    ASSERT_EQ(game.active.count, 4u);
    const double areas[2] = {1997.484375, 2787.515625};
    for (int k = 0; k < 2; ++k) {
        const Sprite& piece = *active_sprites(game)[2 + k];
        EXPECT_NEAR(piece.polygon.area, areas[k], 1e-9);
        EXPECT_NEAR(vector_length(piece.velocity), NUDGE_SPEED, 1e-12);
        const Vector away = vector_sub(piece.position, rock->position);
        EXPECT_NEAR(vector_cross(away, piece.velocity), 0, 1e-9);
    }
    for (double h : {25.0, 24.9999}) {
        const Polygon piece{heap_copy({{-15, -25}, {-15, h}, {15, h}, {15, -25}}), 4, 1, 0, 0, 0};
        EXPECT_EQ(new_fragment(&game, Sprite{}, piece) != nullptr, h == 25.0) << h;
    }
    EXPECT_EQ(game.active.count, 4u + 1 + 4);
    // Up the left side of a box with a thin spike standing in it: the short
    // edge at the spike's foot, met within the inset, is an entry, not an
    // exit, so the line does not glance; the box cracks into a rock and a
    // sliver of no area.
    const Points spiked{{-40, -30},   {-40, 30},    {40, 30},    {40, -30},
                        {-39.7, -30}, {-39.75, 10}, {-39.8, -30}};
    rock = heap_rock(spiked, Vector{300, 300});
    std::copy(spiked.begin(), spiked.end(), rock->polygon.vertices); // as given, not centred
    polygon_update_bounds(&rock->polygon);
    std::tie(rock->position, rock->orientation) = std::tuple(Vector{300, 300}, Vector{0.8, -0.6});
    activate_sprite(&game, rock);
    std::tie(missile.position, missile.orientation) =
        std::tuple(Vector{254.8, 306.4}, Vector{0.6, 0.8});
    const uint16_t straight = 0;
    replay_random(&straight, 1);
    crack_rock(&game, rock, missile);
    replay_random(nullptr, 0);
    EXPECT_EQ(std::tuple(rock->kind, game.active.count), std::tuple(KIND_DEAD, 4u + 1 + 4 + 1 + 1));
    release_game(&game);
}

// The generator is the C standard's example rand; all draws 0 make a rock at
// (0, 0) of sixteen points 18.75 down and 12.5 across, drifting at (-100, -100)
// and turning at -pi/3.
TEST(Examples, Rocks) {
    seed_random(1);
    EXPECT_EQ((std::vector{random_15bit(), random_15bit(), random_15bit(), random_15bit()}),
              (std::vector{16838, 5758, 10113, 17515})); // a braced list runs left to right
    init_rock_generator();
    const uint16_t zero = 0;
    replay_random(&zero, 1);
    Sprite rock{};
    ASSERT_NE(random_rock(&rock, FIELD, 200, 200, 200), nullptr);
    replay_random(nullptr, 0);
    EXPECT_EQ(rock.polygon.count, 16u);
    expect_near(rock.polygon.vertices[0], Vector{12.5, 0});
    expect_near(rock.polygon.vertices[4], Vector{0, -18.75});
    expect_near(rock.velocity, Vector{-100, -100});
    EXPECT_NEAR(rock.angular_velocity, -M_PI / 3, 1e-12);
    std::free(rock.polygon.vertices);
    // Every draw 0.75 leaves every direction out, and two taken (draws 0) of
    // sixteen are too few: the rock takes all sixteen at 0.875 of R = 81.25
    // instead, stretched by k = 0.625 + 2/3. Three taken make a triangle.
    std::vector<uint16_t> all(1, 24576), two(25, 24576), three(26, 0);
    two[4] = two[6] = 0;
    std::fill(three.begin() + 10, three.begin() + 23, 24576);
    for (const std::vector<uint16_t>* draws : {&all, &two, &three}) {
        replay_random(draws->data(), draws->size());
        ASSERT_NE(random_rock(&rock, FIELD, 200, 200, 200), nullptr);
        replay_random(nullptr, 0);
        const Polygon& p = rock.polygon;
        EXPECT_EQ(p.count, draws == &three ? 3u : 16u) << draws->size() << " draws";
        if (draws != &three) {
            expect_near(p.vertices[0], Vector{71.09375 * (0.625 + 2.0 / 3), 0});
            expect_near(p.vertices[4], Vector{0, -71.09375});
        }
        std::free(rock.polygon.vertices);
    }
}

// Start-up pushes a rock of radius about 50, lying about 100 above the ship,
// straight up to 1.01 (120 + radius) - 0.01 distance from it.
TEST(Examples, StartUpClearsTheShip) {
    std::vector<uint16_t> draws(39, 0);
    draws[0] = 16405;              // spot x 400.01
    draws[1] = 10943;              // spot y 200.04
    draws[2] = 18204;              // base radius 66.67: a radius of 50 at k = 2/3
    draws[36] = draws[37] = 16384; // at rest
    init_rock_generator();
    replay_random(draws.data(), draws.size());
    Sprite twin{};
    ASSERT_NE(random_rock(&twin, FIELD, 1, 1, 1), nullptr);
    std::free(twin.polygon.vertices);
    const double radius = twin.polygon.radius;
    const Vector before = vector_sub(twin.position, Vector{400, 300});
    EXPECT_NEAR(radius, 50, 0.01);
    EXPECT_NEAR(vector_length(before), 100, 0.1);
    replay_random(draws.data(), draws.size());
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 1), 1);
    replay_random(nullptr, 0);
    const Vector after = vector_sub(active_sprites(game)[1]->position, Vector{400, 300});
    EXPECT_NEAR(vector_length(after), 1.01 * (120 + radius) - 0.01 * vector_length(before), 1e-9);
    EXPECT_NEAR(vector_length(after), 170.7, 0.02);
    EXPECT_NEAR(vector_cross(before, after), 0, 1e-9) << "along the same line";
    EXPECT_EQ(std::tuple(game.ship.polygon.radius, game.ship.position.x, game.ship.position.y),
              std::tuple(30.0, 400.0, 300.0))
        << "the ship's bounds restored exactly, and the ship in place";
    release_game(&game);
}

// Alt and either Enter toggle full screen, the field kept 800 by 600 as the
// renderer's logical size; Enter alone, a repeat or another key does nothing.
// Once the field is scaled, each frame first clears the letterbox to black.
TEST(Examples, AltEnterFillsTheScreenKeepingTheField) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); // the dummy driver
    SDL_Window* window = SDL_CreateWindow("Brelkor!", 0, 0, 800, 600, 0);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    auto press = [&](SDL_Keycode key, Uint16 mod, Uint8 repeat) {
        SDL_Event event = key_event(SDL_KEYDOWN, key);
        std::tie(event.key.keysym.mod, event.key.repeat) = std::tuple(mod, repeat);
        handle_window_event(renderer, event);
        int width = 0, height = 0;
        SDL_RenderGetLogicalSize(renderer, &width, &height);
        return std::tuple((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0, width, height);
    };
    const std::tuple<SDL_Keycode, Uint16, Uint8, bool, int> presses[] = {
        {SDLK_RETURN, KMOD_NONE, 0, false, 0},     {SDLK_RETURN, KMOD_LALT, 1, false, 0},
        {SDLK_SPACE, KMOD_RALT, 0, false, 0},      {SDLK_RETURN, KMOD_LALT, 0, true, 800},
        {SDLK_KP_ENTER, KMOD_RALT, 0, false, 800}, {SDLK_KP_ENTER, KMOD_ALT, 0, true, 800}};
    reset_seams();
    __real_SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255); // what a clear shows here
    for (const auto& [key, mod, repeat, full, width] : presses) {
        EXPECT_EQ(press(key, mod, repeat), std::tuple(full, width, width * 3 / 4)) << key << mod;
        clear_letterbox(renderer);
    }
    Uint32 pixel = 0;
    const SDL_Rect corner{0, 0, 1, 1};
    SDL_RenderReadPixels(renderer, &corner, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
    uint64_t black = DRAW_HASH_START;
    std::swap(black, seams.draw_hash);
    for (int clears = 0; clears < 3; ++clears) {
        SDL_SetRenderDrawColor(nullptr, 0, 0, 0, 255);
    }
    EXPECT_EQ(std::tuple(black, pixel), std::tuple(seams.draw_hash, 0xffffffffu))
        << "three letterbox clears: black set each time, and the (white) clear";
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// A slab of 12 slots holding `count`: n more come behind the used ones, or none
// when they do not fit (n past the capacity too, where capacity - n would wrap);
// n given back from a slot move the later used slots down and leave the slots
// behind them as they were; a slot before the block or past the used ones
// changes nothing. A slot size of 0, a block beyond 32 bits of bytes, or no
// memory: the slab is refused, its record untouched; given back, it holds
// nothing.
TEST(Examples, Slabs) {
    const std::tuple<uint32_t, uint32_t, long> takes[] = {
        // count, n, the slot given
        {0, 12, 0},  {0, 13, -1}, {1, 11, 1},          {1, 12, -1},
        {11, 1, 11}, {12, 1, -1}, {2, UINT32_MAX, -1}, {12, 0, 12}};
    const std::tuple<uint32_t, long, uint32_t, std::vector<int>> removals[] = {
        // count, slot, n, the used slots left
        {5, 1, 2, {0, 3, 4}},
        {5, 3, 2, {0, 1, 2}},
        {5, 5, 1, {0, 1, 2, 3, 4}},
        {5, -1, 1, {0, 1, 2, 3, 4}},
        {0, 0, 1, {}}};
    Slab s{};
    const std::tuple<uint32_t, uint32_t, int> refusals[] = {
        {0, 100, -1}, {0x10000, 0x10000, -1}, {4, 2, 0}}; // size, capacity, failing
    for (auto [size, capacity, failing] : refusals) {
        Slab t{&s, 7, 3, 9};
        fail_malloc_after(failing);
        EXPECT_EQ(
            std::tuple(init_slab(&t, size, capacity), t.items, t.item_size, t.count, t.capacity),
            std::tuple(0, static_cast<void*>(&s), 7u, 3u, 9u))
            << size << " by " << capacity;
        fail_malloc_after(-1);
    }
    ASSERT_EQ(init_slab(&s, sizeof(int), 12), 1);
    EXPECT_EQ(std::tuple(s.item_size, s.count, s.capacity), std::tuple(4u, 0u, 12u));
    int* const slots = static_cast<int*>(s.items);
    for (auto [count, n, slot] : takes) {
        s.count = count;
        const int* p = static_cast<int*>(allocate(&s, n));
        EXPECT_EQ(std::tuple(p == nullptr ? -1 : p - slots, s.count),
                  std::tuple(slot, slot < 0 ? count : count + n))
            << count << " + " << n;
    }
    for (const auto& [count, at, n, left] : removals) {
        for (int k = 0; k < 12; ++k) {
            slots[k] = k;
        }
        s.count = count;
        deallocate(&s, slots + at, n);
        std::vector<int> behind(slots + count, slots + 12), kept(12 - count);
        std::iota(kept.begin(), kept.end(), static_cast<int>(count));
        EXPECT_EQ(std::tuple(std::vector<int>(slots, slots + s.count), behind),
                  std::tuple(left, kept))
            << count << " less " << n << " from " << at;
    }
    release_slab(&s);
    EXPECT_EQ(std::tuple(s.items, s.count, s.capacity), std::tuple(nullptr, 0u, 0u));
}

// The ship heads the active list and is found there; a sprite just taken off
// the end is not found in the slot it left; a heap sprite deleted leaves the
// list; a step takes the dead out of the list, the first entry too.
TEST(Examples, ActiveList) {
    Game game{};
    ASSERT_EQ(init_game(&game, 800, 600, 2), 1);
    Sprite* const* const slots = active_sprites(game);
    Sprite* last = slots[2];
    EXPECT_EQ(active_sprite(&game.ship, game), slots);
    deactivate_sprite(last, &game);
    EXPECT_EQ(std::tuple(active_sprite(last, game), game.active.count), std::tuple(nullptr, 2u));
    auto* heap = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
    *heap = Sprite{};
    heap->storage = STORAGE_HEAP;
    activate_sprite(&game, heap);
    delete_sprite(heap, &game); // off the list, then given back
    EXPECT_EQ(game.active.count, 2u);
    game.ship.kind = KIND_DEAD;
    step_game(&game, STEP_SECONDS);
    EXPECT_EQ(std::tuple(game.active.count, slots[0]->kind), std::tuple(1u, KIND_ROCK));
    release_game(&game);
}
