// The frame loop and the game's states, replayed with scripted events and
// frame times.
#include "tests/flow_game_support.h"

#include "rules/Shot.h"

namespace {

constexpr int32_t kBallStartX = 304 * 256;
constexpr int32_t kBallStartY = 391 * 256;

// The board holds exactly the balls of the level's layout.
void ExpectLevelLayout(int level)
{
    const char* layout = LevelTable[level].layout;
    for (int r = 0, k = 0; r < kBoardRows; r++)
        for (int c = 0; c <= RowLastColumn(r); c++, k++)
            EXPECT_EQ(board.cells[r][c].color != 0, k < kLayoutLength && layout[k] != '.')
                << "level " << level << " row " << r << " col " << c;
}

TEST_F(GameFlowTest, EnterStartsAFreshGameOnlyFromTheAttractScreen)
{
    EXPECT_EQ(Press(kSpace), 0);  // no shot on the attract screen
    EXPECT_EQ(game.ballY, kBallStartY);

    // Whatever the last game left behind, every field starts afresh; the
    // table's highlight stays.
    game = GameState{1, 2, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 15, 16, 17};
    highlightRank = 3;
    EXPECT_EQ(Press(CharEnter), 0);
    const GameState expected{kBallStartX, kBallStartY, 0, 0, game.currentColor, game.nextColor, 55, 0, 0, 0, 0, 0, 2,
                             1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&game, &expected, sizeof game), 0);
    EXPECT_TRUE(game.currentColor >= 1 && game.nextColor >= 1);
    EXPECT_EQ(highlightRank, 3);
    ExpectLevelLayout(0);

    game.score = 90;
    Press(CharEnter);  // no restart during a game
    EXPECT_EQ(game.score, 90);
}

TEST_F(GameFlowTest, EscQuitsFirstF10SavesTheScreenAndInactiveFramesOnlyPoll)
{
    // The attract screen as a 32-bit BMP: the left wall's grey at (189, 300),
    // rows bottom-up.
    EXPECT_EQ(Frame({KeyF10, 0, false}), 0);
    const std::string bmp = ReadFile("Saved-Screen-0.bmp");
    ASSERT_EQ(bmp.size(), 54u + 640u * 480u * 4u);
    EXPECT_EQ(bmp.substr(54 + (size_t(479 - 300) * 640 + 189) * 4, 3), "\xC0\xC0\xC0");

    // Switched away: not even Esc is acted on, and no time passes.
    StartOnEmptyBoard();
    game.popTimer = 800;
    KeyDown[VkRight] = 1;
    const int reads = script.timerReads;
    AppActive = 0;
    EXPECT_EQ(Press(CharEscape), 0);
    EXPECT_EQ(script.timerReads, reads);
    AppActive = 1;

    // Esc with F10's key code in one poll quits before anything else.
    std::filesystem::remove("Saved-Screen-0.bmp");
    EXPECT_EQ(Frame({KeyF10, CharEscape, false}), 1);
    EXPECT_EQ(game.popTimer, 800);
    EXPECT_EQ(game.aimAngle, 0);
    EXPECT_FALSE(std::filesystem::exists("Saved-Screen-0.bmp"));
    EXPECT_FALSE(std::filesystem::exists("Kelvane.scores"));

    WriteFile("Saved-Screen-0.bmp", "old");  // replaced, during an effect too
    EXPECT_EQ(Frame({KeyF10, 0, false}), 0);
    EXPECT_EQ(std::filesystem::file_size("Saved-Screen-0.bmp"), bmp.size());
}

TEST_F(GameFlowTest, HeldArrowsTurnTheCannonFasterInEveryState)
{
    // From the left limit: two frames of step 0, then 1, and from the
    // thirtieth frame on 14 (16667 x 30 / 35000).
    game.aimAngle = kAimLeftLimit;
    KeyDown[VkRight] = 1;
    Frame();
    Frame();
    EXPECT_EQ(game.aimAngle, kAimLeftLimit);
    Frame();
    EXPECT_EQ(game.aimAngle, kAimLeftLimit + 1);
    for (int i = 0; i < 30; i++)
        Frame();
    EXPECT_EQ(aimRepeat, 30);
    const int32_t before = game.aimAngle;
    Frame();
    EXPECT_EQ(game.aimAngle, (before + 14) % 1440);
    KeyDown[VkRight] = 0;
    Frame();
    EXPECT_EQ(aimRepeat, 0);

    // Up recentres, down tilts away, during the pop as well.
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
    // Held right at full speed through a 40-minute frame: the cannon stops at
    // its limit instead of jumping across the forbidden arc.
    game.aimAngle = 300;
    aimRepeat = 29;
    KeyDown[VkRight] = 1;
    Frame({}, INT32_MAX);
    EXPECT_EQ(elapsed, kMaxElapsed);
    EXPECT_EQ(game.aimAngle, kAimRightLimit);
    KeyDown[VkRight] = 0;

    // Fired straight up in a stalled frame, the ball flies 60 pixels.
    game.aimAngle = 0;
    Frame({0, kSpace, false}, 2000000000);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_EQ(game.ballX, kBallStartX);
    EXPECT_EQ(game.ballY, kBallStartY - 60 * 256);

    // The pop loses 200 units, not the whole effect.
    game.popTimer = 1024;
    board.cells[0][0].mark = InGroup;
    board.cells[0][2] = {2, Held};
    Frame({}, 5000000);
    EXPECT_EQ(game.popTimer, 824);
    Frame({}, -40000);  // a clock that went backwards: no time at all
    EXPECT_EQ(elapsed, 0);
    EXPECT_EQ(game.popTimer, 824);
}

TEST_F(GameFlowTest, TimersCountWholeHalfMillisecondsAndALostBallReplaysTheLevel)
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
    game.levelIndex = 4;
    game.loseTimer = 3;
    Frame({}, 1499);
    EXPECT_EQ(game.loseTimer, 1);
    Frame({}, 500);  // runs out exactly: a credit is taken
    EXPECT_EQ(game.loseTimer, 0);
    EXPECT_EQ(game.credits, 1);

    // A whole lose effect is 249 frames; Space does nothing during it.
    game.score = 770;
    game.ceiling = 87;
    game.shotCounter = 2;
    game.loseTimer = kLoseTime;
    int frames = 0;
    for (; game.loseTimer > 0 && frames < 1000; frames++)
        Press(kSpace);
    EXPECT_EQ(frames, 249);
    EXPECT_EQ(game.credits, 0);
    EXPECT_EQ(game.playing, 1);
    EXPECT_EQ(game.levelIndex, 4);
    EXPECT_EQ(game.score, 770);
    EXPECT_EQ(game.ceiling, 55);
    EXPECT_EQ(game.shotCounter, 0);
    EXPECT_EQ(game.ballInFlight, 0);
    ExpectLevelLayout(4);
}

TEST_F(GameFlowTest, ShotPopsClearsTheLevelAndSlidesIntoTheNext)
{
    StartOnEmptyBoard();
    // Two green balls under the lowered ceiling; a green one fired straight
    // up completes a group of three.
    game.ceiling = 103;
    board.cells[0][3].color = 2;
    board.cells[0][4].color = 2;
    game.currentColor = 2;
    game.nextColor = 3;
    Press(kSpace);
    EXPECT_EQ(game.ballInFlight, 1);
    EXPECT_LT(game.ballY, kBallStartY);  // it moves in its first frame
    for (int frames = 0; game.popTimer == 0 && frames < 200; frames++)
        Press(kSpace);  // Space in flight does nothing
    ASSERT_EQ(game.popTimer, kPopTime);
    EXPECT_EQ(board.cells[1][3].mark, InGroup);

    // 1024 units: 31 frames of 33, and the 32nd ends it.
    for (int i = 0; i < 31; i++) {
        Press(kSpace);
        ASSERT_GT(game.popTimer, 0);
    }
    EXPECT_EQ(game.score, 0);
    const int32_t ballY = game.ballY;
    Frame();
    EXPECT_EQ(game.popTimer, 0);
    EXPECT_EQ(game.score, 30);
    EXPECT_EQ(game.slideTimer, kSlideTime);
    EXPECT_EQ(game.savedCeiling, 103);
    EXPECT_EQ(game.levelIndex, 1);
    ExpectLevelLayout(1);

    // The ceiling follows the timer from 103 back to 55, truncated.
    Frame();
    EXPECT_EQ(game.ceiling, 103);
    EXPECT_EQ(game.slideTimer, 4063);
    Press(kSpace);
    EXPECT_EQ(game.ceiling, 102);  // 48 x 4063 / 4096 = 47.6
    EXPECT_EQ(game.ballY, ballY);
    while (game.slideTimer > 33)
        Frame();
    // Its last frame: ceiling 55, shot count 0, a fresh pair from level 2's
    // six colours rather than the waiting white one.
    game.shotCounter = 2;
    game.nextColor = 7;
    Frame();
    EXPECT_EQ(game.slideTimer, 0);
    EXPECT_EQ(game.ceiling, 55);
    EXPECT_EQ(game.shotCounter, 0);
    EXPECT_EQ(game.ballY, kBallStartY);
    EXPECT_TRUE(game.currentColor >= 1 && game.currentColor <= 6 && game.nextColor >= 1);
    Press(kSpace);
    EXPECT_EQ(game.ballInFlight, 1);

    // Clearing level 30 leads back to level 1, the credits untouched.
    std::memset(&board, 0, sizeof board);
    game.levelIndex = 29;
    board.cells[2][5] = {4, InGroup};
    game.popTimer = 1;
    Frame();
    EXPECT_EQ(game.levelIndex, 0);
    EXPECT_EQ(game.slideTimer, kSlideTime);
    EXPECT_EQ(game.score, 40);
    EXPECT_EQ(game.credits, 2);
    ExpectLevelLayout(0);
}

TEST_F(GameFlowTest, WholeGamePlayedToTheNameEntry)
{
    // Fire whenever a ball waits, along a fan of angles, until the third lost
    // ball; then the player types a name.
    static constexpr int32_t kFan[] = {0, 60, 1380, 120, 1320, 180, 1260, 240, 1200};
    ASSERT_EQ(Press(CharEnter), 0);
    script.typing = "Zed\r";
    int losses = 0, shots = 0, pops = 0, frames = 0;
    int32_t lastLose = 0, lastPop = 0;
    for (; game.playing == 1 && frames < 20000; frames++) {
        if (game.ballInFlight == 0 && game.popTimer == 0 && game.slideTimer == 0 && game.loseTimer == 0) {
            game.aimAngle = kFan[shots++ % 9];
            Press(kSpace, 50000);
        } else {
            Frame({}, 50000);
        }
        losses += game.loseTimer > 0 && lastLose == 0;
        pops += game.popTimer > 0 && lastPop == 0;
        lastLose = game.loseTimer;
        lastPop = game.popTimer;
    }
    ASSERT_EQ(game.playing, 0) << "no game over in " << frames << " frames";
    EXPECT_EQ(losses, 3);
    EXPECT_GT(shots, 10);
    EXPECT_GT(pops, 0);
    EXPECT_GT(game.score, 0);
    EXPECT_EQ(highlightRank, 0);
    char first[64];
    std::snprintf(first, sizeof first, "1     %-9d  Zed", game.score);
    EXPECT_EQ(Line(0), PaddedLine(first));
    const std::string file = ReadFile("Kelvane.scores");
    ASSERT_EQ(file.size(), 1280u);
    EXPECT_EQ(file.substr(0, 256), PaddedLine(first) + PaddedLine("2"));
}

TEST_F(GameFlowTest, RunGameLoadsTheTableAndStopsAtEsc)
{
    std::string bytes = PaddedLine("1     5000       Ida");
    for (int i = 2; i <= 10; i++)
        bytes += PaddedLine(std::to_string(i));
    WriteFile("Kelvane.scores", bytes);
    std::memset(ScoreTable, 'x', sizeof ScoreTable);
    game.score = 99;
    script.events = {{0, CharEnter, false}, {0, kSpace, false}, {}, {0, CharEscape, false}};
    RunGame();
    EXPECT_EQ(script.polls, 4);
    EXPECT_EQ(Table(), bytes);
    EXPECT_EQ(game.playing, 1);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(ReadFile("Kelvane.scores"), bytes);
}

}  // namespace
