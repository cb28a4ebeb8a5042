// The scene: frames drawn from hand-set game states, checked pixel by pixel
// against the pictures they are made of.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "flow/GameImages.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "flow_scene_support.h"
#include "gfx/Image.h"
#include "platform/FaceText.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

namespace {

constexpr uint32_t kWall = 0xC0C0C0;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr int32_t kDeathLine = 350;
constexpr int32_t kBall = 32;
constexpr int32_t kNextX = 224, kNextY = 391;

class Scene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildSineTable();
        FontLoad();
        ASSERT_TRUE(ImageCreate(&ScreenImage, nullptr, 640, 480, 1));
        CreateGameImages();
        LoadGameImages();
    }
    static void TearDownTestSuite()
    {
        ReleaseGameImages();
        ImageRelease(&ScreenImage);
    }
    void SetUp() override
    {
        game = GameState{};
        game.ceiling = kCeilingStart;
        game.credits = kStartCredits;
        game.playing = 1;
        board = Board{};
        highlightRank = kNoHighlight;
        for (auto& line : ScoreTable) {
            std::memset(line, ' ', kScoreLineSize - 1);
            line[kScoreLineSize - 1] = '\0';
        }
        ImageClear(&ScreenImage, 0x010203);  // nothing of an earlier frame may survive
    }

    static uint32_t screen(int32_t x, int32_t y) { return PixelAt(&ScreenImage, x, y); }
    static uint32_t back(int32_t x, int32_t y) { return PixelAt(&backImage, x, y); }
    static uint32_t strip(int32_t k, int32_t i, int32_t j) { return PixelAt(&ballStrip, k * kBall + i, j); }

    // Pixels of a ball picture at (x, y) the screen does not show as
    // `expected` gives them (strip ball k by default), the death line's row
    // left out as it lies over balls.
    template <typename Expected>
    static int ballMismatchesWith(int32_t x, int32_t y, Expected expected)
    {
        int bad = 0;
        for (int32_t j = 0; j < kBall; j++)
            for (int32_t i = 0; i < kBall; i++) {
                if (PixelAt(&ballImage, i, j) == 0 || y + j == kDeathLine || y + j >= 480)
                    continue;
                bad += screen(x + i, y + j) != expected(i, j);
            }
        return bad;
    }
    static int ballMismatches(int32_t k, int32_t x, int32_t y)
    {
        return ballMismatchesWith(x, y, [k](int32_t i, int32_t j) { return strip(k, i, j); });
    }
    // True when ball k does not show at (x, y): hardly any of its pixels.
    static bool ballHidden(int32_t k, int32_t x, int32_t y) { return ballMismatches(k, x, y) > 400; }
    // Pixels of the rectangle that are not the background, leaving out one
    // row if asked (the death line's).
    static int notBackground(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t skipRow = -1)
    {
        int n = 0;
        for (int32_t y = y0; y <= y1; y++)
            for (int32_t x = x0; x <= x1 && y != skipRow; x++)
                n += screen(x, y) != back(x, y);
        return n;
    }
    // Set glyph bits of the 8x8 text at (x, y) not shown in `colour`.
    static int textMismatches(const char* text, int32_t x, int32_t y, uint32_t colour)
    {
        int bad = 0;
        for (; *text != '\0'; text++, x += 8)
            for (int r = 0; r < 8; r++)
                for (int b = 0; b < 8; b++)
                    if (FontTable[static_cast<unsigned char>(*text) * 8 + r] & (0x80 >> b))
                        bad += screen(x + b, y + r) != colour;
        return bad;
    }
    static void put(int32_t col, int32_t row, int32_t color, int32_t mark = Held)
    {
        board.cells[row][col] = BoardCell{color, mark};
    }
    static int32_t cellX(int32_t col, int32_t row) { return 192 + 32 * col + 16 * (row & 1); }
    static int32_t cellY(int32_t row) { return game.ceiling + 28 * row; }
    // The child process of the test below: 0 when the attract screen is
    // drawn whole but for the title, with the measure's outputs untouched.
    static int drawAttractWithoutFonts()
    {
        char config[64];  // one file per process: tests may run side by side
        std::snprintf(config, sizeof config, "/tmp/kelvane-no-fonts-%d.conf", static_cast<int>(getpid()));
        if (FILE* f = std::fopen(config, "w")) {
            std::fputs("<?xml version=\"1.0\"?><fontconfig></fontconfig>\n", f);
            std::fclose(f);
        }
        setenv("FONTCONFIG_FILE", config, 1);
        FaceTextShutdown();
        game.playing = 0;
        int32_t w = -7, h = -7;
        MeasureFaceText(&ScreenImage, "Kelvane", "Arial", 0, 40, &w, &h);
        DrawScene();
        bool prompt = textMismatches("Press [Enter] to Start", 232, 464, kWhite) == 0;
        bool table = textMismatches("Rank  Score      Name", 204, 196, kYellow) == 0;
        bool noTitle = notBackground(100, 0, 639, 50) == 0;
        std::remove(config);
        return w == -7 && h == -7 && prompt && table && noTitle ? 0 : 1;
    }
    // The plain ball's pixel, each channel times the colour's / 256.
    static auto tint(uint32_t colour)
    {
        return [colour](int32_t i, int32_t j) {
            uint32_t p = PixelAt(&ballImage, i, j), out = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                out |= ((((p >> shift) & 0xFF) * ((colour >> shift) & 0xFF)) >> 8) << shift;
            return out;
        };
    }
    // Strip ball k blended over the background at (x, y) with a weight.
    static auto blended(int32_t k, int32_t x, int32_t y, int32_t weight)
    {
        return [=](int32_t i, int32_t j) {
            uint32_t s = strip(k, i, j), d = back(x + i, y + j), out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                int32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                out |= static_cast<uint32_t>(dc + (((sc - dc) * weight) >> 8)) << shift;
            }
            return out;
        };
    }
    // The current ball on the cannon, the next one beside it.
    static void loadBalls(int32_t next, int32_t current)
    {
        game.nextColor = next;
        game.currentColor = current;
        game.ballX = 304 * 256;
        game.ballY = 391 * 256;
    }
};

TEST_F(Scene, PlayfieldWallsRowsDeathLineAndStatusFollowTheCeiling)
{
    game.levelIndex = 4;
    game.score = 1234567;
    game.credits = 0;
    for (int32_t c = 0; c < 8; c++)
        put(c, 0, 1 + c);
    for (int32_t c = 0; c < 7; c++)
        put(c, 1, 8 - c);
    put(0, 10, 5);  // reaches across the death line
    for (int32_t ceiling : {55, 63}) {
        SCOPED_TRACE(ceiling);
        game.ceiling = ceiling;
        DrawScene();
        // Side walls x 188..191 and 448..451 from the ceiling down; the top
        // wall the 4 rows above it, across both.
        auto isWall = [ceiling](int32_t x, int32_t y) {
            bool side = (x >= 188 && x <= 191) || (x >= 448 && x <= 451);
            return (y >= ceiling && side) || (y >= ceiling - 4 && y < ceiling && x >= 188 && x <= 451);
        };
        int wrong = 0;
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 184; x < 456; x++)
                if (x < 192 || x >= 448 || (y >= ceiling - 8 && y <= ceiling))
                    wrong += (screen(x, y) == kWall) != isWall(x, y);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(notBackground(188, 0, 451, ceiling - 5), 0);
        // Even rows span x 192..447, odd ones 208..431.
        for (int32_t c = 0; c < 8; c++)
            EXPECT_EQ(ballMismatches(1 + c, 192 + 32 * c, ceiling), 0) << c;
        for (int32_t c = 0; c < 7; c++)
            EXPECT_EQ(ballMismatches(8 - c, 208 + 32 * c, ceiling + 28), 0) << c;
        EXPECT_EQ(notBackground(192, ceiling + 32, 207, ceiling + 55), 0);
        EXPECT_EQ(notBackground(432, ceiling + 32, 447, ceiling + 55), 0);
        // The death line stays at 350 over the board; only the sight (x
        // 277..361) is drawn over it.
        EXPECT_EQ(ballMismatches(5, 192, cellY(10)), 0);
        int red = 0, redBeside = 0;
        for (int32_t x = 192; x <= 447; x++) {
            red += screen(x, kDeathLine) == kRed;
            redBeside += (x < 277 || x > 361) && screen(x, kDeathLine) == kRed;
        }
        EXPECT_EQ(redBeside, 256 - 85);
        EXPECT_LT(red, 256);
        EXPECT_NE(screen(200, kDeathLine - 1), kRed);
        // Status texts, values left-aligned.
        EXPECT_EQ(textMismatches("Level", 4, 4, kWhite) + textMismatches("5", 4, 12, kWhite) +
                      textMismatches("Score", 4, 28, kWhite) + textMismatches("1234567", 4, 36, kWhite) +
                      textMismatches("Credits", 4, 52, kWhite) + textMismatches("0", 4, 60, kWhite),
                  0);
        EXPECT_EQ(notBackground(12, 12, 40, 19) + notBackground(60, 36, 90, 43) + notBackground(12, 60, 40, 67), 0);
    }
}

TEST_F(Scene, TurnedCannonNextBallAndFlyingBallInPlay)
{
    game.aimAngle = 1200;
    game.nextColor = 2;
    game.currentColor = 6;
    game.ballX = 300 * 256 + 255;  // rounds down to the pixel
    game.ballY = 200 * 256 + 3;
    DrawScene();
    EXPECT_EQ(ballMismatches(2, kNextX, kNextY), 0);
    EXPECT_EQ(ballMismatches(6, 300, 200), 0);
    // The cannon turned by the aim lands at (228, 315).
    SceneImage turned(cannonImage.width, cannonImage.height);
    ImageRotate(&cannonImage, &turned.image, 1200, 1024);
    int lit = 0, bad = 0;
    for (int32_t y = 0; y < 165; y++)
        for (int32_t x = 0; x < 184; x++)
            if (uint32_t p = turned.at(x, y)) {
                lit++;
                bad += screen(228 + x, 315 + y) != p;
            }
    EXPECT_GT(lit, 500);
    EXPECT_EQ(bad, 0);
    // Next colour 0 shows nothing.
    game.nextColor = 0;
    DrawScene();
    EXPECT_EQ(notBackground(kNextX, kNextY, kNextX + 31, kNextY + 31), 0);
}

TEST_F(Scene, PopFadesTheGroupInPlaceAndDropsTheLooseBalls)
{
    put(0, 0, 1, Held);
    put(1, 0, 2, InGroup);
    put(2, 2, 3, Loose);
    loadBalls(4, 5);
    const int32_t gx = cellX(1, 0), gy = cellY(0), lx = cellX(2, 2), ly = cellY(2);
    game.popTimer = kPopTime;  // whole, nothing moved yet
    DrawScene();
    EXPECT_EQ(ballMismatches(2, gx, gy) + ballMismatches(3, lx, ly), 0);
    game.popTimer = 512;  // half faded, the loose ball 64 pixels down
    DrawScene();
    EXPECT_EQ(ballMismatches(1, cellX(0, 0), cellY(0)), 0);
    EXPECT_EQ(ballMismatchesWith(gx, gy, blended(2, gx, gy, 128)), 0);
    EXPECT_EQ(ballMismatchesWith(lx, ly + 64, blended(3, lx, ly + 64, 128)), 0);
    EXPECT_EQ(notBackground(lx, ly, lx + 31, ly + 31), 0);
    EXPECT_EQ(ballMismatches(4, kNextX, kNextY), 0);  // the next ball stays,
    EXPECT_TRUE(ballHidden(5, 304, 391));             // the current one does not
    game.popTimer = 4;  // at the end: 127 pixels down, almost gone
    DrawScene();
    EXPECT_EQ(ballMismatchesWith(lx, ly + 127, blended(3, lx, ly + 127, 1)), 0);
    game.popTimer = 1;
    DrawScene();
    EXPECT_EQ(notBackground(gx, gy, gx + 31, gy + 31) + notBackground(lx, ly, lx + 31, ly + 200), 0);
    EXPECT_EQ(ballMismatches(1, cellX(0, 0), cellY(0)), 0);
}

TEST_F(Scene, SlideRevealsRowsFromTheTopWithBothBallsHidden)
{
    for (int32_t r = 0; r < kBoardRows; r++)
        put(0, r, 1 + r % 8);
    loadBalls(4, 5);
    // {timer, rows shown}: rows 0..16 - (timer >> 8). Row 15 hangs over
    // the screen's bottom edge, so rows 0..14 are checked.
    const struct { int32_t timer, rows; } steps[] = {{4096, 1}, {3840, 2}, {3839, 3}, {2048, 9}, {512, 15}, {1, 15}};
    for (auto [timer, rows] : steps) {
        game.slideTimer = timer;
        DrawScene();
        for (int32_t r = 0; r < kBoardRows - 1; r++) {
            bool shown = ballMismatches(1 + r % 8, cellX(0, r), cellY(r)) == 0;
            bool hidden = notBackground(cellX(0, r) + 4, cellY(r) + 4, cellX(0, r) + 27, cellY(r) + 27, kDeathLine) == 0;
            EXPECT_TRUE(shown != hidden && shown == (r < rows)) << timer << " row " << r;
        }
        EXPECT_TRUE(ballHidden(4, kNextX, kNextY) && ballHidden(5, 304, 391)) << timer;
    }
    game.slideTimer = 0;
    DrawScene();
    EXPECT_EQ(ballMismatches(4, kNextX, kNextY) + ballMismatches(5, 304, 391), 0);
}

TEST_F(Scene, LoseEffectGreysTheBoardAndIsExactlyGreyFrom7168)
{
    put(0, 0, 3);  // red
    put(3, 1, 2);  // green
    put(5, 4, 8);  // orange 0xFFA000
    loadBalls(1, 7);
    const int32_t rx = cellX(0, 0), ry = cellY(0), gx = cellX(3, 1), gy = cellY(1), ox = cellX(5, 4), oy = cellY(4);
    // {timer, red, green, orange}: channels move toward 128 by
    // ((128 - c) x f) >> 8, f = (8192 - timer) >> 2, rounding down (255
    // drops by 63.5 -> 64 at f = 128); from 7168 on, grey outright.
    const struct { int32_t timer; uint32_t red, green, orange; } steps[] = {
        {8192, 0xFF0000, 0x00FF00, 0xFFA000}, {7680, 0xBF4040, 0x40BF40, 0xBF9040},
        {7169, 0x807F7F, 0x7F807F, 0x80807F}, {7168, 0x808080, 0x808080, 0x808080},
        {1, 0x808080, 0x808080, 0x808080}};
    for (auto [timer, red, green, orange] : steps) {
        game.loseTimer = timer;
        DrawScene();
        EXPECT_EQ(ballMismatchesWith(rx, ry, tint(red)), 0) << timer;
        EXPECT_EQ(ballMismatchesWith(gx, gy, tint(green)), 0) << timer;
        EXPECT_EQ(ballMismatchesWith(ox, oy, tint(orange)), 0) << timer;
        EXPECT_EQ(ballMismatches(1, kNextX, kNextY), 0) << timer;  // the next ball shows in colour,
        EXPECT_TRUE(ballHidden(7, 304, 391)) << timer;              // the current one not at all
    }
}

TEST_F(Scene, AttractScreenShowsTableHighlightPromptAndCentredTitle)
{
    game.playing = 0;
    loadBalls(3, 4);
    put(0, 0, 2);
    for (int i = 0; i < kScoreLines; i++) {
        char text[64];
        int n = std::snprintf(text, sizeof text, "%-2i    %-9i  %s", i + 1, 1000 - 50 * i, i == 3 ? "Ann" : "Bo");
        std::memcpy(ScoreTable[i], text, n);
    }
    for (int32_t rank : {3, 0, 9, kNoHighlight}) {
        highlightRank = rank;
        DrawScene();
        EXPECT_EQ(textMismatches("Rank  Score      Name", 204, 196, kYellow), 0);
        for (int i = 0; i < kScoreLines; i++)
            EXPECT_EQ(textMismatches(std::string(ScoreTable[i], 30).c_str(), 204, 204 + 8 * i,
                                     i == rank ? kWhite : kBlue), 0) << rank << " line " << i;
    }
    // A line shows up to the screen's edge (54 characters), even one that
    // lacks its NUL.
    std::memset(ScoreTable[9], 'X', kScoreLineSize);
    DrawScene();
    EXPECT_EQ(textMismatches(std::string(54, 'X').c_str(), 204, 276, kBlue), 0);
    EXPECT_EQ(textMismatches("Press [Enter] to Start", 232, 464, kWhite), 0);
    // Board, walls, status, cannon and next ball as in a game; no current ball.
    EXPECT_EQ(ballMismatches(2, 192, 55) + ballMismatches(3, kNextX, kNextY), 0);
    EXPECT_EQ(textMismatches("Level", 4, 4, kWhite), 0);
    EXPECT_EQ(screen(190, 300), kWall);
    EXPECT_GT(notBackground(277, 360, 361, 449), 500);
    EXPECT_TRUE(ballHidden(4, 304, 391));

    // The title: yellow, from y 5, centred as wide as it measures.
    int32_t w = -1, h = -1;
    MeasureFaceText(&ScreenImage, "Kelvane", "Arial", 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    InkBox ink = DifferenceBox(&ScreenImage, &backImage, 100, 0, 639, 50);
    EXPECT_TRUE(ink.left >= (640 - w) / 2 && ink.right < (640 - w) / 2 + w) << ink.left << ".." << ink.right;
    EXPECT_TRUE(ink.top >= 5 && ink.bottom < 5 + h) << ink.top << ".." << ink.bottom;
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 319.5, 4.0);
    int yellow = 0;
    for (int32_t y = ink.top; y <= ink.bottom; y++)
        for (int32_t x = ink.left; x <= ink.right; x++)
            yellow += screen(x, y) == kYellow;
    EXPECT_GT(yellow, 100);
}

// Without any fonts the title cannot be measured: the attract screen is drawn
// without it rather than at a made-up place. Runs in a process of its own so
// that fontconfig starts there with an empty configuration.
TEST_F(Scene, TitleThatCannotBeMeasuredIsLeftOut)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(drawAttractWithoutFonts()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
