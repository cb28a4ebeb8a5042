// Gamepad.cpp -- the open pads, their presses and their held states.
#include "platform/Gamepad.h"

#include <SDL.h>

#include <cstdlib>

#include "platform/Mouse.h"

static constexpr int kMaxPads = 8;
static SDL_GameController* pads[kMaxPads];
static bool started;
static bool exitHookRegistered;
static int32_t pressed;

static void openPad(int deviceIndex)
{
    if (!SDL_IsGameController(deviceIndex))
        return;
    // The pads found at the start are announced again by events.
    if (SDL_GameControllerFromInstanceID(SDL_JoystickGetDeviceInstanceID(deviceIndex)) != nullptr)
        return;
    for (SDL_GameController*& pad : pads) {
        if (pad == nullptr) {
            pad = SDL_GameControllerOpen(deviceIndex);
            return;
        }
    }
}

static void closePad(SDL_JoystickID id)
{
    for (SDL_GameController*& pad : pads) {
        if (pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
        }
    }
}

void GamepadStart()
{
    if (started || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return;
    started = true;
    if (!exitHookRegistered) {
        std::atexit(GamepadShutdown);
        exitHookRegistered = true;
    }
    for (int i = 0; i < SDL_NumJoysticks(); i++)
        openPad(i);
}

void GamepadShutdown()
{
    for (SDL_GameController*& pad : pads) {
        if (pad != nullptr)
            SDL_GameControllerClose(pad);
        pad = nullptr;
    }
    if (started)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started = false;
    pressed = 0;
}

int GamepadEventSkipped(uint32_t type)
{
    // Joystick and game controller events share this block of types.
    if (type < SDL_JOYAXISMOTION || type >= SDL_FINGERDOWN)
        return 0;
    return type != SDL_CONTROLLERDEVICEADDED && type != SDL_CONTROLLERDEVICEREMOVED && type != SDL_CONTROLLERBUTTONDOWN;
}

static int32_t bitOfButton(uint8_t button)
{
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return PadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return PadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return PadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return PadRight;
    case SDL_CONTROLLER_BUTTON_A:
        return PadSouth;
    case SDL_CONTROLLER_BUTTON_START:
        return PadStart;
    default:
        return 0;
    }
}

void GamepadEvent(const SDL_Event* event)
{
    switch (event->type) {
    case SDL_CONTROLLERDEVICEADDED:
        openPad(event->cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        closePad(event->cdevice.which);
        break;
    case SDL_CONTROLLERBUTTONDOWN:
        pressed |= bitOfButton(event->cbutton.button);
        MouseSetAside();
        break;
    default:
        break;
    }
}

void GamepadNewPoll()
{
    pressed = 0;
}

int32_t GamepadPressed()
{
    return pressed;
}

int32_t GamepadHeld()
{
    int32_t held = 0;
    for (SDL_GameController* pad : pads) {
        if (pad == nullptr)
            continue;
        for (uint8_t b = SDL_CONTROLLER_BUTTON_DPAD_UP; b <= SDL_CONTROLLER_BUTTON_DPAD_RIGHT; b++)
            if (SDL_GameControllerGetButton(pad, SDL_GameControllerButton(b)))
                held |= bitOfButton(b);
    }
    return held;
}

int32_t GamepadStickX()
{
    int32_t furthest = 0;
    for (SDL_GameController* pad : pads) {
        if (pad == nullptr)
            continue;
        // -32768 is as far left as 32767 is right.
        const int32_t x = SDL_max(-32767, int32_t{SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX)});
        const int32_t beyond = SDL_max(0, std::abs(x) - kStickDeadZone);
        if (beyond > std::abs(furthest))
            furthest = x < 0 ? -beyond : beyond;
    }
    return furthest;
}
