// The game flow replayed frame by frame with scripted events and frame times,
// the high-score file, and the scene drawn from hand-set states and checked
// pixel by pixel against the pictures it is made of.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <fstream>

#include "flow/Scene.h"
#include "gfx/Rotate.h"
#include "player/Settings.h"
#include "rules/Shot.h"
#include "tests/game_support.h"

namespace {

constexpr int32_t kSpace = 32, kStartY = 391 * 256;

struct {
    std::deque<int32_t> events;  // characters, one per poll
    std::string typing;          // then these, then empty polls
    int32_t frameTime = 16667;
} script;

void ScriptedPoll(FrameInput* input) {
    *input = FrameInput{};
    if (!script.events.empty())
        input->character = script.events.front(), script.events.pop_front();
    else if (!script.typing.empty())
        input->character = static_cast<unsigned char>(script.typing.front()), script.typing.erase(0, 1);
}

void WriteFile(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}
std::string Line(int i) {
    return std::string(ScoreTable[i], kScoreLineSize);
}
// A line as the file holds it: text padded with spaces, NUL at 127.
std::string Padded(std::string text) {
    return text.append(kScoreLineSize - 1 - text.size(), ' ') + '\0';
}

class Flow : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadGamePictures()); }
    void SetUp() override {
        script = {};
        GamePollInput = ScriptedPoll;
        GameFrameTimer = [](int32_t mode) { return mode == 0 ? 0 : script.frameTime; };
        StartGame(20261206);
    }

    // One frame that polls `character` and measures `microseconds`.
    static int Frame(int32_t character = 0, int32_t microseconds = 16667) {
        script.events.push_back(character);
        script.frameTime = microseconds;
        return GameFrame();
    }

    ScratchFolder folder;
};

// (How fast held arrows turn, timers run and shots fly, what a lost ball
// costs and how a cleared level slides into the next, the recorded games
// replay exactly.)
TEST_F(Flow, EnterStartsAfreshAndTheLastLevelLeadsBackToTheFirst) {
    EXPECT_TRUE(Frame(kSpace) == 0 && game.ballY == kStartY);  // no shot on the attract screen
    // Whatever the last game left, Enter starts afresh at level 1.
    game = GameState{1, 2, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 15, 16, 17};
    ASSERT_EQ(Frame(CharEnter), 0);
    const GameState fresh{304 * 256, kStartY, 0, 0, game.currentColor, game.nextColor, 55, 0, 0, 0, 0, 0, 2,
                          1,         0,       0, 0};
    EXPECT_EQ(std::memcmp(&game, &fresh, sizeof game), 0);
    Frame(kSpace, 13000);  // fired and flown at once, 1996.8 units straight up: 1996
    EXPECT_EQ(game.ballY, kStartY - 1996);
    // Not again during a game; and a clock that went backwards is no time.
    board = Board{};
    board.cells[0][0] = {1, InGroup};
    game.popTimer = 5;
    Frame(CharEnter, -40000);
    EXPECT_TRUE(elapsed == 0 && game.popTimer == 5);
    Frame(0, 499), Frame(0, 999);  // timers count whole 500 us units only
    EXPECT_EQ(game.popTimer, 4);
    // Level 29 leads on to level 30, and level 30 back to 1; the credits stay.
    for (int32_t level : {28, 29}) {
        board = Board{};
        board.cells[2][5] = {4, InGroup};
        game.levelIndex = level, game.popTimer = 1;
        Frame();
        EXPECT_TRUE(game.levelIndex == (level + 1) % 30 && game.slideTimer == kSlideTime && game.credits == 2);
    }
}

TEST_F(Flow, ScoreFileIsLoadedWithEveryLineEndedAndNeverHalfWritten) {
    // A short file fills what it covers, the last line in part; of a long
    // one only the first 1280 bytes count.
    WriteFile("Kelvane.scores", Padded("1     300        Bea") + std::string(72, 'y'));
    LoadScores();
    EXPECT_EQ(Line(0) + Line(1) + Line(2), Padded("1     300        Bea") + Padded(std::string(72, 'y')) + Padded(""));
    WriteFile("Kelvane.scores", std::string(1152, ' ') + Padded("10 77") + std::string(700, 'z'));
    LoadScores();
    EXPECT_EQ(Line(9), Padded("10 77"));
    // Lines without their NUL get one in byte 127, and an insert copies them
    // safely ('A' reads as score 0).
    WriteFile("Kelvane.scores", std::string(1280, 'A'));
    LoadScores();
    for (int i = 0; i < kScoreLines; i++) EXPECT_EQ(Line(i), std::string(127, 'A') + '\0');
    script.typing = "\r";
    InsertScore(5);
    EXPECT_EQ(Line(1), "2 " + std::string(125, 'A') + '\0');
}

TEST_F(Flow, NewScoresRankAboveEqualOnesAndNamesAreEdited) {
    // Line i holds 1000 - 100 i; 700 goes above the 700 at line 3, the old
    // line 9 is lost, and each line keeps its rank number.
    for (int i = 0; i < kScoreLines; i++) {
        char text[32];
        std::snprintf(text, sizeof text, "%-2d    %d", i + 1, 1000 - 100 * i);
        std::memcpy(ScoreTable[i], Padded(text).data(), kScoreLineSize);
    }
    script.typing = "New\r";
    InsertScore(700);
    EXPECT_EQ(highlightRank, 3);
    EXPECT_EQ(Line(3) + Line(4) + Line(9), Padded("4     700        New") + Padded("5     700") + Padded("10    200"));
    // Below the whole table: nothing changes and no name is asked for.
    const std::string before(&ScoreTable[0][0], sizeof ScoreTable);
    script.typing = "Zz\r";
    InsertScore(199);
    EXPECT_TRUE(highlightRank == kNoHighlight && before == std::string(&ScoreTable[0][0], sizeof ScoreTable) &&
                script.typing == "Zz\r");

    // Twelve characters kept, Backspace (even on nothing), Esc ends as Enter
    // does, "Nobody" for no name, spaces are a name, others ignored.
    const struct {
        const char* keys;
        const char* name;
    } entries[] = {{"ABCDEFGHIJKLM\r", "ABCDEFGHIJKL"},
                   {"\b\bAB\bC\r", "AC          "},
                   {"Bo\x1b"
                    "b\r",
                    "Bo          "},
                   {"\r", "Nobody      "},
                   {"   \r", "            "},
                   {"\t\x7f\xe9q\r", "q           "}};
    LoadScores();
    for (auto [keys, name] : entries) {
        script.typing = keys;
        InsertScore(10);
        EXPECT_EQ(Line(0).substr(17, 12), name) << keys;
    }
}

// --- The scene -------------------------------------------------------------

constexpr uint32_t kWall = 0xC0C0C0, kWhite = 0xFFFFFF, kBlue = 0x0000FF;
constexpr int32_t kNextX = 224, kNextY = 391, kBallX = 304, kBallY = 391;

uint32_t PixelAt(Image* image, int32_t x, int32_t y) {
    int32_t pitch;
    return ImagePixels(image, &pitch)[static_cast<ptrdiff_t>(y) * pitch + x];
}

class Scene : public Flow {
protected:
    void SetUp() override {
        Flow::SetUp();
        board = Board{};
        game.playing = 1;
        ImageClear(&ScreenImage, 0x010203);  // nothing of an earlier frame may survive
        GameSettings.marks = 0;
    }
    void TearDown() override { GameSettings.marks = 0; }
    static uint32_t screen(int32_t x, int32_t y) { return PixelAt(&ScreenImage, x, y); }
    // Pixels of the rectangle that differ from the background.
    static int changed(int32_t l, int32_t t, int32_t r, int32_t b) {
        int n = 0;
        for (int32_t y = t; y <= b; y++)
            for (int32_t x = l; x <= r; x++) n += screen(x, y) != PixelAt(&backImage, x, y);
        return n;
    }
    // Pixels of a ball's shape at (x, y) that differ from `want` at (wx, wy),
    // the death line's row left out.
    static int mismatches(int32_t x, int32_t y, Image* want, int32_t wx, int32_t wy) {
        int bad = 0;
        for (int32_t j = 0; j < 32; j++)
            for (int32_t i = 0; i < 32; i++)
                if (PixelAt(&ballImage, i, j) != 0 && y + j != 350 && y + j < 480)
                    bad += screen(x + i, y + j) != PixelAt(want, wx + i, wy + j);
        return bad;
    }
    // Against ball k of the strip; hidden when hardly any pixel matches.
    static int ball(int32_t k, int32_t x, int32_t y) { return mismatches(x, y, &ballStrip, 32 * k, 0); }
    static bool hidden(int32_t k, int32_t x, int32_t y) { return ball(k, x, y) > 400; }
    // Set glyph bits of the 8x8 text at (x, y) not shown in `colour`.
    static int text(const std::string& s, int32_t x, int32_t y, uint32_t colour) {
        int bad = 0;
        for (size_t k = 0; k < s.size(); k++)
            for (int r = 0; r < 64; r++)
                if (FontTable[static_cast<unsigned char>(s[k]) * 8 + r / 8] & (0x80 >> r % 8))
                    bad += screen(x + 8 * int32_t(k) + r % 8, y + r / 8) != colour;
        return bad;
    }
    static void put(int col, int row, int color, int mark = Held) { board.cells[row][col] = {color, mark}; }
    static int32_t cellX(int32_t col, int32_t row) { return 192 + 32 * col + 16 * (row & 1); }
    static int32_t cellY(int32_t row) { return game.ceiling + 28 * row; }
};

TEST_F(Scene, PlayfieldWallsRowsAndBallsFollowTheCeiling) {
    game.nextColor = 2, game.currentColor = 6;
    game.ballX = 300 * 256 + 255, game.ballY = 200 * 256 + 3;  // rounds down to the pixel
    for (int32_t c = 0; c < 8; c++) put(c, 0, 1 + c), put(c, 1, 8 - c);
    put(0, 10, 5);  // reaches across the death line
    for (int32_t ceiling : {55, 63}) {
        game.ceiling = ceiling;
        DrawScene();
        // Side walls x 188..191 and 448..451 from the ceiling down, the top
        // wall the 4 rows above it across both, nothing above that.
        int wrong = changed(188, 0, 451, ceiling - 5);
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 184; x < 456; x++) {
                bool side = (x >= 188 && x <= 191) || (x >= 448 && x <= 451);
                bool wall = (y >= ceiling && side) || (y >= ceiling - 4 && y < ceiling && x >= 188 && x <= 451);
                if (x < 192 || x >= 448 || (y >= ceiling - 8 && y <= ceiling)) wrong += (screen(x, y) == kWall) != wall;
            }
        // Even rows span x 192..447, odd ones 208..431 (the eighth is off).
        int bad = ball(5, 192, cellY(10)) + ball(2, kNextX, kNextY) + ball(6, 300, 200) +
                  changed(192, ceiling + 32, 207, ceiling + 55) + changed(432, ceiling + 32, 447, ceiling + 55);
        for (int32_t c = 0; c < 8; c++)
            bad += ball(1 + c, 192 + 32 * c, ceiling) + (c < 7 ? ball(8 - c, 208 + 32 * c, ceiling + 28) : 0);
        EXPECT_EQ(wrong + bad, 0) << ceiling;
    }
}

TEST_F(Scene, EffectsPopFadeAndDropSlideRevealRowsLoseTurnsGrey) {
    put(0, 0, 1, Held), put(1, 0, 2, InGroup), put(2, 2, 3, Loose);
    game.nextColor = 4, game.currentColor = 5;
    const int32_t gx = cellX(1, 0), gy = cellY(0), lx = cellX(2, 2), ly = cellY(2);
    // Pop {timer, weight, drop}: the group fades in place, the loose ball as
    // it drops; the held and the next ball stay, the current one does not.
    Image want{};
    ImageCreate(&want, nullptr, 640, 480, 1);
    for (auto [timer, weight, drop] : {std::array{kPopTime, 256, 0}, {512, 128, 64}, {4, 1, 127}, {1, 0, 127}}) {
        game.popTimer = timer;
        DrawScene();
        ImageBlit(&backImage, 0, 0, &want, 0, 0, 640, 480);
        ImageBlendKeyed(&ballStrip, 64, 0, &want, gx, gy, 32, 32, weight);
        ImageBlendKeyed(&ballStrip, 96, 0, &want, lx, ly + drop, 32, 32, weight);
        EXPECT_EQ(mismatches(gx, gy, &want, gx, gy) + mismatches(lx, ly + drop, &want, lx, ly + drop) +
                      ball(1, cellX(0, 0), cellY(0)) + ball(4, kNextX, kNextY),
                  0)
            << timer;
        EXPECT_TRUE(hidden(5, kBallX, kBallY) && (drop < 32 || changed(lx, ly, lx + 31, ly + 31) == 0)) << timer;
    }
    ImageRelease(&want);

    // Lose: the board fades to grey, wholly grey from 7168 on; the next
    // ball stays in colour, the current one is gone.
    game.popTimer = 0;
    board = Board{};
    put(0, 0, 3), put(2, 0, 8);  // red, orange 0xFFA000
    for (auto [timer, red, orange] : {std::array{7680u, 0xBF4040u, 0xBF9040u}, {7168u, 0x808080u, 0x808080u}}) {
        game.loseTimer = int32_t(timer);
        DrawScene();
        ImageTint(&ballImage, &tintImage, red);
        int bad = mismatches(cellX(0, 0), cellY(0), &tintImage, 0, 0);
        ImageTint(&ballImage, &tintImage, orange);
        bad += mismatches(cellX(2, 0), cellY(0), &tintImage, 0, 0) + ball(4, kNextX, kNextY);
        EXPECT_TRUE(bad == 0 && hidden(5, kBallX, kBallY)) << timer;
    }

    // Slide {timer, rows shown}: rows 0..16 - (timer >> 8), both balls
    // hidden; row 15 hangs over the screen's bottom, so rows 0..14 are seen.
    game.loseTimer = 0;
    for (int32_t r = 0; r < kBoardRows; r++) put(0, r, 1 + r % 8);
    for (auto [timer, rows] : {std::pair{4096, 1}, {3840, 2}, {3839, 3}, {1, 15}, {0, 15}}) {
        game.slideTimer = timer;
        DrawScene();
        for (int32_t r = 0; r < kBoardRows - 1; r++) {
            const int bad = ball(1 + r % 8, cellX(0, r), cellY(r));
            EXPECT_TRUE(r < rows ? bad == 0 : bad > 400) << timer << " row " << r;
        }
        EXPECT_EQ(hidden(4, kNextX, kNextY) && hidden(5, kBallX, kBallY), timer > 0) << timer;
    }
}

// C in a game (or on the title screen) puts the colour marks on; at once
// (nothing else changed) every coloured ball comes from the marked strip:
// board, next (and flying) ball, the pop's fade. In the grey fade the marks
// still tell apart two colours that are one grey without them.
TEST_F(Scene, ColourMarksOnEveryBallAndThroughTheGreyFade) {
    auto marked = [](int32_t k, int32_t x, int32_t y) { return mismatches(x, y, &markedStrip, 32 * k, 0); };
    game.nextColor = 2, game.currentColor = 6, game.ballX = 300 * 256, game.ballY = 200 * 256;
    put(0, 0, 3), put(2, 0, 3), put(1, 0, 4, InGroup);
    DrawScene();
    game.popTimer = kPopTime;  // the frame's time runs the pop down a little
    Frame('c');
    EXPECT_EQ(GameSettings.marks, 1);
    game.popTimer = kPopTime;
    DrawScene();
    EXPECT_EQ(marked(3, cellX(0, 0), cellY(0)) + marked(3, cellX(2, 0), cellY(0)) + marked(4, cellX(1, 0), cellY(0)) +
                  marked(2, kNextX, kNextY),
              0);

    // Red and magenta, wholly grey: they differ with the marks, not without.
    game.popTimer = 0, game.loseTimer = 7168;
    put(1, 0, 0), put(2, 0, 4);
    auto apart = [] {
        int n = 0;
        for (int32_t i = 0; i < 32 * 32; i++)
            n += PixelAt(&ballImage, i % 32, i / 32) != 0 &&
                 screen(cellX(0, 0) + i % 32, cellY(0) + i / 32) != screen(cellX(2, 0) + i % 32, cellY(0) + i / 32);
        return n;
    };
    DrawScene();
    const int withMarks = apart();
    GameSettings.marks = 0;
    DrawScene();
    EXPECT_TRUE(withMarks >= 40 && apart() == 0) << withMarks;
}

// The table with its highlight, a line without its NUL shown up to the
// screen's edge, the field behind without the current ball.
TEST_F(Scene, AttractScreenShowsTheTableAndItsHighlight) {
    game.playing = 0, game.nextColor = 3, game.currentColor = 4;
    put(0, 0, 2);
    for (auto& line : ScoreTable) std::memcpy(line, "1     1000       Bo", 19);
    std::memset(ScoreTable[9], 'X', kScoreLineSize);
    for (int32_t rank : {3, 0, kNoHighlight}) {
        highlightRank = rank;
        DrawScene();
        for (int i = 0; i < kScoreLines; i++)
            EXPECT_EQ(text(i < 9 ? "1     1000       Bo" : std::string(54, 'X'), 204, 204 + 8 * i,
                           i == rank ? kWhite : kBlue),
                      0)
                << rank << " " << i;
    }
    EXPECT_EQ(ball(2, 192, 55) + ball(3, kNextX, kNextY), 0);
    EXPECT_TRUE(screen(190, 300) == kWall && hidden(4, kBallX, kBallY));
}

}  // namespace

// The sight as turned on the screen, whether the aim moves or rests, after a
// reload of the pictures too; every pixel of it light, so no dark speckle
// shows round its strokes on the wood.
TEST_F(Scene, TheSightIsTurnedWithTheAimAndTheImagesAndIsLightAcrossTheArc) {
    Image want;
    ImageCreate(&want, nullptr, cannonImage.width, cannonImage.height, 0);
    game.currentColor = game.nextColor = 0;  // no ball on the cannon or beside it
    auto darkOrWrong = [&](int32_t angle) {
        ImageClear(&want, TransparentColor);
        ImageRotate(&cannonImage, &want, static_cast<int16_t>(angle), 1024);
        int32_t cx, cy, bad = 0, drawn = 0;
        GetCannonPos(&cx, &cy);
        for (int32_t y = 0; y < want.height && cy + y < 480; y++)
            for (int32_t x = 0; x < want.width; x++)
                if (uint32_t p = PixelAt(&want, x, y); p != 0 && ++drawn)
                    bad += p != screen(cx + x, cy + y) || std::min({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}) < 0xA0;
        return drawn > 1000 ? bad : -1;
    };
    for (int32_t a = -340; a <= 360; a += 20) {  // every 5 degrees, both ends of the arc, and back to 90
        game.aimAngle = a > 340 ? 90 : (std::clamp(a, -338, 338) + 1440) % 1440;
        DrawScene();
        EXPECT_EQ(darkOrWrong(game.aimAngle), 0) << game.aimAngle << " moving";
        ImageFillRect(&ScreenImage, 0, 0, 0, 0, 0);  // a mark, so that the frame is drawn again
        DrawScene();
        EXPECT_EQ(darkOrWrong(game.aimAngle), 0) << game.aimAngle << " resting";
    }
    // A surface given back after a switch away has lost its pixels; the
    // reload that follows must bring the turned sight back too.
    ImageClear(&cannonTurnImage, 0x123456);
    RestoreGameImages();
    LoadGameImages();
    DrawScene();
    EXPECT_EQ(darkOrWrong(90), 0);
    ImageRelease(&want);
}
