// Brelkor: the game record, the frame loop and the ship.
//
// Conventions
// - The field is world_size pixels (800 by 600 in the game) and wraps around;
//   field coordinates are window pixels, y pointing down.
// - Physics time is in seconds (double); timers are whole milliseconds (32-bit
//   signed), counted down each step by the step length times 1000, truncated.
// - The simulation never reads the clock: play_game reads it once per frame
//   and hands the elapsed milliseconds to simulate_game, so tests drive the game
//   with synthetic time and events.
// - The active-sprite list (the slab `active`) is the one registry of live
//   bodies and owns none of them. The ship lives in the Game and is always
//   entry 0; start-up rocks live in the slab `rocks`; each missile and each rock
//   made by cracking in heap storage of its own; the fragments of one
//   shattering in one shared heap block.
// - A sprite dies by getting the kind KIND_DEAD; only the end of the step takes
//   it out of the list.
// - Operations that can fail return int 1 or 0, or a pointer that is null.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "slab.h"
#include "sprite.h"
#include "vector.h"

// Control bits: the keys (or gamepad buttons) now held.
enum ShipControl : int32_t {
    CONTROL_THRUST = 1, // Up arrow; the D-pad's up, the left stick pushed up
    CONTROL_RETRO = 2,  // Down arrow; the D-pad's down, the left stick pulled down
    CONTROL_LEFT = 4,   // Left arrow; the D-pad's left, the left stick to the left
    CONTROL_RIGHT = 8,  // Right arrow; the D-pad's right, the left stick to the right
    CONTROL_FIRE = 16,  // Space; the south button (A)
    // Which way the left stick leans now: each lean bit is its control bit moved
    // up by CONTROL_STICK_SHIFT. Kept so that only a change of lean changes the
    // control bits, and a stick trembling in its dead zone leaves the keys' bits
    // alone. The engines look at the five bits above only.
    CONTROL_STICK_UP = CONTROL_THRUST << 8,
    CONTROL_STICK_DOWN = CONTROL_RETRO << 8,
    CONTROL_STICK_LEFT = CONTROL_LEFT << 8,
    CONTROL_STICK_RIGHT = CONTROL_RIGHT << 8,
};
constexpr int CONTROL_STICK_SHIFT = 8;

// How far the left stick must lean from its centre, of 32767, to count as held
// that way: half its travel.
constexpr int32_t STICK_LEAN = 16384;

struct Ship : Sprite {
    int32_t controls;         // ShipControl bits held
    int32_t fire_cooldown_ms; // until the next missile may leave; 0 = ready
};

struct Missile : Sprite {
    int32_t thrust_ms; // engine burn left
    int32_t life_ms;   // life left
};

struct Fragment : Sprite {
    int32_t life_ms; // life left; 1500 when made, dies at exactly 0
    // The fragments of one shattering share one block and one ring of vertices;
    // both go once every fragment of the block has died and left the list.
    Fragment* block;     // the shattering's first record
    uint32_t block_live; // in the first record only: fragments still listed
};

struct Game {
    int32_t quit;        // 1 once Escape or the window's close request came
    int32_t paused;      // toggled by P; no step runs while 1
    uint32_t pending_ms; // wall-clock time not yet simulated; below 10 between frames
    Vector world_size;   // field width and height in pixels
    Ship ship;           // the player's ship, entry 0 of the list
    Slab rocks;          // Sprite slots of the start-up rocks, capacity GAME_CAPACITY
    Slab active;         // Sprite* slots: the active-sprite list, capacity GAME_CAPACITY
    // 1: the collision pass takes every pair the plain way
    // (handle_collisions_plain), the reference the fast pass is measured and
    // checked against; 0 (as zeroed) in play. init_game leaves it as it is.
    int32_t plain_contacts;
};

// Slots of each of the game's two slabs.
constexpr uint32_t GAME_CAPACITY = 100;

// One simulation step: 10 ms.
constexpr uint32_t STEP_MS = 10;
constexpr double STEP_SECONDS = 0.01;

// Whole milliseconds of a step of dt seconds, truncated toward zero: 10 for
// 0.01 s. Timers count down by this.
inline int32_t step_milliseconds(double dt) { return static_cast<int32_t>(dt * 1000); }

// Most wall-clock time one frame may add: a stalled frame would otherwise turn
// into a burst of catch-up steps.
constexpr uint32_t FRAME_CAP_MS = 250;

// Sleep after each presented frame.
constexpr uint32_t FRAME_DELAY_MS = 33;

// The ship's outline, shared by the ship's own polygon record; init_game centres
// it in place.
extern Vector ship_points[4];
extern Polygon ship_shape;

// The missile's outline, shared by every missile. Nothing centres it before the
// first missile is made, so that one moves the points in place and starts 2
// pixels further along +x than the launch point; later ones start on it.
extern Vector missile_points[3];
extern Polygon missile_shape;

// Puts both shared outlines back as they were before any game moved them, so
// that a second game in the same process starts as the first one did.
void restore_shared_outlines();

// Ship and missile constants: pixels, seconds, milliseconds, radians.
constexpr double SHIP_DENSITY = 1.0;
constexpr double SHIP_THRUST = 400;                  // pixels per second squared
constexpr double SHIP_TURN_RATE = 3.455751918948773; // 1.1 pi radians per second
constexpr double RETRO_DEAD_ZONE = 0.0001;           // radians either side of the motion's line
constexpr double RETRO_ALONG = 0.9;                  // cosine: facing along the motion
constexpr double SHIP_NOSE = 1.05;                   // front point: the nose scaled by this
constexpr int32_t FIRE_COOLDOWN_MS = 400;
constexpr double MISSILE_GAP = 3;          // launch point ahead of the ship's front point
constexpr double MISSILE_THRUST = 1600;    // pixels per second squared
constexpr int32_t MISSILE_THRUST_MS = 500; // burn
constexpr int32_t MISSILE_LIFE_MS = 1000;  // life
constexpr int32_t FRAGMENT_LIFE_MS = 1500; // a whole number of steps
constexpr double SHATTER_AREA = 1500;      // square pixels: smaller pieces shatter
constexpr double CRACK_INSET = 0.5;        // pixels past the entry crossing
constexpr double NUDGE_SPEED = 7.5;        // pixels per second, new rocks apart

// The active-sprite list's slot array.
inline Sprite** active_sprites(const Game& game) {
    return static_cast<Sprite**>(game.active.items);
}

// Builds the game: both slabs, the ship in the middle, rock_count rocks, and the
// rocks pushed clear of the ship. 1 when ready, 0 at the first failure (what was
// taken so far stays in the record for release_game).
int init_game(Game* game, int width, int height, int rock_count);

// Gives back everything the game took: the vertex arrays of the rocks made in
// the rock slab (listed or not) and both slabs' storage. The record may be
// partly built, but must have started zeroed.
void release_game(Game* game);

// A 64-bit FNV-1a hash of everything that decides how the game goes on; the
// same state gives the same hash on every machine. The bytes hashed, in order,
// each value's little-endian bytes, doubles by their IEEE-754 bits:
//   the game: quit, paused, pending_ms (32 bits each), world_size, the
//     generator's state (32 bits), the shared missile outline's three points,
//     the list's count (32 bits);
//   each listed sprite in list order: kind, position, orientation, velocity,
//     acceleration, angular_velocity, mass, moment, inverse_mass,
//     inverse_moment, the outline's count (32 bits), radius and points;
//     then a ship's controls and fire_cooldown_ms, a missile's thrust_ms and
//     life_ms, a fragment's life_ms (32 bits each).
uint64_t hash_game(const Game& game);

// Appends the sprite to the list. 1 on success; 0 when the list is full, which
// changes nothing.
int activate_sprite(Game* game, Sprite* sprite);

// The first list slot holding the sprite, or null.
Sprite** active_sprite(const Sprite* sprite, const Game& game);

// Takes the sprite's first entry out of the list; the later entries move down.
void deactivate_sprite(const Sprite* sprite, Game* game);

// deactivate_sprite, then gives back what the sprite's storage tag says it
// holds (release_sprite).
void delete_sprite(Sprite* sprite, Game* game);

// Gives back a sprite that is in no list, by its storage tag: a slab rock's
// vertex array (the slot stays, its pointer cleared), a heap missile's record, a
// heap rock's record and vertex array; a fragment counts down its shattering,
// whose block and ring go with the last. The ship holds nothing to give back.
void release_sprite(Sprite* sprite);

struct Recorder;

// Runs frames until quit is set: events, simulation, drawing, 33 ms sleep.
// With a recorder, each frame's events and elapsed time and the state's hash
// after it are written out as the frame ends (record_frame).
void play_game(Game* game, SDL_Renderer* renderer, Recorder* recorder = nullptr);

// What the window makes of an event before the game sees it: a gamepad plugged
// in is opened (and closed when it goes), so that its events come; Alt+Enter
// toggles full screen, the field scaled to fit with its shape kept. The game
// itself sees the event as any other (Enter moves nothing).
void handle_window_event(SDL_Renderer* renderer, const SDL_Event& event);

// With the field scaled (a logical size set), the bars beside it are cleared
// too: the field's own clear covers the field only.
void clear_letterbox(SDL_Renderer* renderer);

// Handles one event: Escape and the close request quit, P and a gamepad's Start
// pause, other keys and the gamepad's buttons, left stick and removal go to the
// ship's controls.
void control_game(Game* game, const SDL_Event& event);

// Adds the elapsed wall-clock milliseconds (at most FRAME_CAP_MS, none while
// paused) and runs the 10 ms steps that are due. Returns the milliseconds left
// pending.
uint32_t simulate_game(Game* game, uint32_t elapsed_ms);

// One simulation step of dt seconds.
void step_game(Game* game, double dt);

// Clears the frame to black and draws every listed sprite in list order.
void draw_game(SDL_Renderer* renderer, const Game& game);

// Tests each pair of the first count listed sprites for contact, the earlier
// entry first, and applies the rule for their kinds. Pairs that no rule acts on
// are not tested, and the exact test skips the work whose result is known
// (sprite.h); every result is the plain pass's, bit for bit. The plain pass
// runs instead when the game's plain_contacts is set, count is above
// CONTACT_SPRITES or a listed kind is not a SpriteKind.
void handle_collisions(Sprite* const sprites[], uint32_t count, Game* game);

// The same by the plain reading: sprites_collide on every pair, in the same
// order.
void handle_collisions_plain(Sprite* const sprites[], uint32_t count, Game* game);

// The rule for two touching sprites: rocks bounce off rocks and the ship; a
// missile cracks a rock and dies; a missile dies on the ship; nothing else.
void collide_sprite_pair(Sprite* first, Sprite* second, Game* game, Vector point, Vector normal);

// The ship cannot be destroyed: no rule calls this.
void kill_ship(Ship* ship);

// The ship.

// The ship at (x, y), nose up, at rest, red, from ship_shape.
void init_ship(Ship* ship, uint32_t x, uint32_t y);

// Sets the control bit of a key-down, clears it on key-up; other keys do nothing.
void control_ship(Ship* ship, const SDL_Event& event);

// The same from a gamepad: a button press sets its control bit and its release
// clears it (the D-pad turns, thrusts and turns against the motion, the south
// button fires; other buttons do nothing); the left stick, leaning beyond
// STICK_LEAN, holds the bits of the D-pad's directions while it leans so; a
// gamepad that goes away lets go of every control.
void control_ship_by_pad(Ship* ship, const SDL_Event& event);

// One step's cool-down, thrust and turn.
void simulate_ship_engines(Ship* ship, double dt);

// The point 1.05 times the nose's distance ahead of the ship's centre.
Vector ship_front(const Ship& ship);

// Missiles.

// A new missile ready to be listed; null while the cool-down runs or when no
// record can be had (the cool-down is then left as it was).
Missile* fire_missile(Ship* ship);

// Fills the missile: launched 3 pixels ahead of front along heading, with the
// given velocity, burning along the heading.
void init_missile(Missile* missile, Vector front, Vector velocity, Vector heading);

// Runs the burn and life timers for one step; at the end of life the kind
// becomes KIND_DEAD.
void simulate_missile(Missile* missile, double dt);

// Cracking and fragments.

// Cracks the rock along a random bent chain from where the missile's line of
// flight enters it; the pieces become rocks or fragments and the rock dies.
void crack_rock(Game* game, Sprite* rock, const Sprite& missile);

// Makes a sprite from a piece of the parent (in the parent's frame), taking
// over its vertex array: a rock carrying on the parent's motion (listed, and
// returned) or, below SHATTER_AREA, fragments (null). Null also when no record
// can be had.
Sprite* new_fragment(Game* game, const Sprite& parent, const Polygon& piece);

// Replaces an unlisted sprite by one fragment per edge, each flying outward,
// and gives the sprite back.
void shatter_rock(Game* game, Sprite* sprite);

// Pushes the new rock away from the parent's centre at NUDGE_SPEED.
void nudge_fragment(const Sprite& parent, Sprite* rock);

// Counts the fragment's life down; at exactly 0 the kind becomes KIND_DEAD.
void simulate_fragment(Fragment* fragment, double dt);

// Recordings: a game written down frame by frame, so that it can be replayed
// exactly. The game is decided by its start (seed, rocks, field) and, frame by
// frame, by the events control_game handled and the milliseconds simulate_game
// was handed; after each frame the recording holds hash_game of the state, so
// a replay finds the first frame that went otherwise. docs/recording.md
// describes the file: text lines, each ending in a CRC-32 of its own bytes.

// The first line of a recording: its format's name and version.
constexpr std::string_view RECORDING_FORMAT = "brelkor-recording";
// Version 2 added the gamepad's events; version 1 files are read as well.
constexpr uint32_t RECORDING_VERSION = 2;

// Most events one frame can hold: more than SDL's event queue holds at once
// (65535).
constexpr uint32_t RECORDING_FRAME_EVENTS = 65535;
// Most frames, and most events in all, that a recording holds: about 39 hours
// of play at 30 frames a second, and the memory a replay takes stays below
// about 100 MiB.
constexpr uint32_t RECORDING_MOST_FRAMES = 1u << 22;
constexpr uint32_t RECORDING_MOST_EVENTS = 1u << 22;

// The events that control_game acts on; the others are not recorded.
enum RecordedEventKind : uint8_t {
    EVENT_KEY_DOWN = 0,    // SDL_KEYDOWN
    EVENT_KEY_REPEAT = 1,  // SDL_KEYDOWN repeated while the key is held
    EVENT_KEY_UP = 2,      // SDL_KEYUP
    EVENT_QUIT = 3,        // SDL_QUIT, the window's close request
    EVENT_PAD_DOWN = 4,    // SDL_CONTROLLERBUTTONDOWN of a button the game uses
    EVENT_PAD_UP = 5,      // SDL_CONTROLLERBUTTONUP of one
    EVENT_STICK_X = 6,     // SDL_CONTROLLERAXISMOTION of the left stick's x axis
    EVENT_STICK_Y = 7,     // and of its y axis
    EVENT_PAD_REMOVED = 8, // SDL_CONTROLLERDEVICEREMOVED
};

struct RecordedEvent {
    uint8_t kind; // a RecordedEventKind
    // SDL key code (keysym.sym) of a key event, the SDL_GameControllerButton of a
    // gamepad button, the axis value (-32768 to 32767) of a stick; else 0.
    int32_t key;
};

struct RecordedFrame {
    uint64_t hash;        // hash_game after the frame
    uint32_t elapsed_ms;  // handed to simulate_game
    uint32_t first_event; // the frame's events: events[first_event] up to the next frame's
};

// How a game starts.
struct RecordingStart {
    std::string game_version; // of the game that recorded it
    uint32_t seed;            // the generator's seed, also when the clock gave it
    int32_t rocks;            // rocks at the start, 0 to 99
    int32_t width, height;    // the field: 800 by 600
};

struct Recording {
    uint32_t version = RECORDING_VERSION; // of the file's format
    RecordingStart start;
    std::vector<RecordedFrame> frames;
    std::vector<RecordedEvent> events;
    bool ended; // the end line came: the game that made it finished
};

// The events of frame i: [*begin, *end) of recording.events.
void frame_events(const Recording& recording, uint32_t i, uint32_t* begin, uint32_t* end);

// The SDL event a recorded one stands for, and the recorded one of an SDL event
// (false for an event that control_game ignores).
SDL_Event recorded_to_sdl(RecordedEvent event);
bool sdl_to_recorded(const SDL_Event& event, RecordedEvent* recorded);

// Reads and checks a whole recording: 1, or 0 with error set to one line
// (without a newline) naming the file and, where it applies, the line and what
// was expected. Nothing is left half read in recording on failure.
int read_recording(const char* path, Recording* recording, std::string* error);

// The same over a recording's text; name stands for the file in messages.
int parse_recording(std::string_view text, const char* name, Recording* recording,
                    std::string* error);

// The text of a recording, as the recorder writes it: what read_recording
// accepts is exactly this text of what it read.
std::string recording_text(const Recording& recording);

// Writes a game down as it is played. Every line is written out whole and
// flushed when it ends, so a game killed mid-way leaves a recording of its
// frames up to the last whole one. After a failed write the recorder is
// stopped: it writes no more and holds what went wrong.
struct Recorder {
    std::FILE* file = nullptr; // null once closed or stopped
    std::string path;
    std::string line;          // the frame being written
    uint32_t frames = 0;       // frames written
    uint32_t frame_events = 0; // events in the frame being written
    uint32_t events = 0;       // events written in all
    uint64_t last_hash = 0;    // of the last frame written
    bool failed = false;       // a write failed, or the recording was full
    std::string error;         // one line, when failed
};

// Creates the file, never replacing one that exists, and writes the header.
// 1, or 0 with error set (nothing is left open; a file created is removed).
int open_recording(Recorder* recorder, const char* path, const RecordingStart& start);

// Adds one event handled in the frame being written; events that control_game
// ignores are left out.
void record_event(Recorder* recorder, const SDL_Event& event);

// Ends the frame: its elapsed milliseconds, the events added since the last
// frame, the state's hash. 1 when written; 0 when the recorder is stopped, and
// for the write that stops it, one line on stderr.
int record_frame(Recorder* recorder, uint32_t elapsed_ms, uint64_t hash);

// Writes the end line (frame count and the last hash) and closes the file. 1
// when the whole recording was written, 0 when any write failed (stderr has had
// a line for the first failure) or the recorder was stopped before.
int close_recording(Recorder* recorder);

// Closes the file without an end line, as a game that was killed leaves it.
void abandon_recording(Recorder* recorder);

// Replays.

// Builds the recorded game's start: the generator seeded, then init_game with
// the recorded field and rocks. 1 when ready, 0 when the game cannot be built.
int start_replay(Game* game, const Recording& recording);

// Replays frame i: its events through control_game, then simulate_game with its
// milliseconds. Returns the number of steps the frame ran.
uint32_t replay_frame(Game* game, const Recording& recording, uint32_t i);

// What a replay found.
struct ReplayOutcome {
    uint32_t frames = 0;      // frames replayed
    uint64_t steps = 0;       // simulation steps run
    uint32_t first_wrong = 0; // the first frame whose hash differed (from 1); 0: none
    uint64_t final_hash = 0;  // the hash after the last frame replayed
    bool stopped = false;     // the viewer ended a replay in the window early
};

// Replays the whole recording without a window, as fast as it goes. With a
// name, the first differing frame gets one line on stderr.
ReplayOutcome replay_headless(Game* game, const Recording& recording, const char* name);

// Replays it in the window at the recorded pace, each frame drawn; Escape or the
// window's close request ends it early. The clock paces the frames only: the
// game is handed the recorded milliseconds. At the first differing frame one
// line goes to stderr.
ReplayOutcome replay_in_window(Game* game, SDL_Renderer* renderer, const Recording& recording,
                               const char* name);
