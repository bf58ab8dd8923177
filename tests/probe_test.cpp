// Probes: the game's routines called over inputs built from small sets of
// values that sit on their boundaries: cracks from every side and across the
// field's edges, the recording reader's every rule, the heap failing at each
// request, and inputs no set meets. Exact boundaries come up often this way;
// random doubles would never meet them. Each call's inputs and results, every
// double by its bits, make one probe line; tests/golden/probes.txt holds the
// 64-bit FNV-1a hash of every four lines as today's game, checked bit for bit
// against an independent model, computes it. The test reports the first probe
// that differs, with its inputs and what it gives now. scripts/make-golden.sh
// writes the file again.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include <zlib.h>

#include "draw.h"
#include "rock.h"
#include "seams.h"

namespace {

std::vector<std::string> probes;
std::mt19937 rng; // fully specified, so the same inputs everywhere

// A NaN's sign depends on how the compiler arranged the arithmetic: not pinned.
void text(std::string* s, double v) {
    if (std::isnan(v)) {
        *s += " nan";
        return;
    }
    char b[32];
    std::snprintf(b, sizeof b, " %a", v);
    *s += b;
}
void text(std::string* s, Vector v) {
    text(s, v.x);
    text(s, v.y);
}
void text(std::string* s, const Segment& g) {
    text(s, g.origin);
    text(s, g.direction);
}
void text(std::string* s, const Polygon& p) {
    text(s, p.count);
    for (uint32_t i = 0; p.vertices != nullptr && i < p.count; ++i) {
        text(s, p.vertices[i]);
    }
}
void text(std::string* s, const Sprite& p) {
    text(s, p.kind);
    for (const Vector v : {p.position, p.orientation, p.velocity, p.acceleration}) {
        text(s, v);
    }
    for (const double v : {p.angular_velocity, p.polygon.radius, p.polygon.area, p.density, p.mass,
                           p.moment, p.inverse_mass, p.inverse_moment}) {
        text(s, v);
    }
    text(s, p.polygon);
}
void text(std::string* s, const std::string& t) { *s += " " + t; }
void text(std::string* s, const std::vector<DrawnLine>& lines) {
    for (const DrawnLine& l : lines) {
        *s += " " + std::to_string(l.x1) + "," + std::to_string(l.y1) + "," + std::to_string(l.x2) +
              "," + std::to_string(l.y2);
    }
}
template <class... T> void probe(const char* name, const T&... values) {
    std::string s = name;
    (text(&s, values), ...);
    probes.push_back(s);
}

template <class T, size_t N> T pick(const T (&set)[N]) { return set[rng() % N]; }

const double SMALL[] = {-2, -1, 0, 1, 2, 3, 4, 0.5, 2.25, 0.0001, 0.00005, 0.00009, 0.0004};
const Vector HEADINGS[] = {{1, 0}, {0, 1}, {0, -1}, {-1, 0}, {0.6, 0.8}, {0.8, -0.6}, {2, 0}};

// The derived fields start as junk, so that one left unset shows.
Polygon polygon_of(std::vector<Vector>& p) {
    return Polygon{p.data(), static_cast<uint32_t>(p.size()), 1, 9, 9, 9};
}
// Cracks of boxes, thin bars and random outlines by missiles from the sides and
// across the field's edges, with the chain's draws replayed.
void cracks() {
    const double A[] = {-780, -400.01, -400, -100, -48, -46, -40, 0, 10, 60, 300, 400, 400.01, 580};
    const double B[] = {-300.01, -300, -100, -39, -36, -22, -21.9, -20, 0, 5, 300, 300.01};
    const Vector U[] = {{1, 0}, {0, 1}, {0, -1}, {-1, 0}, {0.6, -0.8}, {0.8, 0.6}, {2, 0}};
    const uint16_t DRAWS[] = {0, 1000, 16384, 32767};
    const std::vector<Vector> OUTLINES[] = {
        {{-40, -30}, {-40, 30}, {40, 30}, {40, -30}},
        {{-50, -5}, {-50, 5}, {50, 5}, {50, -5}},
        {{-39.8, -30}, {-40, -30}, {-40, 30}, {40, 30}, {40, -30}, {-39.7, -30}, {-39.75, 10}},
        {{-40, -30}, {-40, 30}, {40, 30}, {40, -30}, {-39.7, -30}, {-39.75, 10}, {-39.8, -30}},
        {{-39.2, -30}, {-40, -30}, {-40, 30}, {40, 30}, {40, -30}, {-38.8, -30}, {-39, 10}},
        {{-40, -30}, {-40, 30}, {40, 30}, {50, 0}, {40, -30}}};
    for (int i = 0; i < 3000; ++i) {
        Game game{};
        init_game(&game, 800, 600, 0);
        auto* r = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
        if (i % 4 == 0) {
            seed_random(static_cast<uint32_t>(i));
            random_rock(r, FIELD, 200, 200, 200);
        } else {
            const std::vector<Vector>& o = pick(OUTLINES);
            Vector* v = heap_copy(o);
            init_sprite(r, 0, 0, Polygon{v, static_cast<uint32_t>(o.size()), 1, 0, 0, 0}, 5, 200,
                        200, 200);
            std::copy(o.begin(), o.end(), v); // the outline as given, not centred
            polygon_update_bounds(&r->polygon);
        }
        r->kind = KIND_ROCK;
        r->storage = STORAGE_HEAP_ROCK;
        r->position = Vector{300, 300};
        r->orientation = pick(HEADINGS);
        r->polygon.radius *= i % 7 == 0   ? 0
                             : i % 7 == 1 ? 0.1
                                          : 1; // steps that go nowhere, or stay inside
        r->angular_velocity = pick(SMALL);
        r->velocity = Vector{pick(SMALL), pick(SMALL)};
        r->acceleration = Vector{pick(SMALL), pick(SMALL)};
        static Sprite filler{}; // now and then the list is left with room for 1 or 0
        const uint32_t fillers = i % 13 == 12 ? GAME_CAPACITY - 3 + i / 13 % 2 : 0;
        for (uint32_t k = 0; k < fillers; ++k) {
            activate_sprite(&game, &filler);
        }
        activate_sprite(&game, r);
        uint16_t draws[17];
        for (uint16_t& d : draws) {
            d = pick(DRAWS);
        }
        replay_random(draws, 17);
        Sprite missile{};
        missile.position =
            vector_add(r->position, vector_rotate({pick(A), pick(B)}, r->orientation));
        missile.orientation = vector_rotate(pick(U), r->orientation);
        testing::internal::CaptureStderr();
        // Now and then a heap request fails, or two in a row: "failed to split
        // polygon." when a cut finds no memory, "failed to allocate rock
        // fragment." when a piece finds none.
        fail_malloc_after(i % 6 == 5 ? i / 6 % 12 : -1, 1 + i % 2);
        crack_rock(&game, r, missile);
        fail_malloc_after(-1);
        probe(testing::internal::GetCapturedStderr().c_str(), missile.position, missile.orientation,
              random_15bit());
        for (uint32_t k = 1 + fillers; k < game.active.count; ++k) {
            probe("piece", *active_sprites(game)[k]);
        }
        release_game(&game);
        EXPECT_EQ(seams.blocks, 0) << "crack " << i << ": heap blocks not given back";
    }
    replay_random(nullptr, 0);
}

// The line's body with its check, as the recorder ends every line.
std::string checked(const std::string& body) {
    char check[16];
    std::snprintf(
        check, sizeof check, " *%08lx\n",
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return body + check;
}

// Files put together from header, frame and end lines that are right, or just
// wrong at a boundary of what the reader accepts, each line with its check (or
// now and then a wrong one): the reader's verdict and message, or the text of
// what it read.
void readings() {
    const std::string H = "0123456789abcdef";
    const std::string version = "brelkor-recording 2", game = "game 0.1", seed = "seed 4294967295",
                      rocks = "rocks 99", field = "field 800 600";
    // clang-format off
    const std::string VERSIONS[] = {version, "brelkor-recording 1", "brelkor-recording 0",
        "brelkor-recording 3", "brelkor-recording 02", "brelkor-recording  2", "brelkor-recording",
        "Brelkor 2"};
    const std::string GAMES[] = {game, "game " + std::string(32, 'v'), "game " + std::string(33, 'v'),
        "game \x7f", "game", "game 0.1 x", "game \x80x"};
    const std::string SEEDS[] = {seed, "seed 0", "seed 4294967296", "seed 01", "seed -1", "seed",
        "seed 1 2"};
    const std::string ROCKS[] = {rocks, "rocks 0", "rocks 100", "rocks -1", "rocks x"};
    const std::string FIELDS[] = {field, "field 800 601", "field 801 600", "field 800",
                                  "field 800 600 1"};
    const std::string EVENTS[] = {"", " down:Up", " down:97", " down:0", " repeat:Space",
        " up:Escape", " quit", " pad-down:A", " pad-up:Start", " pad-down:B", " stick-x:-32768",
        " stick-y:32767", " stick-x:32768", " stick-y:-0", " pad-removed", " down:2147483647",
        " down:2147483648", " down:-1", " down:Up ", "  down:Up", " jump:1", " down:",
        " pad-down:DpadLeft", " down:P down:P", " down:Escape", " stick-x:-32769",
        " down:" + std::string(50, 'k')};
    const std::string MS[] = {"0", "33", "4294967295", "4294967296", "033", "-1", ""};
    const std::string HASHES[] = {H, "0123456789ABCDEF", H.substr(1), H + "0", "0123456789abcdeg"};
    // clang-format on
    for (int i = 0; i < 4000; ++i) {
        // Each part right (the first of its set), or now and then any of the set.
        auto one = [&](const auto& set) { return rng() % 12 != 0 ? set[0] : pick(set); };
        std::string text;
        for (const std::string& line :
             {one(VERSIONS), one(GAMES), one(SEEDS), one(ROCKS), one(FIELDS)}) {
            text += checked(line);
        }
        const uint32_t frames = rng() % 6;
        std::string hash = H;
        for (uint32_t f = 1; f <= frames; ++f) {
            hash = one(HASHES);
            const uint32_t number = f + (rng() % 10 == 0 ? 1 : 0);
            text += checked("frame " + std::to_string(number) + " " + one(MS) + " " + hash +
                            (rng() % 2 == 0 ? pick(EVENTS) : ""));
        }
        const uint32_t end = rng() % 5;
        if (end < 3) {
            text +=
                checked("end " + std::to_string(frames + (end == 1)) + " " + (end == 2 ? H : hash));
        }
        if (rng() % 8 == 0) {
            const size_t at = rng() % text.size();
            text[at] = static_cast<char>(text[at] ^ (rng() % 2 == 0 ? 0x01 : 0x80));
        }
        Recording recording;
        std::string error;
        const int read = parse_recording(text, "f", &recording, &error);
        probe(read ? recording_text(recording).c_str() : "refused", error, recording.frames.size(),
              recording.events.size());
    }
}

// The heap failing: each case runs with its request `skip` (from 0) failing,
// and `count` in all, for every request it makes (-1: none fails). What it
// reports and what it prints ("failed to split polygon." when a cut finds no
// memory, "failed to allocate rock fragment." when a piece finds none) are
// probed; every block it took must be back by its end.
template <class Run> void failing(const char* name, int skip, int count, Run run) {
    reset_seams();
    testing::internal::CaptureStderr();
    const std::string left = run(skip, count);
    fail_malloc_after(-1);
    probe(name, skip, count, left, testing::internal::GetCapturedStderr());
    EXPECT_EQ(seams.blocks, 0) << name << " with request " << skip << " failing";
}

void failures() {
    for (int skip = -1; skip < 12; ++skip) {
        for (int count = 1; count <= 2; ++count) {
            failing("start", skip, count, [](int k, int n) {
                Game game{};
                fail_malloc_after(k, n);
                std::string left = std::to_string(init_game(&game, 800, 600, 4));
                fail_malloc_after(-1);
                text(&left, game.active.count);
                release_game(&game);
                return left;
            });
            failing("rocks", skip, count, [](int k, int n) {
                auto* made = static_cast<Sprite*>(std::malloc(3 * sizeof(Sprite)));
                std::memset(rock_points, 0, sizeof rock_points); // the directions come first
                fail_malloc_after(k, n);
                const bool ready = generate_rocks(made, 3, FIELD, 1, 2, 3) != nullptr;
                fail_malloc_after(-1);
                std::string left = std::to_string(ready);
                text(&left, rock_points[4]);
                for (int i = 0; i < 3 && ready; ++i) {
                    text(&left, made[i]);
                    std::free(made[i].polygon.vertices);
                }
                if (ready) { // a failed call gives the array back itself
                    std::free(made);
                }
                return left;
            });
        }
    }
    failing("hundred", -1, 1, [](int, int) {
        Game game{};
        std::string left = std::to_string(init_game(&game, 800, 600, 100));
        text(&left, game.active.count);
        release_game(&game);
        return left;
    });
    failing("in place", 0, 1, [](int k, int n) {
        Sprite storage, pattern;
        std::memset(static_cast<void*>(&storage), 0xab, sizeof storage);
        std::memset(static_cast<void*>(&pattern), 0xab, sizeof pattern);
        fail_malloc_after(k, n);
        return std::to_string(random_rock(&storage, FIELD, 1, 2, 3) != nullptr) +
               std::to_string(std::memcmp(&storage, &pattern, sizeof storage));
    });
    failing("missile", 0, 1, [](int k, int n) {
        Ship ship{};
        init_ship(&ship, 400, 300);
        fail_malloc_after(k, n);
        Missile* m = fire_missile(&ship);
        std::free(m);
        return std::to_string(m != nullptr) + " " + std::to_string(ship.fire_cooldown_ms);
    });
    // A piece without vertices makes no fragments and is given back all the same.
    failing("empty piece", -1, 1, [](int, int) {
        Game game{};
        init_game(&game, 800, 600, 0);
        auto* piece = static_cast<Sprite*>(std::malloc(sizeof(Sprite)));
        *piece = Sprite{};
        piece->storage = STORAGE_HEAP_ROCK;
        shatter_rock(&game, piece);
        const std::string left = std::to_string(game.active.count);
        release_game(&game);
        return left;
    });
}

// Inputs no set above meets: outlines so small that 1 / (6 A) overflows, or
// whose cancelling terms leave a tiny area; masses too small to invert; records
// made from junk; tall fields whose margin is below the rounding of y; lines at
// the int range; segments along an edge; a scan; the start from a junk record.
void corners() {
    // clang-format off
    const std::vector<Vector> outlines[] = {
        {{0, 0}, {0x1p-537, 0}, {0, 0x1p-537}}, {{0, 0}, {0x1p-537, 0}, {0, 0x1p-536}},
        {{0, 0}, {0, 4}, {4, 0}, {4, 4}, {0x1p-1022, 0x1p-1031}},
        {{7.6414643e-317, 0}, {0, 8.1027e-320}, {0, 0}, {-133762461466624.0, -41255400998277.516},
         {-41255400998277.516, 1.0387856152602562e-13}, {-41255400998277.516, -41255400998277.516},
         {5.776622002767456e-275, 2.61920051908e-312}, {0, 3.49895885972264e-310}},
        {{72.517070153605943, 37.25828256152991}, {-33.919346718933241, 86.758978557382648},
         {84.559102698350358, 31.657859231952845}},
        {{0, 0}, {0x1p-512, 0}, {0, 0x1p-512}}, {{0, 0}, {0, 4}, {4, NAN}}};
    // clang-format on
    for (std::vector<Vector> points : outlines) {
        for (const double density : {1.0, 0x1p-1032, 0.0}) {
            std::vector<Vector> copy = points;
            Polygon p = polygon_of(copy);
            Vector c{-7, -7};
            init_polygon(&p, &c);
            probe("corner", p, c, p.area, p.second_moment, polygon_is_sound(p));
            Sprite s;
            std::memset(static_cast<void*>(&s), 0x5a, sizeof s);
            init_sprite(&s, 1, 2, polygon_of(points), density, 3, 4, 5);
            probe("junk", s, s.storage, s.color.r, s.color.g, s.color.b);
        }
    }
    probe("no outline", polygon_is_sound(Polygon{nullptr, 3, 1, 0, 0, 0}));
    Ship ship;
    std::memset(static_cast<void*>(&ship), 0x5a, sizeof ship);
    init_ship(&ship, 400, 300);
    probe("junk ship", ship, ship.controls, ship.fire_cooldown_ms, ship.storage);
    const Segment tall[] = {{{0, 1e-306}, {799.9999, 0x1.33p-12}},
                            {{0, 1e-229}, {39.99349346504277, 0x1.336e2eb1c2d88p-12}}};
    const Vector fields[] = {{800, 2576980377600}, {3.126953125, 352321536000}};
    for (int i = 0; i < 2; ++i) {
        reset_seams();
        draw_wrapped_segment(nullptr, tall[i], fields[i]);
        probe("tall", seams.lines);
    }
    reset_seams();
    for (const Segment& s :
         {Segment{{-1.5, 2.9}, {3.0, -0.2}}, Segment{{2147483647.5, -2147483648.5}, {0, 0}},
          Segment{{2147483648.0, 0}, {0, 0}}, Segment{{0, -2147483649.0}, {0, 0}}}) {
        draw_segment(nullptr, s);
    }
    probe("int range", seams.lines);
    std::vector<Vector> square{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    for (const double x : {-2.0, 1.0, 3.0, 6.0}) {
        for (const double d : {-8.0, -2.0, 2.0, 4.0, 8.0}) {
            Vector point{-7, -7};
            const Segment s{{x, 0}, {d, 0}};
            probe("along", s, segment_first_intersects_polygon_at(polygon_of(square), s, &point),
                  point);
        }
    }
    Sprite s{}, left{}, below{}, far{};
    for (auto [sprite, x, y, r] :
         {std::tuple(&s, 400, 300, 30), std::tuple(&left, 370, 300, 20),
          std::tuple(&below, 400, 340, 20), std::tuple(&far, 100, 100, 20)}) {
        sprite->position = Vector{double(x), double(y)};
        sprite->polygon.radius = r;
    }
    Sprite* list[] = {&left, &s, &far, &below};
    clear_sprite(s, list, 4, FIELD);
    probe("scan", s.position, left.position, below.position, far.position);
    for (const int width : {800, 801}) {
        Game game;
        std::memset(static_cast<void*>(&game), 0x5a, sizeof game); // nothing read before it is set
        seed_random(static_cast<uint32_t>(width));
        init_game(&game, width, width - 200, 2);
        probe("start", std::to_string(hash_game(game)), game.active.count, game.rocks.count,
              active_sprites(game)[0] == &game.ship,
              active_sprites(game)[2] == static_cast<Sprite*>(game.rocks.items) + 1,
              game.ship.polygon.vertices == ship_points, ship_points[1], game.ship.polygon.radius);
        release_game(&game);
    }
    // Every kind of recorded event as an SDL event, and back.
    for (uint8_t kind = EVENT_KEY_DOWN; kind <= EVENT_PAD_REMOVED; ++kind) {
        const SDL_Event e = recorded_to_sdl(RecordedEvent{kind, kind < 3 ? 'a' : -32768 + kind});
        RecordedEvent back{99, 99};
        probe("sdl", kind, e.type, e.key.state, e.key.repeat, e.key.keysym.sym, e.cbutton.button,
              e.cbutton.state, e.caxis.axis, e.caxis.value, sdl_to_recorded(e, &back), back.kind,
              back.key);
    }
    // Files at the reader's other bounds: a line of no body, a version with a
    // word more, a frame of every kind of event and one of the most events.
    std::string most = "frame 2 0 0123456789abcdef";
    for (int i = 0; i < 65535; ++i) {
        most += " up:Left";
    }
    const std::string header = checked("brelkor-recording 2") + checked("game 0.1") +
                               checked("seed 1") + checked("rocks 4") + checked("field 800 600");
    for (const std::string& text :
         {header + " *00000000\n", checked("brelkor-recording 2 x"),
          header + checked("frame 1 0 0123456789abcdef down:Up repeat:Up up:Up quit"),
          header +
              checked("frame 1 0 0123456789abcdef pad-down:A pad-up:Start stick-x:-3 stick-y:4 "
                      "pad-removed") +
              checked(most)}) {
        Recording recording;
        std::string error;
        std::string events;
        parse_recording(text, "f", &recording, &error);
        for (const RecordedEvent& e : recording.events) {
            events += " " + std::to_string(e.kind) + ":" + std::to_string(e.key);
        }
        probe("bounds", error, recording.frames.size(), events.substr(0, 200));
    }
    for (const size_t length : {size_t{2} << 20, (size_t{2} << 20) + 1}) { // the longest line
        Recording recording;
        std::string error;
        parse_recording(std::string(length, 'x') + "\n", "f", &recording, &error);
        probe("long line", error);
    }
    seed_random(1);
    const uint16_t zero = 0;
    replay_random(&zero, 0); // an empty replay: the seeded generator again
    probe("empty replay", random_15bit());
}

void deep_starts() {
    // Starts whose separation nests hundreds of pushes deep (193 with seed
    // 25130) settle as an unbounded separation leaves them; the benchmark
    // BM_SeparationAgainstUnbounded runs the first 100,000 seeds.
    for (const uint32_t seed : {25130u, 1048u, 5147u, 6016u}) {
        seed_random(seed);
        Game game{};
        init_game(&game, 800, 600, 4);
        probe("deep start", std::to_string(hash_game(game)));
        release_game(&game);
    }
}

std::string golden_path() { return std::string(GOLDEN_DIR) + "/probes.txt"; }

uint64_t hash_of(const std::string& s) {
    uint64_t h = 14695981039346656037u;
    for (const char c : s) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    return h;
}

} // namespace

TEST(Probes, GiveWhatTheyGave) {
    probes.clear();
    seed_random(1);
    // Each part draws its inputs from a generator of its own start, so that
    // taking a part out leaves the others' inputs as they were.
    rng.seed(2027);
    cracks();
    rng.seed(2028);
    readings();
    failures();
    corners();
    deep_starts();
    reset_seams();
    // One hash for every four probes keeps the file small.
    constexpr size_t GROUP = 4;
    std::string hashes;
    char line[20];
    for (size_t i = 0; i < probes.size(); i += GROUP) {
        std::string group;
        for (size_t k = i; k < i + GROUP && k < probes.size(); ++k) {
            group += probes[k] + "\n";
        }
        std::snprintf(line, sizeof line, "%016llx\n",
                      static_cast<unsigned long long>(hash_of(group)));
        hashes += line;
    }
    if (std::getenv("BRELKOR_WRITE_GOLDEN") != nullptr) {
        std::ofstream(golden_path(), std::ios::binary) << hashes;
    }
    const std::string w = read_file(golden_path());
    ASSERT_EQ(hashes.size(), w.size()) << "probes now and in the file";
    for (size_t i = 0; i < hashes.size(); i += 17) {
        std::string now;
        for (size_t k = i / 17 * GROUP; k < (i / 17 + 1) * GROUP && k < probes.size(); ++k) {
            now += "\n" + probes[k];
        }
        ASSERT_EQ(hashes.compare(i, 17, w, i, 17), 0)
            << "probes " << i / 17 * GROUP + 1 << " on differ; they give now:" << now;
    }
}
