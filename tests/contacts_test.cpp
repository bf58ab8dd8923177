// The fast collision pass against the plain one, bit for bit: every contact of
// random rock pairs and of crowded games, and the games themselves.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "brelkor.h"
#include "rock.h"

// Every pair of the count entries: the pass and sprites_collide agree on the
// result and the point's and normal's bits. Returns the contacts; kinds gets a
// bit per kind listed.
static int same_contacts(Sprite* const sprites[], uint32_t count, Vector world, uint32_t* kinds) {
    ContactPass pass;
    begin_contact_pass(&pass, sprites, count, ~0u, world);
    int contacts = 0;
    for (uint32_t i = 0; i < count; *kinds |= 1u << sprites[i++]->kind) {
        for (uint32_t j = i + 1; j < count; ++j) {
            Vector plain[2] = {{7, 7}, {7, 7}}, fast[2] = {{7, 7}, {7, 7}};
            const int hit = sprites_collide(*sprites[i], *sprites[j], world, &plain[0], &plain[1]);
            EXPECT_EQ(hit, contact_sprites_collide(&pass, i, j, &fast[0], &fast[1]));
            using Bits = std::array<uint64_t, 4>; // the point's and the normal's
            EXPECT_EQ(std::bit_cast<Bits>(plain), std::bit_cast<Bits>(fast)) << i << "," << j;
            contacts += hit;
        }
    }
    return contacts;
}

// Random rocks close together, at the field's corner too; every third pair is
// one outline twice, a side along the x or the y axis (its box the thinnest), the copy
// moved along that side, off its line by up to 1.2e-4 of its length and turned
// by up to 1.2e-4 radians: the shared stretch and both its tolerances.
TEST(Contacts, RandomPairsMatchThePlainTest) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(-1, 1);
    seed_random(9);
    init_rock_generator();
    int contacts = 0;
    uint32_t kinds = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        Sprite a{}, b{};
        random_rock(&a, Vector{800, 600}, 1, 1, 1);
        random_rock(&b, Vector{800, 600}, 1, 1, 1);
        const bool twice = trial % 3 == 0;
        const Vector own = vector_sub(a.polygon.vertices[1], a.polygon.vertices[0]);
        const double turn =
            twice ? (trial % 2 ? 0 : M_PI / 2) - std::atan2(own.y, own.x) : 3.2 * unit(random);
        const double tilt = twice ? 1.2e-4 * unit(random) : 3.2 * unit(random);
        a.orientation = Vector{std::cos(turn), std::sin(turn)};
        a.position = trial % 2 ? Vector{799.5, 0.5} : Vector{400, 300};
        Sprite c = twice ? a : b;
        c.orientation = Vector{std::cos(turn + tilt), std::sin(turn + tilt)};
        const Vector side = vector_rotate(own, a.orientation);
        const Vector d = twice ? vector_add(vector_scale(side, unit(random)),
                                            vector_scale(vector_perp(side), 1.2e-4 * unit(random)))
                               : Vector{120 * unit(random), 120 * unit(random)};
        c.position = Vector{wrap_coordinate(a.position.x + d.x, 800),
                            wrap_coordinate(a.position.y + d.y, 600)};
        Sprite* const pair[] = {&a, &c};
        contacts += same_contacts(pair, 2, Vector{800, 600}, &kinds);
        std::free(a.polygon.vertices);
        std::free(b.polygon.vertices);
    }
    EXPECT_GT(contacts, 8000);
}

// Crowded games with fire held, the ship thrusting and turning, by the plain
// pass and then the fast one: the same state after every step, and every 20th
// step the same contacts for every listed pair, missiles and fragments included.
TEST(Contacts, GamesMatchThePlainPass) {
    for (const int rocks : {33, 47, 70}) {
        std::vector<uint64_t> hashes[2];
        uint32_t kinds = 0;
        for (const int32_t plain : {1, 0}) {
            seed_random(static_cast<uint32_t>(rocks));
            Game game{};
            game.plain_contacts = plain;
            ASSERT_TRUE(init_game(&game, 800, 600, rocks));
            game.ship.controls = CONTROL_FIRE | CONTROL_LEFT | CONTROL_THRUST;
            for (int step = 0; step < 600; ++step) {
                if (!plain && step % 20 == 0) {
                    same_contacts(active_sprites(game), game.active.count, game.world_size, &kinds);
                }
                step_game(&game, STEP_SECONDS);
                hashes[plain].push_back(hash_game(game));
            }
            release_game(&game);
        }
        EXPECT_EQ(hashes[0], hashes[1]) << rocks << " rocks";
        EXPECT_EQ(kinds, 0x1eu) << "rocks, the ship, missiles and fragments: " << rocks;
    }
}

// Outlines too large for the pass (80 vertices), and enough of 60 vertices to
// overflow its store, are tested the plain way with the same contacts.
TEST(Contacts, LargeOutlinesMatchThePlainTest) {
    std::mt19937 random(8);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Vector> rings[2];
    for (const uint32_t n : {60u, 80u}) {
        for (uint32_t k = 0; k < n; ++k) {
            const double angle = 6.283185307179586 * k / n;
            rings[n / 80].push_back(Vector{50 * std::cos(angle), -30 * std::sin(angle)});
        }
    }
    Sprite sprites[50];
    Sprite* list[50];
    for (int k = 0; k < 50; ++k) {
        std::vector<Vector>& ring = rings[k % 5 == 0];
        init_sprite(&sprites[k], 800 * unit(random), 600 * unit(random),
                    Polygon{ring.data(), static_cast<uint32_t>(ring.size()), 0, 0, 0, 0}, 1, 1, 1,
                    1);
        const double turn = 7 * unit(random);
        sprites[k].orientation = Vector{std::cos(turn), std::sin(turn)};
        list[k] = &sprites[k];
    }
    uint32_t kinds = 0;
    EXPECT_GT(same_contacts(list, 50, Vector{800, 600}, &kinds), 20);
}
