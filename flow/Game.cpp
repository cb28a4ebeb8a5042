// Game.cpp -- the main function, the run loop, the frame and the state
// machine that decides which rule runs when.
#include "flow/Game.h"

#include <ctime>

#include "flow/Controls.h"
#include "flow/Playback.h"
#include "flow/Recorder.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/GameImages.h"
#include "gfx/Image.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Gamepad.h"
#include "platform/Mouse.h"
#include "platform/Platform.h"
#include "platform/Timing.h"
#include "player/DataDir.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/Shot.h"
#include "sound/Sound.h"

int32_t elapsed = 0;
void (*GamePollInput)(FrameInput*) = PollInput;
int32_t (*GameFrameTimer)(int32_t) = FrameTimer;

static constexpr const char* kScreenshotFile = "Saved-Screen-0.bmp";

static constexpr int32_t kLastLevel = kLevelCount - 1;

// The three effect timers count in units of this many microseconds.
static constexpr int32_t kTimerUnit = 500;
// The ball flies elapsed x kFlightSpeed / kFlightDivisor 1/256 pixels: 600
// pixels a second.
static constexpr int32_t kFlightSpeed = 1536;
static constexpr int32_t kFlightDivisor = 10000;

void NewGame()
{
    game.ballX = 0;
    game.ballY = 0;
    game.ballInFlight = 0;
    game.flightAngle = 0;
    game.currentColor = 0;
    game.nextColor = 0;
    game.ceiling = kCeilingStart;
    game.savedCeiling = 0;
    game.shotCounter = 0;
    game.aimAngle = 0;
    game.levelIndex = 0;
    game.score = 0;
    game.credits = kStartCredits;
    game.playing = 0;
    game.popTimer = 0;
    game.slideTimer = 0;
    game.loseTimer = 0;
    FillLevel();
    LoadNextBall();
}

// Counts a timer down by this frame's time. 1 when it ran out in this frame;
// a stopped timer is always exactly 0.
static int countDown(int32_t* timer)
{
    *timer -= elapsed / kTimerUnit;
    if (*timer > 0) {
        return 0;
    }
    *timer = 0;
    return 1;
}

// Held arrow keys turn the cannon in every state, faster the longer they are
// held. Each held key acts, in the order up, down, left, right. A pad's D-pad
// is the same four arrows.
static void turnCannon(int32_t held)
{
    const bool up = (held & HeldUp) != 0;
    const bool down = (held & HeldDown) != 0;
    const bool left = (held & HeldLeft) != 0;
    const bool right = (held & HeldRight) != 0;
    if (!up && !down && !left && !right) {
        aimRepeat = 0;
        return;
    }
    if (aimRepeat < kAimRepeatMax) {
        aimRepeat += 1;
    }
    const int32_t step = (elapsed * aimRepeat) / kAimDivisor;
    if (up) {
        AimRecentre(step);
    }
    if (down) {
        AimTiltAway(step);
    }
    if (left) {
        AimTurn(-step);
    }
    if (right) {
        AimTurn(step);
    }
}

// The popped balls are scored and gone: an empty board starts the slide to
// the next level, otherwise the shot is counted and the next ball loaded.
static void endPop()
{
    if (RemoveMarked() == 1) {
        game.slideTimer = kSlideTime;
        game.savedCeiling = game.ceiling;
        game.levelIndex += 1;
        if (game.levelIndex > kLastLevel) {
            game.levelIndex = 0;
        }
        FillLevel();
        SoundPlay("ClearSound");
        return;
    }
    StepCeiling();
    LoadNextBall();
}

// The field slides from where the cleared level left it back up to the
// starting ceiling while the new level's rows appear.
static void slide()
{
    // C++ division truncates toward zero for a negative product too.
    game.ceiling = ((game.savedCeiling - kCeilingStart) * game.slideTimer) / kSlideTime + kCeilingStart;
    if (countDown(&game.slideTimer)) {
        game.nextColor = 0;
        game.ceiling = kCeilingStart;
        game.shotCounter = 0;
        LoadNextBall();
    }
}

// The lose effect is over: take a credit and replay the level, or end the
// game and offer the score to the table.
static void endLose()
{
    if (game.credits == 0) {
        game.playing = 0;
        RecorderGameOver();
        InsertScore(game.score);
        SaveScores();
        RecorderEnd();
        return;
    }
    game.credits -= 1;
    game.nextColor = 0;
    game.ceiling = kCeilingStart;
    game.shotCounter = 0;
    FillLevel();
    LoadNextBall();
}

// Exactly one branch per frame, in priority order.
static void advanceGame(int32_t character)
{
    if (game.playing == 0) {
        if (character == CharEnter) {
            RecorderBegin();
            NewGame();
            game.playing = 1;
        }
        return;
    }
    if (game.popTimer > 0) {
        if (countDown(&game.popTimer)) {
            endPop();
        }
        return;
    }
    if (game.slideTimer > 0) {
        slide();
        return;
    }
    if (game.loseTimer > 0) {
        if (countDown(&game.loseTimer)) {
            endLose();
        }
        return;
    }
    if (character == CharSpace) {
        FireBall();
    }
    MoveBall((elapsed * kFlightSpeed) / kFlightDivisor);
}

static int32_t clampElapsed(int32_t microseconds)
{
    if (microseconds < 0) {
        return 0;
    }
    if (microseconds > kMaxElapsed) {
        return kMaxElapsed;
    }
    return microseconds;
}

void GamePlayFrame(const FrameInput& input)
{
    elapsed = input.elapsed;
    const int32_t character = ControlsGame(input);
    turnCannon(input.held);
    advanceGame(character);
}

void SaveScreenshot()
{
    if (DataFolderReady()) {
        ImageSaveBmp(&ScreenImage, DataPath(kScreenshotFile).c_str());
    }
}

int GameFrame()
{
    FrameInput input;
    SoundReap();
    MouseClicksAreEnter(game.playing == 0);
    GamePollInput(&input);
    if (input.active == 0) {
        return 0;
    }

    // Only drawing and presenting are measured: the present waits for the
    // display, so this is what paces the game.
    GameFrameTimer(0);
    DrawScene();
    DrawControls();
    Present(&ScreenImage);
    input.elapsed = clampElapsed(GameFrameTimer(1));
    elapsed = input.elapsed;

    if (input.character == CharEscape) {
        return 1;
    }
    if (input.keyCode == KeyF10) {
        SaveScreenshot();
    }
    if (ControlsMachine(input)) {
        return 0;
    }
    if (game.playing == 0 && WatchRankKey(input.character)) {
        return 0;
    }
    RecordFrame(input);
    GamePlayFrame(input);
    RecordCheckpoint();
    return 0;
}

void RunGame()
{
    LoadScores();
    NewGame();
    // The sound device is opened once the first frame is on the screen: the
    // title need not wait for it, and no cue can sound before a key has
    // started a game.
    if (GameFrame() != 0)
        return;
    SoundStart();
    while (GameFrame() == 0) {}
}

int GameMain(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    RecorderStart();
    ScenePrepare();
    PlatformStart(kPictureWidth, kPictureHeight);
    ControlsStart();
    RunGame();
    return 0;
}
