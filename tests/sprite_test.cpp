#include "sprite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "brelkor.h"
#include "rock.h"
#include "seams.h"

namespace {

constexpr Vector FIELD{800, 600};

void expect_near(Vector actual, Vector expected, double tolerance, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
}

// A square of half side h, listed with the game's winding.
std::vector<Vector> square(double h) { return {{h, h}, {h, -h}, {-h, -h}, {-h, h}}; }

// A sprite of density 1 whose outline (already centred) is the caller's.
Sprite body(std::vector<Vector>& outline, double x, double y) {
    Sprite s{};
    const Polygon polygon{outline.data(), static_cast<uint32_t>(outline.size()), 0, 0, 0, 0};
    init_sprite(&s, x, y, polygon, 1, 200, 200, 200);
    return s;
}

// A sprite seen by the bounds tests only: a position and a bounding radius.
Sprite disc(double x, double y, double radius) {
    Sprite s{};
    s.position = Vector{x, y};
    s.polygon.radius = radius;
    return s;
}

void restore_missile_points() {
    missile_points[0] = Vector{6, 0};
    missile_points[1] = Vector{0, -2};
    missile_points[2] = Vector{0, 2};
}

} // namespace

TEST(SpriteInit, MassPropertiesFromTheOutline) {
    init_polygon(&ship_shape, nullptr); // as start-up centres it
    Sprite ship{};
    ship.kind = KIND_ROCK;
    ship.velocity = ship.acceleration = Vector{1, 1};
    ship.storage = STORAGE_HEAP;
    init_sprite(&ship, 400, 300, ship_shape, 1.0, 255, 40, 40);
    EXPECT_TRUE(ship.kind == KIND_DEAD && ship.storage == STORAGE_KEPT);
    EXPECT_TRUE(ship.velocity.x == 0 && ship.velocity.y == 0 && ship.acceleration.x == 0 &&
                ship.acceleration.y == 0);
    EXPECT_TRUE(ship.position.x == 400 && ship.position.y == 300) << "exactly as given";
    EXPECT_TRUE(ship.orientation.x == 1 && ship.orientation.y == 0);
    EXPECT_EQ(ship.polygon.vertices, ship_points) << "the outline is shared, not copied";
    expect_near(ship_points[2], Vector{-10, 0}, 0, "centred in place");
    EXPECT_DOUBLE_EQ(ship.polygon.area, 520);
    EXPECT_DOUBLE_EQ(ship.mass, 520);
    EXPECT_NEAR(ship.moment, 75313.333333, 1e-5);
    EXPECT_DOUBLE_EQ(ship.inverse_mass, 1 / 520.0);
    EXPECT_DOUBLE_EQ(ship.inverse_moment, 1 / ship.moment);
    EXPECT_EQ(ship.polygon.radius, 30.0);
    EXPECT_TRUE(ship.color.r == 255 && ship.color.g == 40 && ship.color.b == 40);

    // An uncentred outline is moved in place, and the position with it.
    restore_missile_points();
    Sprite missile{};
    init_sprite(&missile, 10, 20, missile_shape, 2.0, 456, 0, 0);
    EXPECT_EQ(missile.color.r, 456 - 256) << "the low byte";
    expect_near(missile.position, Vector{12, 20}, 1e-12, "moved by the centroid");
    const Vector moved[3] = {{4, 0}, {-2, -2}, {-2, 2}};
    for (int i = 0; i < 3; ++i) {
        expect_near(missile_points[i], moved[i], 1e-12, "missile point");
    }
    EXPECT_DOUBLE_EQ(missile.polygon.second_moment, 32);
    EXPECT_DOUBLE_EQ(missile.mass, 24);
    EXPECT_DOUBLE_EQ(missile.moment, 64);
    EXPECT_DOUBLE_EQ(missile.polygon.radius, 4);
    init_sprite(&missile, 10, 20, missile_shape, 0.0, 0, 0, 0);
    expect_near(missile.position, Vector{10, 20}, 1e-12, "a second sprite finds it centred");
    EXPECT_TRUE(missile.inverse_mass == 0 && missile.inverse_moment == 0) << "no mass, no inverse";
    restore_missile_points();
}

TEST(SpriteMotion, WrapsIntoTheFieldByItsPeriod) {
    const double cases[][3] = {
        {799.99995, 800, 0.00015},
        {-0.5, 800, 799.4998},
        {0.0001, 800, 0.0001},
        {100 - 0.0001, 100, 100 - 0.0001},
        {60, 50, 10.0002},
        {-1700, 800, 699.9994},
        {2500, 800, 100.0006},
        {599.99995, 600, 0.00015},
        {1e13, 800, std::fmod(1e13, 799.9998)},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(wrap_coordinate(c[0], c[1]), c[2], 1e-9) << c[0] << " in " << c[1];
    }
    // A field barely wider than twice the margin, or a coordinate that is not
    // finite, is left alone at once.
    for (const double size : {0.0002 + 1e-13, std::nextafter(0.0002, 1.0), 0.0002 + 0.99995e-10}) {
        EXPECT_EQ(wrap_coordinate(5, size), 5.0) << size;
        EXPECT_EQ(wrap_coordinate(-5, size), -5.0) << size;
    }
    const double x = wrap_coordinate(5, 0.0002 + 1.0001e-10); // a million periods: wrapped
    EXPECT_TRUE(x >= 0.0001 && x <= 0.0001 + 1.0001e-10) << x;
    EXPECT_TRUE(std::isinf(wrap_coordinate(INFINITY, 800)));
    EXPECT_TRUE(std::isnan(wrap_coordinate(NAN, 800)));

    // A step moves with the new velocity, then wraps; no spin keeps the heading.
    Sprite s = disc(799.5, 599.5, 1);
    s.orientation = Vector{0.6, 0.8};
    s.velocity = Vector{100, 100};
    s.acceleration = Vector{0, 100};
    simulate_sprite(&s, FIELD, 0.01);
    expect_near(s.position, Vector{0.5002, 0.5102}, 1e-9, "moved");
    EXPECT_DOUBLE_EQ(s.velocity.y, 101);
    EXPECT_TRUE(s.orientation.x == 0.6 && s.orientation.y == 0.8);

    // A quarter turn counter-clockwise: up the screen.
    s.orientation = Vector{1, 0};
    s.angular_velocity = M_PI / 2;
    for (int i = 0; i < 100; ++i) {
        simulate_sprite(&s, FIELD, 0.01);
    }
    expect_near(s.orientation, Vector{0, -1}, 1e-12, "a quarter turn");
}

TEST(SpriteMotion, SidesArePlacedAsDrawn) {
    std::vector<Vector> outline{{10, 0}, {0, 5}, {-10, -5}};
    const Polygon polygon{outline.data(), 3, 1, 0, 0, 0};
    compute_sides(nullptr, Vector{1, 2}, Vector{1, 0}, polygon);
    Segment sides[4];
    sides[3] = Segment{{-1, -1}, {-1, -1}};
    compute_sides(sides, Vector{100, 50}, Vector{0.6, 0.8}, polygon);
    EXPECT_EQ(sides[3].origin.x, -1.0) << "exactly n sides";
    const Vector placed[3] = {{106, 58}, {96, 53}, {98, 39}}; // side i ends at vertex i
    Vector sum{0, 0};
    for (int i = 0; i < 3; ++i) {
        expect_near(vector_add(sides[i].origin, sides[i].direction), placed[i], 1e-12, "end");
        expect_near(sides[i].origin, placed[(i + 2) % 3], 1e-12, "start");
        sum = vector_add(sum, sides[i].direction);
    }
    expect_near(sum, Vector{0, 0}, 1e-12, "the sides close");
}

TEST(SpriteDetection, BoundsMeasuredOnTheTorus) {
    const Sprite cases[][2] = {
        {disc(100, 100, 30), disc(150, 100, 20)}, // exactly touching
        {disc(5, 300, 5), disc(795, 300, 5)},     // 10 apart across the edge
        {disc(400, 10, 10), disc(400, 590, 10)},  // 20 apart
    };
    for (const auto& c : cases) {
        Sprite a = c[0];
        EXPECT_EQ(sprite_bounds_overlap(a, c[1], FIELD), 0) << a.position.x << "," << a.position.y;
        a.polygon.radius += 0.001;
        EXPECT_EQ(sprite_bounds_overlap(a, c[1], FIELD), 1) << a.position.x << "," << a.position.y;
        EXPECT_EQ(sprite_bounds_overlap(c[1], a, FIELD), 1) << a.position.x << "," << a.position.y;
    }
}

TEST(SpriteDetection, ContactPointAndNormal) {
    std::vector<Vector> big = square(10);
    std::vector<Vector> small = square(5);
    struct Case {
        const char* name;
        Sprite a, b;
        int hits;
        Vector point, normal;
    };
    const Case cases[] = {
        // Crossings (105, 110) and (110, 105); a's bottom and right sides turned
        // inward, or b's top and left sides when swapped.
        {"corner", body(big, 100, 100), body(big, 115, 115), 1, {107.5, 107.5}, {-10, -10}},
        {"swapped", body(big, 115, 115), body(big, 100, 100), 1, {107.5, 107.5}, {10, 10}},
        // Across the edge: crossings (-5, 295) and (0, 310), left of the field.
        {"edge", body(big, 5, 300), body(big, 790, 305), 1, {-2.5, 302.5}, {10, -10}},
        // b inside a along a's right side: the ends of the shared stretch,
        // (110, 105) and (110, 95), and b's top side starting on a's side.
        {"collinear", body(big, 100, 100), body(small, 105, 100), 1, {110, 295.0 / 3}, {-20, 0}},
        {"inside", body(big, 100, 100), body(small, 101, 100), 0, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        for (auto* test : {sprites_intersect, sprites_collide}) {
            Vector point{7, 7};
            Vector normal{7, 7};
            EXPECT_EQ(test(c.a, c.b, FIELD, &point, &normal), c.hits) << c.name;
            expect_near(point, c.point, 1e-9, c.name);
            expect_near(normal, c.normal, 1e-9, c.name);
        }
    }
    Vector point{7, 7};
    Vector normal{7, 7};
    EXPECT_EQ(sprites_collide(body(big, 100, 100), body(big, 130, 100), FIELD, &point, &normal), 0);
    EXPECT_EQ(point.x + point.y + normal.x + normal.y, 28.0) << "bounds apart: untouched";
}

TEST(SpriteBounce, HeadOnPartingSlidingAndNormalLength) {
    std::vector<Vector> outline = square(10);
    struct Case {
        Vector va, vb, normal, va_after, vb_after;
    };
    const Case cases[] = {
        {{50, 0}, {-50, 0}, {-1, 0}, {-45, 0}, {45, 0}},    // head on
        {{50, 0}, {-50, 0}, {-3, 0}, {-45, 0}, {45, 0}},    // any length
        {{50, 0}, {-50, 0}, {-0.25, 0}, {-45, 0}, {45, 0}}, //
        {{50, 0}, {-50, 0}, {1, 0}, {50, 0}, {-50, 0}},     // reversed: parting
        {{-50, 0}, {50, 0}, {-1, 0}, {-50, 0}, {50, 0}},    // parting
        {{0, 30}, {0, -30}, {-1, 0}, {0, 30}, {0, -30}},    // sliding
        {{50, 0}, {-50, 0}, {0, 0}, {50, 0}, {-50, 0}},     // normals that cancel
    };
    for (const Case& c : cases) {
        Sprite a = body(outline, 100, 100);
        Sprite b = body(outline, 120, 100);
        a.velocity = c.va;
        b.velocity = c.vb;
        bounce_sprite_pair(&a, &b, FIELD, Vector{110, 100}, c.normal);
        expect_near(a.velocity, c.va_after, 1e-12, "a");
        expect_near(b.velocity, c.vb_after, 1e-12, "b");
        EXPECT_TRUE(a.angular_velocity == 0 && b.angular_velocity == 0) << "no spin";
    }
}

// Over many random off-centre blows, across the field's edge too: the contact
// points part at 0.9 times their approach speed, momentum and angular momentum
// are kept, and energy is lost.
TEST(SpriteBounce, ImpulseKeepsMomentaAndRestitution) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::vector<Vector> outline_a{{30, 0}, {-15, -20}, {-15, 20}};
    std::vector<Vector> outline_b = square(12);
    auto material = [](const Sprite& s, Vector r) { // velocity of the material at r
        return vector_add(s.velocity, vector_scale(Vector{r.y, -r.x}, s.angular_velocity));
    };
    // Momentum, angular momentum about a's centre (b's at c), twice the energy.
    auto totals = [](const Sprite& a, const Sprite& b, Vector c) {
        const Vector p =
            vector_add(vector_scale(a.velocity, a.mass), vector_scale(b.velocity, b.mass));
        const double l = b.mass * vector_cross(c, b.velocity) - a.moment * a.angular_velocity -
                         b.moment * b.angular_velocity;
        const double e = a.mass * vector_dot(a.velocity, a.velocity) +
                         b.mass * vector_dot(b.velocity, b.velocity) +
                         a.moment * a.angular_velocity * a.angular_velocity +
                         b.moment * b.angular_velocity * b.angular_velocity;
        return std::vector<double>{p.x, p.y, l, e};
    };
    int bounced = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const double ax = trial % 2 ? 790 : 400; // a near the right edge, b across it
        Sprite a = body(outline_a, ax, 300);
        Sprite b = body(outline_b, std::fmod(ax + 25, 800), 300 + 10 * unit(random));
        a.velocity = Vector{100 * unit(random), 100 * unit(random)};
        b.velocity = Vector{100 * unit(random), 100 * unit(random)};
        a.angular_velocity = 2 * unit(random);
        b.angular_velocity = 2 * unit(random);
        const Vector ra{12 + 3 * unit(random), 15 * unit(random)};
        const Vector cb{25, b.position.y - 300};
        const Vector rb = vector_sub(ra, cb);
        const Vector normal = vector_scale(Vector{unit(random), unit(random)}, 1 + unit(random));
        const double vn = vector_dot(vector_sub(material(a, ra), material(b, rb)), normal);
        const Sprite a0 = a;
        const Sprite b0 = b;
        bounce_sprite_pair(&a, &b, FIELD, vector_add(a.position, ra), normal);
        const std::vector<double> before = totals(a0, b0, cb);
        const std::vector<double> after = totals(a, b, cb);
        if (vn >= 0) {
            EXPECT_EQ(after, before) << trial;
            continue;
        }
        ++bounced;
        const double parting = vector_dot(vector_sub(material(a, ra), material(b, rb)), normal);
        EXPECT_NEAR(parting, -0.9 * vn, 1e-9 * std::fabs(vn)) << trial;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(after[i], before[i], 1e-9 * std::fabs(before[3])) << trial << " " << i;
        }
        EXPECT_LT(after[3], before[3]) << trial;
        EXPECT_NE(a.angular_velocity, a0.angular_velocity) << trial;
        EXPECT_NE(b.angular_velocity, b0.angular_velocity) << trial;
    }
    EXPECT_GT(bounced, 50);
}

// The material's velocity, in the sense in which sprites turn and bounce,
// across the field's edge too.
TEST(SpriteBounce, LinearVelocityFollowsTheTurn) {
    Sprite s = disc(795, 100, 10);
    s.orientation = Vector{1, 0};
    s.velocity = Vector{1, 1};
    s.angular_velocity = 2;
    expect_near(linear_velocity(s, Vector{5, 103}, FIELD), Vector{7, -19}, 1e-12, "across");
    // Exactly half the field keeps its sign; beyond it the other image is nearer.
    const double cases[][3] = {
        {100, 500, 400}, {500, 100, -400}, {100, 500.02, -399.98}, {500.02, 100, 399.98}};
    s.velocity = Vector{0, 0};
    s.angular_velocity = 1;
    for (const auto& c : cases) {
        s.position = Vector{c[0], 100};
        expect_near(linear_velocity(s, Vector{c[1], 100}, FIELD), Vector{0, -c[2]}, 1e-9, "half");
    }
}

TEST(SpriteDraw, OutlineInItsColour) {
    std::vector<Vector> outline = square(10);
    Sprite s = body(outline, 100, 100);
    s.color = Color{12, 34, 56};
    reset_seams();
    draw_sprite(nullptr, s, FIELD);
    ASSERT_EQ(seams.log.size(), 5u);
    EXPECT_EQ(seams.log[0], "color 12 34 56 255") << "the colour first, opaque";
    EXPECT_EQ(seams.lines.size(), 4u);
}

TEST(SpriteSeparation, PushesAlongTheLineOfCentres) {
    struct Case {
        Sprite a, b;
        Vector expected;
    };
    const Case cases[] = {
        {disc(100, 100, 30), disc(130, 100, 20), {150.2, 100}},
        {disc(790, 300, 30), disc(10, 300, 20), {40.3, 300}},     // across the edge
        {disc(770, 300, 30), disc(790, 300, 20), {20.3002, 300}}, // pushed past it
        {disc(100, 100, 30), disc(100, 70, 20), {100, 49.8}},     // upward
        {disc(400, 300, 30), disc(400, 300, 20), {450.5, 300}},   // one centre: +x
    };
    for (const Case& c : cases) {
        Sprite b = c.b;
        shift_sprite_away_from(c.a, &b, FIELD);
        expect_near(b.position, c.expected, 1e-9, "pushed");
    }

    // A scan pushes every neighbour away from the sprite, which stays.
    Sprite s = disc(400, 300, 30);
    Sprite left = disc(370, 300, 20);
    Sprite below = disc(400, 340, 20);
    Sprite far = disc(100, 100, 20);
    Sprite* list[] = {&left, &s, &far, &below};
    clear_sprite(s, list, 4, FIELD);
    EXPECT_EQ(s.position.x, 400.0);
    expect_near(left.position, Vector{400 - 50.2, 300}, 1e-9, "left");
    expect_near(below.position, Vector{400, 300 + 50.1}, 1e-9, "below");
    EXPECT_EQ(far.position.x, 100.0);

    // A pushed sprite clears its own surroundings: u, passed over by s's scan,
    // is pushed by t's.
    Sprite t = disc(430, 300, 20);
    Sprite u = disc(490, 300, 20);
    far = disc(400, 300, 30);
    Sprite* chain[] = {&u, &far, &t};
    clear_sprite(far, chain, 3, FIELD);
    expect_near(u.position, Vector{450.2 + 1.01 * 40 - 0.01 * 39.8, 300}, 1e-9, "nested");

    // Many separate overlaps are all cleared: the nesting budget is given back.
    std::vector<Sprite> pairs;
    for (int i = 0; i < 120; ++i) {
        pairs.push_back(disc(40 + 60 * (i / 2 % 12), 50 + 100 * (i / 24) + 3 * (i % 2), 5));
    }
    std::vector<Sprite*> paired;
    for (Sprite& p : pairs) {
        paired.push_back(&p);
    }
    shift_sprites(paired.data(), 120, FIELD);
    for (int i = 0; i < 120; i += 2) {
        EXPECT_EQ(sprite_bounds_overlap(pairs[i], pairs[i + 1], FIELD), 0) << i;
    }

    // 99 circles that cannot all be apart: the separation ends, in the field.
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Sprite> crowd(99, disc(400, 300, 150));
    std::vector<Sprite*> crowded;
    for (Sprite& c : crowd) {
        c.position = Vector{800 * unit(random), 600 * unit(random)};
        crowded.push_back(&c);
    }
    shift_sprites(crowded.data(), 99, FIELD);
    for (const Sprite& c : crowd) {
        EXPECT_TRUE(c.position.x >= 0.0001 && c.position.x <= 799.9999) << c.position.x;
        EXPECT_TRUE(c.position.y >= 0.0001 && c.position.y <= 599.9999) << c.position.y;
    }
}

// Start-up pushes a rock of radius about 50, lying about 100 above the ship,
// straight up to 1.01 (120 + radius) - 0.01 distance from it.
TEST(SpriteSeparation, StartUpClearsTheShip) {
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
    EXPECT_EQ(game.ship.polygon.radius, 30.0) << "restored exactly";
    EXPECT_TRUE(game.ship.position.x == 400 && game.ship.position.y == 300);
    release_game(&game);
}
