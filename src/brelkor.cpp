// The game record, the active-sprite list and the frame loop.
#include "brelkor.h"

#include <cstdlib>
#include <new>

#include "rock.h"
#include "shapes.h"

namespace {

// The start-up rocks' colour.
constexpr uint8_t ROCK_GREY = 200;

// The ship's bounding radius is enlarged this many times while the start-up
// separation pushes the rocks clear of it.
constexpr double START_CLEARANCE = 4;

} // namespace

int init_game(Game* game, int width, int height, int rock_count) {
    game->quit = 0;
    game->paused = 0;
    game->pending_ms = 0;
    game->world_size = Vector{static_cast<double>(width), static_cast<double>(height)};
    if (!init_slab(&game->rocks, sizeof(Sprite), GAME_CAPACITY)) {
        return 0;
    }
    if (!init_slab(&game->active, sizeof(Sprite*), GAME_CAPACITY)) {
        return 0;
    }
    // Centre the shared outline once, so that making the ship moves it no further
    // and the ship stands exactly at the point given. The missile's outline
    // goes back to its first state too: the first missile centres it.
    restore_shared_outlines();
    init_polygon(&ship_shape, nullptr);
    init_ship(&game->ship, static_cast<uint32_t>(width / 2), static_cast<uint32_t>(height / 2));
    if (!activate_sprite(game, &game->ship)) {
        return 0;
    }
    init_rock_generator();
    for (int i = 0; i < rock_count; ++i) {
        void* slot = allocate(&game->rocks, 1);
        if (slot == nullptr) {
            return 0;
        }
        // A slot starts as an empty sprite, so that release_game finds no vertex
        // array in it when the rock cannot be made.
        auto* rock = new (slot) Sprite{};
        if (random_rock(rock, game->world_size, ROCK_GREY, ROCK_GREY, ROCK_GREY) == nullptr) {
            return 0;
        }
        rock->storage = STORAGE_SLAB;
        if (!activate_sprite(game, rock)) {
            return 0;
        }
    }
    // Push the rocks clear of a circle four times the ship's bounds.
    const double radius = game->ship.polygon.radius;
    game->ship.polygon.radius = radius * START_CLEARANCE;
    shift_sprites(active_sprites(*game), game->active.count, game->world_size);
    game->ship.polygon.radius = radius;
    return 1;
}

void release_game(Game* game) {
    // What is still listed, then the rock slab itself: a rock made when the
    // list was full is in the slab but not listed. A listed slab rock has its
    // pointer cleared by the first walk, so the second finds nothing to free.
    Sprite** slots = active_sprites(*game);
    for (uint32_t i = 0; i < game->active.count; ++i) {
        release_sprite(slots[i]);
    }
    game->active.count = 0;
    auto* rocks = static_cast<Sprite*>(game->rocks.items);
    for (uint32_t i = 0; i < game->rocks.count; ++i) {
        std::free(rocks[i].polygon.vertices);
        rocks[i].polygon.vertices = nullptr;
    }
    release_slab(&game->rocks);
    release_slab(&game->active);
}

void release_sprite(Sprite* sprite) {
    switch (sprite->storage) {
    case STORAGE_KEPT:
        break;
    case STORAGE_SLAB:
        std::free(sprite->polygon.vertices);
        sprite->polygon.vertices = nullptr;
        break;
    case STORAGE_HEAP: // the outline is the shared missile_points
        std::free(sprite);
        break;
    case STORAGE_HEAP_ROCK:
        std::free(sprite->polygon.vertices);
        std::free(sprite);
        break;
    case STORAGE_SHATTERING: {
        // The ring begins at the first record's vertices.
        Fragment* block = static_cast<Fragment*>(sprite)->block;
        if (--block->block_live == 0) {
            std::free(block->polygon.vertices);
            std::free(block);
        }
        break;
    }
    }
}

int activate_sprite(Game* game, Sprite* sprite) {
    void* slot = allocate(&game->active, 1);
    if (slot == nullptr) {
        return 0;
    }
    *static_cast<Sprite**>(slot) = sprite;
    return 1;
}

Sprite** active_sprite(const Sprite* sprite, const Game& game) {
    Sprite** slots = active_sprites(game);
    for (uint32_t i = 0; i < game.active.count; ++i) {
        if (slots[i] == sprite) {
            return &slots[i];
        }
    }
    return nullptr;
}

void deactivate_sprite(const Sprite* sprite, Game* game) {
    Sprite** slot = active_sprite(sprite, *game);
    if (slot != nullptr) {
        deallocate(&game->active, slot, 1);
    }
}

void delete_sprite(Sprite* sprite, Game* game) {
    deactivate_sprite(sprite, game);
    release_sprite(sprite);
}

void handle_window_event(SDL_Renderer* renderer, const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        SDL_GameControllerOpen(event.cdevice.which); // SDL_Quit closes what stays open
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        SDL_GameControllerClose(SDL_GameControllerFromInstanceID(event.cdevice.which));
        break;
    case SDL_KEYDOWN: {
        SDL_Window* window = SDL_RenderGetWindow(renderer);
        if (window == nullptr || event.key.repeat != 0 || (event.key.keysym.mod & KMOD_ALT) == 0 ||
            (event.key.keysym.sym != SDLK_RETURN && event.key.keysym.sym != SDLK_KP_ENTER)) {
            break;
        }
        // The field keeps its size in pixels: the window's size while not scaled.
        int width = 0;
        int height = 0;
        SDL_RenderGetLogicalSize(renderer, &width, &height);
        if (width == 0) {
            SDL_GetWindowSize(window, &width, &height);
            SDL_RenderSetLogicalSize(renderer, width, height);
        }
        const bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
        SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
        break;
    }
    default:
        break;
    }
}

void clear_letterbox(SDL_Renderer* renderer) {
    int width = 0;
    int height = 0;
    SDL_RenderGetLogicalSize(renderer, &width, &height);
    if (width != 0) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
}

// Frame loop: each frame reads the clock once, drains the events, runs the
// steps that are due, draws and presents, and sleeps. The elapsed time runs
// from the start of one frame to the start of the next, delay included. quit is
// tested only before a frame, so the frame in which it is set completes.
void play_game(Game* game, SDL_Renderer* renderer, Recorder* recorder) {
    uint32_t last = SDL_GetTicks();
    while (!game->quit) {
        const uint32_t now = SDL_GetTicks();
        const bool recording = recorder != nullptr && recorder->file != nullptr;
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            handle_window_event(renderer, event);
            control_game(game, event);
            if (recording) {
                record_event(recorder, event);
            }
        }
        simulate_game(game, now - last); // unsigned: the clock's wrap does no harm
        if (recording) {
            record_frame(recorder, now - last, hash_game(*game));
        }
        clear_letterbox(renderer);
        draw_game(renderer, *game);
        SDL_RenderPresent(renderer);
        SDL_Delay(FRAME_DELAY_MS);
        last = now;
    }
}

// Key events reach the ship's controls while paused too, so the keys held are
// up to date when the game resumes. Repeated key-downs count like any other.
void control_game(Game* game, const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            game->quit = 1;
        } else if (event.key.keysym.sym == SDLK_p) {
            game->paused = 1 - game->paused;
        } else {
            control_ship(&game->ship, event);
        }
        break;
    case SDL_KEYUP:
        control_ship(&game->ship, event);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
        if (event.cbutton.button == SDL_CONTROLLER_BUTTON_START) {
            game->paused = 1 - game->paused;
        } else {
            control_ship_by_pad(&game->ship, event);
        }
        break;
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERDEVICEREMOVED:
        control_ship_by_pad(&game->ship, event);
        break;
    case SDL_QUIT:
        game->quit = 1;
        break;
    default:
        break;
    }
}

// A paused game drops the elapsed time and does not catch up after it resumes.
// Between frames pending_ms is below STEP_MS, so a frame runs at most 25 steps.
uint32_t simulate_game(Game* game, uint32_t elapsed_ms) {
    if (!game->paused) {
        game->pending_ms += elapsed_ms < FRAME_CAP_MS ? elapsed_ms : FRAME_CAP_MS;
    }
    while (game->pending_ms >= STEP_MS) {
        step_game(game, STEP_SECONDS);
        game->pending_ms -= STEP_MS;
    }
    return game->pending_ms;
}

// One step, in this order:
//   1. the ship's engines (cool-down, thrust, turn);
//   2. a missile, if fire is held and the cool-down allows;
//   3. every listed sprite moves; missile and fragment timers run down;
//   4. touching pairs are handled;
//   5. the dead leave the list, walking from the last entry to the first.
// Sprites added during step 4 are not moved or tested in this step, but are
// visited by the removal walk and drawn in this frame.
void step_game(Game* game, double dt) {
    simulate_ship_engines(&game->ship, dt);
    if (game->ship.controls & CONTROL_FIRE) {
        Missile* missile = fire_missile(&game->ship);
        // With the list full the shot is lost (the cool-down still runs); its
        // record is given back rather than leaked.
        if (missile != nullptr && !activate_sprite(game, missile)) {
            release_sprite(missile);
        }
    }

    Sprite** slots = active_sprites(*game);
    for (uint32_t i = 0; i < game->active.count; ++i) {
        Sprite* sprite = slots[i];
        simulate_sprite(sprite, game->world_size, dt);
        if (sprite->kind == KIND_MISSILE) {
            simulate_missile(static_cast<Missile*>(sprite), dt);
        }
        if (sprite->kind == KIND_FRAGMENT) {
            simulate_fragment(static_cast<Fragment*>(sprite), dt);
        }
    }

    handle_collisions(slots, game->active.count, game);

    // Walking downward, the entries still to visit keep their positions when a
    // later one is cut out. A sprite is given back only now that it has left
    // the list: the collision pass may have read it after it died.
    for (uint32_t i = game->active.count; i-- > 0;) {
        Sprite* sprite = slots[i];
        if (sprite->kind == KIND_DEAD) {
            deallocate(&game->active, &slots[i], 1);
            release_sprite(sprite);
        }
    }
}

void draw_game(SDL_Renderer* renderer, const Game& game) {
    const Vector world_size = game.world_size;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderFillRect(renderer, nullptr);
    Sprite* const* slots = active_sprites(game);
    for (uint32_t i = 0; i < game.active.count; ++i) {
        draw_sprite(renderer, *slots[i], world_size);
    }
}

namespace {

// A pair of kinds as one code, the lower kind first.
constexpr int pair_of(int32_t lower, int32_t higher) { return lower * 8 + higher; }

// What a touching pair does.
enum PairRule {
    RULE_NONE,         // passes through
    RULE_BOUNCE,       // bounce_sprite_pair, in list order
    RULE_CRACK,        // the missile cracks the rock and dies
    RULE_MISSILE_DIES, // the missile dies on the ship
};

// The rules, by the pair of kinds ordered low to high:
//   rock    + rock     bounce, in list order
//   rock    + ship     bounce, in list order (the ship, entry 0, first)
//   rock    + missile  crack the rock, then the missile dies
//   ship    + missile  the missile dies; the ship is untouched
//   anything with a dead sprite or a fragment, missile + missile: nothing
constexpr PairRule pair_rule(int32_t lower, int32_t higher) {
    switch (pair_of(lower, higher)) {
    case pair_of(KIND_ROCK, KIND_ROCK):
    case pair_of(KIND_ROCK, KIND_SHIP):
        return RULE_BOUNCE;
    case pair_of(KIND_ROCK, KIND_MISSILE):
        return RULE_CRACK;
    case pair_of(KIND_SHIP, KIND_MISSILE):
        return RULE_MISSILE_DIES;
    default:
        return RULE_NONE;
    }
}

// The rule of the pair, whichever order the two kinds come in.
constexpr PairRule rule_of(int32_t first, int32_t second) {
    return first > second ? pair_rule(second, first) : pair_rule(first, second);
}

// A bit (1 << kind) for each kind that some rule acts on, with a partner of
// any kind: rocks, the ship and missiles.
constexpr uint32_t kinds_taking_part() {
    constexpr int32_t kinds[] = {KIND_DEAD, KIND_ROCK, KIND_SHIP, KIND_MISSILE, KIND_FRAGMENT};
    uint32_t mask = 0;
    for (const int32_t kind : kinds) {
        for (const int32_t other : kinds) {
            if (rule_of(kind, other) != RULE_NONE) {
                mask |= 1u << kind;
            }
        }
    }
    return mask;
}
constexpr uint32_t KINDS_TAKING_PART = kinds_taking_part();

} // namespace

// Every pair once, the earlier entry first, in increasing order. count is
// fixed when the pass begins: sprites made by cracking during it wait for the
// next step. A sprite that dies during the pass is still tested, and matches
// no rule.
void handle_collisions_plain(Sprite* const sprites[], uint32_t count, Game* game) {
    Vector point{0, 0};
    Vector normal{0, 0};
    for (uint32_t i = 0; i + 1 < count; ++i) {
        for (uint32_t j = i + 1; j < count; ++j) {
            if (sprites_collide(*sprites[i], *sprites[j], game->world_size, &point, &normal)) {
                collide_sprite_pair(sprites[i], sprites[j], game, point, normal);
            }
        }
    }
}

// The plain pass's pairs in its order, but a pair is tested only when its rule
// does something. Testing changes nothing, so the pairs left out change no
// result:
//   1. the entries of kinds that some rule acts on (not dead, not fragments)
//      are taken in list order; a kind only ever becomes dead during the pass,
//      so no other entry can come to take part;
//   2. for each pair of those, in the plain order: the bounds filter, then
//      the rule of the two kinds as they are now (either may have died earlier
//      in the pass), then the contact pass, which gives sprites_collide's
//      result and bits.
void handle_collisions(Sprite* const sprites[], uint32_t count, Game* game) {
    static_assert(CONTACT_SPRITES >= GAME_CAPACITY, "the contact pass covers a full list");
    bool plain = game->plain_contacts != 0 || count > CONTACT_SPRITES;
    // A kind outside the table (only a record filled with junk has one) can
    // alias a rule in pair_of's code: the plain pass does whatever that does.
    for (uint32_t i = 0; i < count && !plain; ++i) {
        plain = sprites[i]->kind < KIND_DEAD || sprites[i]->kind > KIND_FRAGMENT;
    }
    if (plain) {
        handle_collisions_plain(sprites, count, game);
        return;
    }
    ContactPass pass; // its stores are written before they are read
    begin_contact_pass(&pass, sprites, count, KINDS_TAKING_PART, game->world_size);
    Sprite* const* listed = pass.sprites;
    Vector point{0, 0};
    Vector normal{0, 0};
    for (uint32_t i = 0; i + 1 < pass.count; ++i) {
        for (uint32_t j = i + 1; j < pass.count; ++j) {
            if (!contact_bounds_may_overlap(pass, i, j) ||
                rule_of(listed[i]->kind, listed[j]->kind) == RULE_NONE) {
                continue;
            }
            if (contact_sprites_collide(&pass, i, j, &point, &normal)) {
                collide_sprite_pair(listed[i], listed[j], game, point, normal);
            }
        }
    }
}

void collide_sprite_pair(Sprite* first, Sprite* second, Game* game, Vector point, Vector normal) {
    const bool swapped = first->kind > second->kind;
    Sprite* low = swapped ? second : first;
    Sprite* high = swapped ? first : second;
    switch (pair_rule(low->kind, high->kind)) {
    case RULE_BOUNCE:
        bounce_sprite_pair(first, second, game->world_size, point, normal);
        break;
    case RULE_CRACK:
        crack_rock(game, low, *high);
        high->kind = KIND_DEAD;
        break;
    case RULE_MISSILE_DIES:
        high->kind = KIND_DEAD;
        break;
    case RULE_NONE:
        break;
    }
}

void kill_ship(Ship* ship) { (void)ship; }
