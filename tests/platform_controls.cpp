// Mouse aim, a virtual game pad, pause and volume, through the real event
// poll on SDL's dummy drivers.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "flow/Controls.h"
#include "flow/Game.h"
#include "flow/Playback.h"
#include "flow/Recorder.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Gamepad.h"
#include "platform/Mouse.h"
#include "platform/Platform.h"
#include "player/ReplayFile.h"
#include "player/Settings.h"
#include "rules/GameState.h"
#include "rules/Shot.h"
#include "sound/Sound.h"

namespace {

void Frames(int n = 1) {
    while (n-- > 0) ASSERT_EQ(GameFrame(), 0);
}
void Push(SDL_Event e, int frames = 1) {
    e.window.windowID = SDL_GetWindowID(MainWindow), SDL_PushEvent(&e), Frames(frames);
}
void Key(SDL_Keycode sym) {
    SDL_Event e{SDL_KEYDOWN};
    e.key.keysym.sym = sym, Push(e);
}
void Type(const char* text) {
    SDL_Event e{SDL_TEXTINPUT};
    SDL_strlcpy(e.text.text, text, 32), Push(e);
}
// Motion to a picture pixel, in window pixels: by the pointer itself (moved;
// the warp's own event, sent to no window here, is replaced), or as the
// window reports it when it changes under a pointer lying still.
void MoveTo(float x, float y, bool moved = true) {
    SDL_Event e{SDL_MOUSEMOTION};
    int w = 0, h = 0;  // the 4:3 desktop is filled
    SDL_GetRendererOutputSize(DisplayRenderer, &w, &h);
    e.motion.x = int((x + .5) * w / 640), e.motion.y = int((y + .5) * h / 480);
    if (moved) SDL_WarpMouseInWindow(MainWindow, e.motion.x, e.motion.y), SDL_FlushEvent(SDL_MOUSEMOTION);
    Push(e);
}

class Controls : public testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", testing::TempDir().c_str(), 1);  // where changed settings are kept
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");  // the dummy window never has the focus
        ScenePrepare(), PlatformStart(640, 480), ControlsStart(),
            SoundStart();  // as the game starts: the title's thread too
        GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : 16667; };
        GamePaused = 0, GameSettings = Settings{}, MouseSetAside(), NewGame();
        SDL_PumpEvents(), SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);  // the devices found at the start
    }
    void TearDown() override { GamepadShutdown(), SoundCloseDevice(), PlatformShutdown(); }
};

TEST_F(Controls, MouseAimReachesEveryStepSweepsTheArcInARowAndWaitsToBeMoved) {
    std::set<int32_t> reached;
    for (int32_t i = 0; i < 640 * 480; i++) reached.insert(MouseAimAngle(i % 640, i / 640));
    EXPECT_EQ(reached.size(), size_t(kAimRightLimit + 1 + kAngleFull - kAimLeftLimit));
    EXPECT_EQ(reached.upper_bound(kAimRightLimit), reached.lower_bound(kAimLeftLimit)) << "none outside the arc";
    // A row just above the cannon's centre turns it steadily from one limit to the other.
    for (int32_t x = 0, previous = -kAngleFull, a, turn; x < 640; x++, previous = turn) {
        turn = (a = MouseAimAngle(x, 376)) > kAimRightLimit ? a - kAngleFull : a;
        EXPECT_TRUE(turn >= previous && (x > 0 || a == kAimLeftLimit) && (x < 639 || a == kAimRightLimit)) << x;
    }
    // A still mouse changes nothing, a moved one aims and clicks fire until an arrow is pressed.
    game.playing = 1;
    MoveTo(500, 100), MoveTo(503, 104);  // the window appearing under the pointer, a nudge
    EXPECT_TRUE(game.aimAngle == 0 && SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE);
    MoveTo(300, 200, false), MoveTo(120, 250, false);  // the window switching or moving
    EXPECT_TRUE(game.aimAngle == 0 && SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE);
    MoveTo(100, 300);
    EXPECT_TRUE(game.aimAngle == MouseAimAngle(100, 300) && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE);
    MoveTo(400, 100, false);
    EXPECT_EQ(game.aimAngle, MouseAimAngle(100, 300));
    SDL_Event click{SDL_MOUSEBUTTONDOWN};
    click.button.button = SDL_BUTTON_LEFT, Push(click);
    EXPECT_EQ(game.ballInFlight, 1);
    Key(SDLK_LSHIFT), MoveTo(104, 303), MoveTo(100, 301);  // not an arrow
    EXPECT_EQ(game.aimAngle, MouseAimAngle(100, 301));
    Key(SDLK_LEFT), MoveTo(100, 300);
    EXPECT_TRUE(game.aimAngle == MouseAimAngle(100, 301) && SDL_ShowCursor(SDL_QUERY) == SDL_DISABLE);
}

void SetButton(SDL_Joystick* pad, int button, Uint8 down, int frames = 1) {
    SDL_JoystickSetVirtualButton(pad, button, down), Frames(frames);
}
void Press(SDL_Joystick* pad, int button) {
    SetButton(pad, button, 1), SetButton(pad, button, 0);
}

TEST_F(Controls, GamepadStartsTurnsFiresPausesEntersANameAndIsUnplugged) {
    // A pad plugged in while the game runs, with a mapping of our own.
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, SDL_CONTROLLER_BUTTON_MAX, 0);
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    SDL_GameControllerAddMapping(
        (std::string(guid) + ",Test pad,a:b0,start:b6,dpup:b11,dpdown:b12,dpleft:b13,dpright:b14,leftx:a0,").c_str());
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    Frames(3);                     // the poll hears of it and opens it
    for (int i = 0; i < 300; i++)  // stick movements never hold up a press behind them
        SDL_JoystickSetVirtualAxis(pad, 0, int16_t(i * 7)), SDL_JoystickUpdate();
    SDL_JoystickSetVirtualAxis(pad, 0, 0), Press(pad, SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(game.playing, 1);
    SetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1, 20), SetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0);
    EXPECT_GT(game.aimAngle, 0);
    // In the dead zone, at full tilt (as a long-held arrow), at half tilt: 4 frames each.
    for (auto [x, turn] : {std::pair{7000, 0}, {-32768, -57}, {20383, 28}}) {
        const int32_t before = game.aimAngle;
        SDL_JoystickSetVirtualAxis(pad, 0, int16_t(x)), Frames(4);
        EXPECT_EQ((game.aimAngle - before + kAngleFull + 720) % kAngleFull - 720, turn) << x;
    }
    SDL_JoystickSetVirtualAxis(pad, 0, 0), Press(pad, SDL_CONTROLLER_BUTTON_A);
    EXPECT_EQ(game.ballInFlight, 1);
    Press(pad, SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(GamePaused, 1);
    Press(pad, SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(GamePaused, 0);

    // The pad's game so far is recorded as the window closes, and plays back
    // to the same state.
    char folder[] = "/tmp/kelvane-pad-XXXXXX";
    const std::filesystem::path home = std::filesystem::current_path();
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::filesystem::current_path(folder);
    SetButton(pad, SDL_CONTROLLER_BUTTON_A, 0, 60);  // the shot settles
    const GameState played = game;
    ReplayQuit();
    Replay replay;
    ASSERT_EQ(ReplayLoad(LastReplayPath(), &replay), "");
    int sticks = 0, fired = 0;
    for (const FrameInput& f : replay.frames) sticks += f.stick != 0, fired += (f.pad & PadSouth) != 0;
    EXPECT_TRUE(sticks == 8 && fired == 1) << sticks << " " << fired;  // out of the dead zone 8 frames
    std::FILE* out = std::fopen("/dev/null", "w");
    EXPECT_EQ(ReplayCheck(replay, out), 0);
    std::fclose(out);
    EXPECT_EQ(SDL_memcmp(&played, &game, sizeof game), 0);
    std::filesystem::current_path(home), std::filesystem::remove_all(folder);

    // Names: B, A; back to B: C, a space, A. Then one left as it was.
    for (auto& line : ScoreTable) SDL_memset(line, ' ', kScoreLineSize - 1), line[kScoreLineSize - 1] = '\0';
    SDL_Event press{SDL_CONTROLLERBUTTONDOWN};  // SDL's numbers: up 11, down 12, left 13, right 14, south 0
    for (int button : {11, 11, 14, 12, 13, 11, 14, 14, 11, 0, 0})
        press.cbutton.button = Uint8(button), SDL_PushEvent(&press);
    InsertScore(500), InsertScore(400);
    EXPECT_EQ(std::string(ScoreTable[0], 25) + std::string(ScoreTable[1], 25),
              "1     500        C A     2     400        Nobody  ");
    SDL_JoystickClose(pad), SDL_JoystickDetachVirtual(index), Frames(3);  // unplugged in a game
}

TEST_F(Controls, PauseHoldsEverythingThroughAFocusLossAndVolumeKeysStepAndMute) {
    game.playing = 1, FireBall(), Key(SDLK_PAUSE);
    const GameState held = game;
    SDL_Event focus{SDL_WINDOWEVENT};
    for (Uint8 change : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED})
        focus.window.event = change, Push(focus, 10);
    KeyDown[VkLeft] = 1, Frames(5);
    EXPECT_TRUE(SDL_memcmp(&held, &game, sizeof game) == 0 && GamePaused == 1);
    EXPECT_GE(Mix_Paused(-1), 1) << "the shot's sound waits";
    Type("p");
    EXPECT_TRUE(GamePaused == 0 && Mix_Paused(-1) == 0 && game.ballY < held.ballY);
    // Ten steps up and down, held at both ends; M mutes and unmutes.
    for (auto [key, volume, muted, mixer] : {std::tuple{"-", 9, 0, 115},
                                             {"m", 9, 1, 0},
                                             {"M", 9, 0, 115},
                                             {"+", 10, 0, 128},
                                             {"=", 10, 0, 128},
                                             {"m", 10, 1, 0},
                                             {"-", 9, 1, 0},
                                             {"+", 10, 0, 128}}) {
        Type(key);
        EXPECT_TRUE(GameSettings.volume == volume && GameSettings.muted == muted) << key;
        EXPECT_EQ(Mix_MasterVolume(-1), mixer) << key;
    }
    for (int i = 0; i < 12; i++) Type("-");
    EXPECT_TRUE(Mix_MasterVolume(-1) == 0 && Mix_QuerySpec(nullptr, nullptr, nullptr) == 1) << "silence, not closed";
}

}  // namespace
