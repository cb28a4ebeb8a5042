// Mouse aim, a virtual game pad, pause and volume, through the real event
// poll on SDL's dummy drivers.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "flow/Controls.h"
#include "flow/Game.h"
#include "flow/ScoreTable.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Gamepad.h"
#include "platform/Mouse.h"
#include "platform/Platform.h"
#include "platform/Settings.h"
#include "platform/Timing.h"
#include "rules/GameState.h"
#include "rules/Shot.h"
#include "sound/Sound.h"

namespace {

void Push(SDL_Event e) { e.window.windowID = SDL_GetWindowID(MainWindow), SDL_PushEvent(&e); }
void Frames(int n = 1) { while (n-- > 0) ASSERT_EQ(GameFrame(), 0); }
void MoveTo(float x, float y)
{
    SDL_Event e{SDL_MOUSEMOTION};
    SDL_RenderLogicalToWindow(DisplayRenderer, x + .5f, y + .5f, &e.motion.x, &e.motion.y);
    Push(e), Frames();
}
void Type(const char* text) { SDL_Event e{SDL_TEXTINPUT}; SDL_strlcpy(e.text.text, text, 32), Push(e), Frames(); }

class ControlsTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", testing::TempDir().c_str(), 1);  // where changed settings are kept
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");  // the dummy window never has the focus
        PlatformStart(640, 480), ControlsStart(), SoundStart();
        GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : 16667; };
        GamePaused = 0, GameSettings = Settings{}, MouseSetAside(), NewGame();
        SDL_PumpEvents(), SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the devices found at the start
    }
    void TearDown() override { GamepadShutdown(), SoundCloseDevice(), PlatformShutdown(), GameFrameTimer = FrameTimer; }
};
using MouseAim = ControlsTest;
using Gamepad = ControlsTest;
using Pause = ControlsTest;

TEST_F(MouseAim, EveryStepOfTheArcIsOnePointerAwayAndOneRowSweepsIt)
{
    std::set<int32_t> reached, arc;
    for (int32_t a = 0; a < kAngleFull; a++)
        if (a <= kAimRightLimit || a >= kAimLeftLimit)
            arc.insert(a);
    for (int32_t x = 0; x < 640; x++)
        for (int32_t y = 0; y < 480; y++)
            reached.insert(MouseAimAngle(x, y));
    EXPECT_EQ(reached, arc);
    // A row just above the cannon's centre runs from one limit to the other.
    int32_t previous = -kAngleFull;
    for (int32_t x = 0; x < 640; x++) {
        const int32_t a = MouseAimAngle(x, 376), signedAngle = a > kAimRightLimit ? a - kAngleFull : a;
        EXPECT_GE(signedAngle, previous) << x;
        previous = signedAngle;
    }
    EXPECT_EQ(MouseAimAngle(0, 376), kAimLeftLimit);
    EXPECT_EQ(MouseAimAngle(639, 376), kAimRightLimit);
    EXPECT_EQ(MouseAimAngle(639, 479), kAimRightLimit);
}

TEST_F(MouseAim, AStillMouseChangesNothingAMovedOneAimsAndClicksFireUntilAKey)
{
    game.playing = 1;
    MoveTo(500, 100);  // the window appearing under the pointer
    MoveTo(503, 104);
    EXPECT_EQ(game.aimAngle, 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    MoveTo(100, 300);
    EXPECT_EQ(game.aimAngle, MouseAimAngle(100, 300));
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    SDL_Event click{SDL_MOUSEBUTTONDOWN};
    click.button.button = SDL_BUTTON_LEFT;
    Push(click), Frames();
    EXPECT_EQ(game.ballInFlight, 1);
    SDL_Event key{SDL_KEYDOWN};
    key.key.keysym.sym = SDLK_LSHIFT;
    Push(key), Frames();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    const int32_t aim = game.aimAngle;
    MoveTo(104, 303);
    EXPECT_EQ(game.aimAngle, aim) << "a nudge after a key is not a take-over";
}

struct VirtualPad {
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                          SDL_CONTROLLER_BUTTON_MAX, 0);
    SDL_Joystick* joystick = nullptr;
    VirtualPad()
    {
        char guid[64];
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
        SDL_GameControllerAddMapping((std::string(guid) + ",Test pad,a:b0,start:b6,dpup:b11,dpdown:b12,"
                                                          "dpleft:b13,dpright:b14,leftx:a0,").c_str());
        joystick = SDL_JoystickOpen(index);
        Frames(3);  // the poll hears of the new pad and opens it
    }
    // Sets the button for one frame, then lets it go for one.
    void Press(int button)
    {
        SDL_JoystickSetVirtualButton(joystick, button, 1), Frames();
        SDL_JoystickSetVirtualButton(joystick, button, 0), Frames();
    }
};

TEST_F(Gamepad, PlugInStartTurnFirePauseUnplug)
{
    VirtualPad pad;
    ASSERT_NE(pad.joystick, nullptr) << SDL_GetError();
    // Stick movements never queue in front of a key.
    for (int i = 0; i < 300; i++)
        SDL_JoystickSetVirtualAxis(pad.joystick, 0, int16_t(i * 7)), SDL_JoystickUpdate();
    SDL_JoystickSetVirtualAxis(pad.joystick, 0, 0);
    Type("\r");
    EXPECT_EQ(game.playing, 1);
    game.playing = 0;
    pad.Press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(game.playing, 1);
    SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1), Frames(20);
    EXPECT_GT(game.aimAngle, 0);
    SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0);
    const struct { int16_t x; int32_t turn; } stick[] = {{7000, 0}, {-32768, -57}, {20383, 28}};
    for (const auto& s : stick) {
        const int32_t before = game.aimAngle;
        SDL_JoystickSetVirtualAxis(pad.joystick, 0, s.x), Frames(4);
        EXPECT_EQ((game.aimAngle - before + kAngleFull + 720) % kAngleFull - 720, s.turn) << s.x;
    }
    SDL_JoystickSetVirtualAxis(pad.joystick, 0, 0);
    pad.Press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_EQ(game.ballInFlight, 1);
    pad.Press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(GamePaused, 1);
    pad.Press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(GamePaused, 0);
    SDL_JoystickClose(pad.joystick);
    SDL_JoystickDetachVirtual(pad.index), Frames(3);  // unplugged in a game (the sanitizers watch)
}

TEST_F(Gamepad, NameEnteredWithThePadAloneAndUnchangedIsNobody)
{
    VirtualPad pad;
    static std::vector<int> presses;
    static SDL_Joystick* joystick = pad.joystick;
    GamePollEvents = [](int32_t* k, int32_t* c, int32_t* x, int32_t* y, int32_t* b) {
        static int held = -1;  // each press is let go in the poll after it
        if (held >= 0)
            SDL_JoystickSetVirtualButton(joystick, held, 0), held = -1;
        else if (!presses.empty())
            SDL_JoystickSetVirtualButton(joystick, held = presses.front(), 1), presses.erase(presses.begin());
        PollEvents(k, c, x, y, b);
    };
    const int up = SDL_CONTROLLER_BUTTON_DPAD_UP, down = SDL_CONTROLLER_BUTTON_DPAD_DOWN, a = SDL_CONTROLLER_BUTTON_A,
              left = SDL_CONTROLLER_BUTTON_DPAD_LEFT, right = SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    for (auto& line : ScoreTable)
        std::memset(line, ' ', kScoreLineSize - 1), line[kScoreLineSize - 1] = '\0';
    presses = {up, up, right, down, left, up, right, right, up, a};  // B, then A, back to B: C, a space, A
    InsertScore(500);
    presses = {a};
    InsertScore(400);
    GamePollEvents = PollEvents;
    EXPECT_EQ(std::string(ScoreTable[0], 23), "1     500        C A   ");
    EXPECT_EQ(std::string(ScoreTable[1], 25), "2     400        Nobody  ");
}

TEST_F(Pause, HoldsEverythingThroughAFocusLossAndVolumeKeysStepMuteAndShow)
{
    game.playing = 1;
    FireBall();
    SDL_Event pause{SDL_KEYDOWN};
    pause.key.keysym.sym = SDLK_PAUSE;
    Push(pause), Frames();
    const GameState held = game;
    SDL_Event focus{SDL_WINDOWEVENT};
    for (Uint8 change : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED})
        focus.window.event = change, Push(focus), Frames(10);
    KeyDown[VkLeft] = 1, Frames(5);
    EXPECT_EQ(std::memcmp(&held, &game, sizeof game), 0);
    EXPECT_EQ(GamePaused, 1);
    EXPECT_GE(Mix_Paused(-1), 1) << "the shot's sound waits";
    Type("p");
    EXPECT_EQ(GamePaused, 0);
    EXPECT_EQ(Mix_Paused(-1), 0);
    EXPECT_LT(game.ballY, held.ballY);

    // Ten steps up and down, held at both ends; M mutes and unmutes.
    const struct { const char* key; int32_t volume, muted, mixer; } steps[] = {
        {"-", 9, 0, 115}, {"m", 9, 1, 0}, {"M", 9, 0, 115}, {"+", 10, 0, 128}, {"=", 10, 0, 128},
        {"m", 10, 1, 0}, {"-", 9, 0, 115}};
    for (const auto& s : steps) {
        Type(s.key);
        EXPECT_EQ(GameSettings.volume, s.volume) << s.key;
        EXPECT_EQ(GameSettings.muted, s.muted) << s.key;
        EXPECT_EQ(Mix_MasterVolume(-1), s.mixer) << s.key;
    }
    for (int i = 0; i < 12; i++)
        Type("-");
    EXPECT_EQ(Mix_MasterVolume(-1), 0);
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 1) << "silence is not a closed device";
}

}  // namespace
