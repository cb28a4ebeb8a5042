// The frame loop and the game's states, replayed with scripted events and
// frame times.
#include "tests/flow_game_support.h"

#include "rules/Shot.h"

namespace {

constexpr int32_t kBallStartX = 304 * 256;
constexpr int32_t kBallStartY = 391 * 256;

// Row r of level `level` as the board should hold it after FillLevel: which
// cells are occupied.
void ExpectLevelLayout(int level)
{
    const char* layout = LevelTable[level].layout;
    int k = 0;
    for (int r = 0; r < kBoardRows; r++) {
        for (int c = 0; c <= RowLastColumn(r); c++) {
            const bool expected = k < kLayoutLength && layout[k] != '.';
            EXPECT_EQ(board.cells[r][c].color != 0, expected) << "level " << level << " row " << r << " col " << c;
            k += 1;
        }
    }
}

TEST_F(GameFlowTest, NewGameResetsEveryFieldButLeavesAimRepeatAndTable)
{
    game = GameState{1, 2, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 1, 15, 16, 17};
    aimRepeat = 17;
    highlightRank = 3;
    NewGame();
    // The ball is loaded on the cannon with both colours picked afresh.
    const GameState expected{kBallStartX, kBallStartY, 0, 0, game.currentColor, game.nextColor, 55, 0, 0, 0, 0, 0, 2,
                             0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&game, &expected, sizeof game), 0);
    EXPECT_GE(game.currentColor, 1);
    EXPECT_GE(game.nextColor, 1);
    EXPECT_EQ(aimRepeat, 17);
    EXPECT_EQ(highlightRank, 3);
    ExpectLevelLayout(0);
}

TEST_F(GameFlowTest, EnterStartsAtLevelOneOnlyFromTheAttractScreen)
{
    EXPECT_EQ(Press(kCharSpace), 0);  // no shot on the attract screen
    EXPECT_EQ(game.ballY, kBallStartY);

    game.levelIndex = 6;  // as a game that ended on level 7 left it
    game.score = 4410;
    game.credits = 0;
    EXPECT_EQ(Press(CharEnter), 0);
    EXPECT_EQ(game.playing, 1);
    EXPECT_EQ(game.levelIndex, 0);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.credits, 2);

    game.score = 90;
    EXPECT_EQ(Press(CharEnter), 0);
    EXPECT_EQ(game.score, 90);
}

TEST_F(GameFlowTest, EscQuitsFirstF10SavesTheScreenAndInactiveFramesOnlyPoll)
{
    // F10 on the attract screen: the frame as a 32-bit BMP, the left wall's
    // grey at (189, 300) (rows bottom-up, blue-green-red-unused).
    EXPECT_EQ(Frame({KeyF10, 0, false}), 0);
    const std::string bmp = ReadFile("Saved-Screen-0.bmp");
    ASSERT_EQ(bmp.size(), 54u + 640u * 480u * 4u);
    EXPECT_EQ(bmp.substr(54 + (size_t(479 - 300) * 640 + 189) * 4, 3), "\xC0\xC0\xC0");

    // Switched away: not even Esc is acted on, no time passes.
    StartOnEmptyBoard();
    game.popTimer = 800;
    KeyDown[VkRight] = 1;
    const int reads = script.timerReads;
    AppActive = 0;
    EXPECT_EQ(Press(CharEscape), 0);
    EXPECT_EQ(game.popTimer, 800);
    EXPECT_EQ(game.aimAngle, 0);
    EXPECT_EQ(script.timerReads, reads);
    AppActive = 1;

    // Esc with the F10 key code in one poll: the frame quits before anything.
    std::filesystem::remove("Saved-Screen-0.bmp");
    EXPECT_EQ(Frame({KeyF10, CharEscape, false}), 1);
    EXPECT_EQ(game.popTimer, 800);
    EXPECT_EQ(game.aimAngle, 0);
    EXPECT_FALSE(std::filesystem::exists("Saved-Screen-0.bmp"));
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores"));  // quitting records nothing

    // F10 during an effect replaces the file.
    WriteFile("Saved-Screen-0.bmp", "old");
    EXPECT_EQ(Frame({KeyF10, 0, false}), 0);
    EXPECT_EQ(std::filesystem::file_size("Saved-Screen-0.bmp"), bmp.size());
}

TEST_F(GameFlowTest, ArrowKeysAccelerateAndTurnTheCannonInEveryState)
{
    // Held right from the left limit: the first two frames turn by 0, the
    // step grows each frame and stays at 14 (16667 x 30 / 35000) from the
    // thirtieth on.
    game.aimAngle = kAimLeftLimit;
    KeyDown[VkRight] = 1;
    Frame();
    Frame();
    EXPECT_EQ(game.aimAngle, kAimLeftLimit);
    EXPECT_EQ(aimRepeat, 2);
    Frame();
    EXPECT_EQ(game.aimAngle, kAimLeftLimit + 1);
    for (int i = 0; i < 30; i++) {
        Frame();
    }
    EXPECT_EQ(aimRepeat, 30);
    const int32_t before = game.aimAngle;
    Frame();
    EXPECT_EQ(game.aimAngle, (before + 14) % 1440);

    // Releasing all keys starts the acceleration again; left and right
    // together both turn, left first, and the count goes on.
    KeyDown[VkRight] = 0;
    Frame();
    EXPECT_EQ(aimRepeat, 0);
    game.aimAngle = 0;
    aimRepeat = 29;
    KeyDown[VkLeft] = 1;
    KeyDown[VkRight] = 1;
    Frame();
    EXPECT_EQ(game.aimAngle, 0);
    EXPECT_EQ(aimRepeat, 30);
    KeyDown[VkLeft] = 0;
    KeyDown[VkRight] = 0;

    // Up recentres, down tilts away; both work during the pop effect.
    StartOnEmptyBoard();
    board.cells[0][0] = {1, InGroup};
    board.cells[0][1] = {2, Held};
    game.popTimer = 1000;
    game.aimAngle = 300;
    aimRepeat = 29;
    KeyDown[VkUp] = 1;
    Frame();
    EXPECT_EQ(game.aimAngle, 286);
    KeyDown[VkUp] = 0;
    KeyDown[VkDown] = 1;
    Frame();
    EXPECT_EQ(game.aimAngle, 300);
    EXPECT_GT(game.popTimer, 0);
}

TEST_F(GameFlowTest, StalledFrameCountsAsATenthOfASecond)
{
    StartOnEmptyBoard();
    board.cells[0][0].color = 1;

    // Held right at full speed through a frame that took 40 minutes (its
    // reading no longer fits: the timer reports INT32_MAX): the cannon stops
    // at its limit instead of jumping across the forbidden arc.
    game.aimAngle = 300;
    aimRepeat = 29;
    KeyDown[VkRight] = 1;
    Frame({}, INT32_MAX);
    EXPECT_EQ(elapsed, kMaxElapsed);
    EXPECT_EQ(game.aimAngle, kAimRightLimit);
    KeyDown[VkRight] = 0;

    // A ball fired straight up in a stalled frame flies 60 pixels (15360 in
    // 1/256 pixel) and no more.
    game.aimAngle = 0;
    Frame({0, kCharSpace, false}, 2000000000);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_EQ(game.ballX, kBallStartX);
    EXPECT_EQ(game.ballY, kBallStartY - 15360);

    // The pop effect is not skipped by one stalled frame: 200 units a frame.
    game.popTimer = 1024;
    board.cells[0][0].mark = InGroup;
    board.cells[0][2] = {2, Held};
    Frame({}, 5000000);
    EXPECT_EQ(game.popTimer, 824);

    // A reading that went backwards counts as no time at all.
    Frame({}, -40000);
    EXPECT_EQ(elapsed, 0);
    EXPECT_EQ(game.popTimer, 824);
}

TEST_F(GameFlowTest, TimersMoveOnlyInWholeHalfMilliseconds)
{
    StartOnEmptyBoard();
    board.cells[0][0] = {1, InGroup};
    board.cells[0][1] = {2, Held};
    game.popTimer = 1024;
    Frame({}, 499);
    EXPECT_EQ(game.popTimer, 1024);
    Frame({}, 999);
    EXPECT_EQ(game.popTimer, 1023);

    game.popTimer = 0;
    game.loseTimer = 3;
    Frame({}, 1499);
    EXPECT_EQ(game.loseTimer, 1);
    Frame({}, 500);  // runs out exactly: a credit is taken
    EXPECT_EQ(game.loseTimer, 0);
    EXPECT_EQ(game.credits, 1);
}

TEST_F(GameFlowTest, ShotPopsClearsTheLevelAndSlidesIntoTheNext)
{
    StartOnEmptyBoard();
    // Two green balls hang from the lowered ceiling; the green ball fired
    // straight up settles under them and completes a group of three.
    game.ceiling = 103;
    board.cells[0][3].color = 2;
    board.cells[0][4].color = 2;
    game.currentColor = 2;
    game.nextColor = 3;

    Press(kCharSpace);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_LT(game.ballY, kBallStartY);  // it already moves in its first frame

    int frames = 0;
    while (game.popTimer == 0 && frames < 200) {
        Press(kCharSpace);  // Space while the ball flies does nothing
        frames += 1;
    }
    ASSERT_EQ(game.popTimer, 1024);
    EXPECT_EQ(board.cells[1][3].color, 2);
    EXPECT_EQ(board.cells[1][3].mark, InGroup);
    EXPECT_EQ(game.score, 0);

    // The pop runs 1024 units: 31 frames of 33, and the 32nd ends it.
    for (int i = 0; i < 31; i++) {
        Press(kCharSpace);
        ASSERT_GT(game.popTimer, 0);
    }
    const int32_t ballYDuringEffects = game.ballY;
    Frame();
    EXPECT_EQ(game.popTimer, 0);
    EXPECT_EQ(game.score, 30);
    EXPECT_EQ(game.slideTimer, 4096);
    EXPECT_EQ(game.savedCeiling, 103);
    EXPECT_EQ(game.levelIndex, 1);
    EXPECT_EQ(game.ceiling, 103);
    ExpectLevelLayout(1);

    // The ceiling follows the timer from the old ceiling back to 55.
    Frame();
    EXPECT_EQ(game.ceiling, 103);  // 48 x 4096 / 4096 + 55
    EXPECT_EQ(game.slideTimer, 4063);
    Press(kCharSpace);
    EXPECT_EQ(game.ceiling, 102);  // 48 x 4063 / 4096 = 47.6, truncated
    EXPECT_EQ(game.ballY, ballYDuringEffects);

    while (game.slideTimer > 33) {
        Frame();
    }
    // Its last frame: the ceiling is back at exactly 55, the shot count
    // starts again and a fresh pair of balls is picked from level 2's six
    // colours, not the waiting white one.
    game.shotCounter = 2;
    game.nextColor = 7;
    Frame();
    EXPECT_EQ(game.slideTimer, 0);
    EXPECT_EQ(game.ceiling, 55);
    EXPECT_EQ(game.shotCounter, 0);
    EXPECT_EQ(game.ballInFlight, 0);
    EXPECT_EQ(game.ballX, kBallStartX);
    EXPECT_EQ(game.ballY, kBallStartY);
    EXPECT_GE(game.currentColor, 1);
    EXPECT_LE(game.currentColor, 6);
    EXPECT_GE(game.nextColor, 1);
    EXPECT_EQ(game.levelIndex, 1);
    EXPECT_EQ(game.score, 30);

    // And the next shot flies.
    Press(kCharSpace);
    EXPECT_EQ(game.ballInFlight, 1);
}

TEST_F(GameFlowTest, ClearingTheLastLevelLeadsBackToTheFirst)
{
    StartOnEmptyBoard();
    game.levelIndex = 29;
    game.score = 1000;
    game.credits = 1;
    board.cells[2][5] = {4, InGroup};
    game.popTimer = 1;
    Frame();
    EXPECT_EQ(game.levelIndex, 0);
    EXPECT_EQ(game.slideTimer, 4096);
    EXPECT_EQ(game.score, 1010);
    EXPECT_EQ(game.credits, 1);
    ExpectLevelLayout(0);
}

TEST_F(GameFlowTest, LostBallCostsACreditAndReplaysTheLevel)
{
    StartOnEmptyBoard();
    game.levelIndex = 4;
    game.score = 770;
    game.ceiling = 87;
    game.shotCounter = 2;
    game.loseTimer = 8192;
    int frames = 0;
    while (game.loseTimer > 0 && frames < 1000) {
        Press(kCharSpace);  // Space during the lose effect does nothing
        frames += 1;
    }
    EXPECT_EQ(frames, 249);  // 8192 units of 33 a frame
    EXPECT_EQ(game.credits, 1);
    EXPECT_EQ(game.levelIndex, 4);
    EXPECT_EQ(game.score, 770);
    EXPECT_EQ(game.ceiling, 55);
    EXPECT_EQ(game.shotCounter, 0);
    EXPECT_EQ(game.ballInFlight, 0);
    ExpectLevelLayout(4);
}

TEST_F(GameFlowTest, WholeGamePlayedToTheNameEntry)
{
    // Fire whenever a ball is on the cannon, each shot along the next of a
    // fan of angles, until the third lost ball; then the player types a name.
    static constexpr int32_t kFan[] = {0, 60, 1380, 120, 1320, 180, 1260, 240, 1200};
    ASSERT_EQ(Press(CharEnter), 0);
    script.typing = "Zed\r";
    int losses = 0;
    int shots = 0;
    int pops = 0;
    int frames = 0;
    int32_t lastLoseTimer = 0;
    int32_t lastPopTimer = 0;
    while (game.playing == 1 && frames < 20000) {
        const bool aiming = game.ballInFlight == 0 && game.popTimer == 0 && game.slideTimer == 0 &&
                            game.loseTimer == 0;
        if (aiming) {
            game.aimAngle = kFan[shots % 9];
            Press(kCharSpace, 50000);
            shots += 1;
        } else {
            Frame({}, 50000);
        }
        losses += game.loseTimer > 0 && lastLoseTimer == 0;
        pops += game.popTimer > 0 && lastPopTimer == 0;
        lastLoseTimer = game.loseTimer;
        lastPopTimer = game.popTimer;
        frames += 1;
    }
    ASSERT_EQ(game.playing, 0) << "no game over in " << frames << " frames";
    EXPECT_EQ(losses, 3);
    EXPECT_EQ(game.credits, 0);
    EXPECT_GT(shots, 10);
    EXPECT_GT(pops, 0);
    EXPECT_GT(game.score, 0);

    EXPECT_EQ(highlightRank, 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "1     %-9d  Zed", game.score);
    EXPECT_EQ(Line(0), PaddedLine(expected));
    const std::string file = ReadFile("Kelvane.scores");
    ASSERT_EQ(file.size(), 1280u);
    EXPECT_EQ(file.substr(0, 128), PaddedLine(expected));
    EXPECT_EQ(file.substr(128, 128), PaddedLine("2"));
}

TEST_F(GameFlowTest, RunGameLoadsTheTableAndStopsAtEsc)
{
    std::string bytes = PaddedLine("1     5000       Ida");
    for (int i = 2; i <= 10; i++) {
        bytes += PaddedLine(std::to_string(i));
    }
    WriteFile("Kelvane.scores", bytes);
    std::memset(ScoreTable, 'x', sizeof ScoreTable);
    game.score = 99;

    script.events = {{0, CharEnter, false}, {0, kCharSpace, false}, {}, {0, CharEscape, false}};
    RunGame();

    EXPECT_EQ(script.polls, 4);
    EXPECT_EQ(Line(0), PaddedLine("1     5000       Ida"));
    EXPECT_EQ(game.playing, 1);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(ReadFile("Kelvane.scores"), bytes);
}

}  // namespace
