// The gamepad: its events, handled by the game as the frame loop hands them
// over, become the same control bits as the keys. Each row is also played
// through a recording (event to recorded event and back) and must end the same.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <vector>

#include "seams.h"

namespace {

SDL_Event button(Uint32 type, SDL_GameControllerButton which) {
    SDL_Event event{};
    event.type = type;
    event.cbutton.button = static_cast<Uint8>(which);
    return event;
}
SDL_Event down(SDL_GameControllerButton which) { return button(SDL_CONTROLLERBUTTONDOWN, which); }
SDL_Event up(SDL_GameControllerButton which) { return button(SDL_CONTROLLERBUTTONUP, which); }
SDL_Event axis(SDL_GameControllerAxis which, Sint16 value) {
    SDL_Event event{};
    event.type = SDL_CONTROLLERAXISMOTION;
    event.caxis.axis = static_cast<Uint8>(which);
    event.caxis.value = value;
    return event;
}
SDL_Event removed() {
    SDL_Event event{};
    event.type = SDL_CONTROLLERDEVICEREMOVED;
    return event;
}

constexpr auto X = SDL_CONTROLLER_AXIS_LEFTX;
constexpr auto Y = SDL_CONTROLLER_AXIS_LEFTY;

struct Row {
    const char* what;
    std::vector<SDL_Event> events;
    int32_t controls; // after the events, from none held
    int32_t paused;
};

} // namespace

TEST(PadTest, EventsBecomeTheKeysControlBits) {
    const Row rows[] = {
        {"south button fires", {down(SDL_CONTROLLER_BUTTON_A)}, CONTROL_FIRE, 0},
        {"and lets go", {down(SDL_CONTROLLER_BUTTON_A), up(SDL_CONTROLLER_BUTTON_A)}, 0, 0},
        {"d-pad up thrusts", {down(SDL_CONTROLLER_BUTTON_DPAD_UP)}, CONTROL_THRUST, 0},
        {"d-pad down turns back", {down(SDL_CONTROLLER_BUTTON_DPAD_DOWN)}, CONTROL_RETRO, 0},
        {"d-pad left", {down(SDL_CONTROLLER_BUTTON_DPAD_LEFT)}, CONTROL_LEFT, 0},
        {"d-pad right", {down(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)}, CONTROL_RIGHT, 0},
        {"other buttons do nothing",
         {down(SDL_CONTROLLER_BUTTON_B), down(SDL_CONTROLLER_BUTTON_LEFTSHOULDER)},
         0,
         0},
        {"start pauses", {down(SDL_CONTROLLER_BUTTON_START)}, 0, 1},
        {"start again resumes; its release does nothing",
         {down(SDL_CONTROLLER_BUTTON_START), up(SDL_CONTROLLER_BUTTON_START),
          down(SDL_CONTROLLER_BUTTON_START)},
         0,
         0},
        {"buttons reach the ship while paused",
         {down(SDL_CONTROLLER_BUTTON_START), down(SDL_CONTROLLER_BUTTON_A)},
         CONTROL_FIRE,
         1},
        {"stick leaning left", {axis(X, -16385)}, CONTROL_LEFT | CONTROL_STICK_LEFT, 0},
        {"stick at exactly the lean is not leaning", {axis(X, -16384), axis(Y, 16384)}, 0, 0},
        {"stick leaning right", {axis(X, 32767)}, CONTROL_RIGHT | CONTROL_STICK_RIGHT, 0},
        {"stick pushed up thrusts", {axis(Y, -32768)}, CONTROL_THRUST | CONTROL_STICK_UP, 0},
        {"stick pulled down turns back", {axis(Y, 20000)}, CONTROL_RETRO | CONTROL_STICK_DOWN, 0},
        {"stick from left to right",
         {axis(X, -20000), axis(X, 20000)},
         CONTROL_RIGHT | CONTROL_STICK_RIGHT,
         0},
        {"stick back to the centre", {axis(X, -20000), axis(X, -30000), axis(X, 0)}, 0, 0},
        {"both axes at once",
         {axis(X, 20000), axis(Y, -20000)},
         CONTROL_RIGHT | CONTROL_STICK_RIGHT | CONTROL_THRUST | CONTROL_STICK_UP,
         0},
        {"a trembling stick leaves a held key alone",
         {key_event(SDL_KEYDOWN, SDLK_LEFT), axis(X, 300), axis(X, -200), axis(Y, 1000)},
         CONTROL_LEFT,
         0},
        {"the right stick and the triggers do nothing",
         {axis(SDL_CONTROLLER_AXIS_RIGHTX, -30000), axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000)},
         0,
         0},
        {"a gamepad that goes lets go of everything",
         {down(SDL_CONTROLLER_BUTTON_A), axis(Y, -30000), key_event(SDL_KEYDOWN, SDLK_LEFT),
          removed()},
         0,
         0},
    };
    for (const Row& row : rows) {
        Game direct{};
        Game replayed{};
        for (const SDL_Event& event : row.events) {
            control_game(&direct, event);
            RecordedEvent recorded{};
            if (sdl_to_recorded(event, &recorded)) {
                control_game(&replayed, recorded_to_sdl(recorded));
            }
        }
        EXPECT_EQ(direct.ship.controls, row.controls) << row.what;
        EXPECT_EQ(direct.paused, row.paused) << row.what;
        EXPECT_EQ(std::tuple(replayed.ship.controls, replayed.paused),
                  std::tuple(direct.ship.controls, direct.paused))
            << row.what << ", replayed from a recording";
    }
}
