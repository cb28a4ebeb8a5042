// The scene: frames drawn from hand-set game states, checked pixel by pixel
// against the pictures they are made of.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

    // Pixels of ball k placed at (x, y) that the screen does not show as the
    // strip has them (the death line's row is left out: it lies over balls).
    // With `expected` a ball picture's pixel can be given instead.
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
    static int ballPixels()
    {
        int n = 0;
        for (int32_t j = 0; j < kBall; j++)
            for (int32_t i = 0; i < kBall; i++)
                n += PixelAt(&ballImage, i, j) != 0;
        return n;
    }
    // True when ball k does not show at (x, y): almost none of its pixels.
    static bool ballHidden(int32_t k, int32_t x, int32_t y) { return ballMismatches(k, x, y) > ballPixels() * 9 / 10; }
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
        const char* config = "/tmp/kelvane-no-fonts.conf";
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
        return w == -7 && h == -7 && prompt && table && noTitle ? 0 : 1;
    }
    static uint32_t tinted(int32_t i, int32_t j, uint32_t colour)
    {
        uint32_t p = PixelAt(&ballImage, i, j);
        uint32_t r = ((p >> 16) * (colour >> 16)) >> 8;
        uint32_t g = (((p >> 8) & 0xFF) * ((colour >> 8) & 0xFF)) >> 8;
        uint32_t b = ((p & 0xFF) * (colour & 0xFF)) >> 8;
        return r << 16 | g << 8 | b;
    }
};

TEST_F(Scene, WallsAndBallsFollowTheCeilingWhileTheDeathLineStays)
{
    for (int32_t ceiling : {55, 63}) {
        game.ceiling = ceiling;
        put(0, 0, 3);
        put(7, 0, 1);
        DrawScene();
        SCOPED_TRACE(ceiling);
        for (int32_t y = ceiling; y < 480; y++) {
            for (int32_t x = 188; x <= 191; x++)
                ASSERT_EQ(screen(x, y), kWall) << x << "," << y;
            for (int32_t x = 448; x <= 451; x++)
                ASSERT_EQ(screen(x, y), kWall) << x << "," << y;
            ASSERT_NE(screen(187, y), kWall);
            ASSERT_NE(screen(452, y), kWall);
        }
        for (int32_t x = 188; x <= 451; x++) {
            for (int32_t y = ceiling - 4; y < ceiling; y++)
                ASSERT_EQ(screen(x, y), kWall) << x << "," << y;
            ASSERT_NE(screen(x, ceiling - 5), kWall) << x;
        }
        // Above the top wall only the background shows there.
        EXPECT_EQ(notBackground(188, 0, 451, ceiling - 5), 0);
        EXPECT_EQ(ballMismatches(3, 192, ceiling), 0);
        EXPECT_EQ(ballMismatches(1, 416, ceiling), 0);
        // The death line spans the field; only the cannon's sight (x 277..361)
        // is drawn over it.
        for (int32_t x = 192; x <= 447; x++) {
            if (x < 277 || x > 361) {
                ASSERT_EQ(screen(x, kDeathLine), kRed) << x;
            }
        }
        EXPECT_NE(screen(200, kDeathLine - 1), kRed);
        EXPECT_NE(screen(200, kDeathLine + 1), kRed);
    }
}

TEST_F(Scene, EvenAndOddRowsAndTheDeathLineOverTheBoard)
{
    for (int32_t c = 0; c < 8; c++)
        put(c, 0, 1 + c);
    for (int32_t c = 0; c < 7; c++)
        put(c, 1, 8 - c);
    put(0, 10, 5);  // row 10 reaches across the death line (y 335..366)
    DrawScene();
    for (int32_t c = 0; c < 8; c++)
        EXPECT_EQ(ballMismatches(1 + c, cellX(c, 0), cellY(0)), 0) << c;
    for (int32_t c = 0; c < 7; c++)
        EXPECT_EQ(ballMismatches(8 - c, cellX(c, 1), cellY(1)), 0) << c;
    EXPECT_EQ(cellX(6, 1), 400);
    // Row 1 leaves half a ball free at each side (x 192..207 and 432..447)
    // below the reach of row 0's balls.
    EXPECT_EQ(notBackground(192, 87, 207, 110), 0);
    EXPECT_EQ(notBackground(432, 87, 447, 110), 0);
    EXPECT_GT(notBackground(208, 87, 431, 110), 0);
    // The death line is drawn over the ball; the ball shows either side.
    EXPECT_EQ(ballMismatches(5, 192, 335), 0);
    for (int32_t x = 192; x < 224; x++)
        ASSERT_EQ(screen(x, kDeathLine), kRed);
}

TEST_F(Scene, StatusTextsShowLevelScoreAndCredits)
{
    game.levelIndex = 4;
    game.score = 1234567;
    game.credits = 0;
    DrawScene();
    EXPECT_EQ(textMismatches("Level", 4, 4, kWhite), 0);
    EXPECT_EQ(textMismatches("5", 4, 12, kWhite), 0);
    EXPECT_EQ(textMismatches("Score", 4, 28, kWhite), 0);
    EXPECT_EQ(textMismatches("1234567", 4, 36, kWhite), 0);
    EXPECT_EQ(textMismatches("Credits", 4, 52, kWhite), 0);
    EXPECT_EQ(textMismatches("0", 4, 60, kWhite), 0);
    // Left-aligned values: what follows the digits is background.
    EXPECT_EQ(notBackground(12, 12, 40, 19), 0);
    EXPECT_EQ(notBackground(60, 36, 90, 43), 0);
    EXPECT_EQ(notBackground(12, 60, 40, 67), 0);
    EXPECT_GT(notBackground(4, 4, 43, 11), 20);
}

TEST_F(Scene, CannonNextBallAndFlyingBallInPlay)
{
    game.aimAngle = 1200;  // turned well to the left
    game.nextColor = 2;
    game.currentColor = 6;
    game.ballX = 300 * 256 + 255;  // rounds down to the pixel
    game.ballY = 200 * 256 + 3;
    DrawScene();
    EXPECT_EQ(ballMismatches(2, kNextX, kNextY), 0);
    EXPECT_EQ(ballMismatches(6, 300, 200), 0);
    // The turned cannon lands at (228, 315): compare with the cannon turned
    // the same way on its own.
    SceneImage turned(cannonImage.width, cannonImage.height);
    ImageRotate(&cannonImage, &turned.image, 1200, 1024);
    int lit = 0, bad = 0;
    for (int32_t y = 0; y < turned.image.height && 315 + y < 480; y++)
        for (int32_t x = 0; x < turned.image.width; x++) {
            uint32_t p = turned.at(x, y);
            if (p == 0)
                continue;
            lit++;
            bad += screen(228 + x, 315 + y) != p;
        }
    EXPECT_GT(lit, 500);
    EXPECT_EQ(bad, 0);
    // The unturned cannon would differ: the angle was applied.
    SceneImage upright(cannonImage.width, cannonImage.height);
    ImageRotate(&cannonImage, &upright.image, 0, 1024);
    EXPECT_GT(DifferenceBox(&upright.image, &turned.image, 0, 0, 183, 183).count, 500);

    // Next colour 0 shows nothing at the next ball's place.
    game.nextColor = 0;
    DrawScene();
    EXPECT_EQ(notBackground(kNextX, kNextY, kNextX + 31, kNextY + 31), 0);
}

TEST_F(Scene, PopFadesTheGroupInPlaceAndDropsTheLooseBalls)
{
    put(0, 0, 1, Held);
    put(1, 0, 2, InGroup);
    put(2, 2, 3, Loose);
    game.nextColor = 4;
    game.currentColor = 5;
    game.ballX = 304 * 256;
    game.ballY = 391 * 256;
    auto blended = [](int32_t k, int32_t x, int32_t y, int32_t weight) {
        return [=](int32_t i, int32_t j) {
            uint32_t s = strip(k, i, j), d = back(x + i, y + j), out = 0;
            for (int shift = 16; shift >= 0; shift -= 8) {
                int32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                out |= static_cast<uint32_t>(dc + (((sc - dc) * weight) >> 8)) << shift;
            }
            return out;
        };
    };
    // Half-way: half faded, the loose ball 64 pixels down.
    game.popTimer = 512;
    DrawScene();
    EXPECT_EQ(ballMismatches(1, cellX(0, 0), cellY(0)), 0);
    EXPECT_EQ(ballMismatchesWith(cellX(1, 0), cellY(0), blended(2, cellX(1, 0), cellY(0), 128)), 0);
    EXPECT_EQ(ballMismatchesWith(cellX(2, 2), cellY(2) + 64, blended(3, cellX(2, 2), cellY(2) + 64, 128)), 0);
    EXPECT_EQ(notBackground(cellX(2, 2), cellY(2), cellX(2, 2) + 31, cellY(2) + 31), 0);
    EXPECT_EQ(ballMismatches(4, kNextX, kNextY), 0);  // the next ball stays
    EXPECT_TRUE(ballHidden(5, 304, 391));             // the current one does not

    // At the start the group is whole and nothing has moved.
    game.popTimer = kPopTime;
    DrawScene();
    EXPECT_EQ(ballMismatches(2, cellX(1, 0), cellY(0)), 0);
    EXPECT_EQ(ballMismatches(3, cellX(2, 2), cellY(2)), 0);

    // At the very end the loose ball is 127 pixels down and almost gone.
    game.popTimer = 4;
    DrawScene();
    EXPECT_EQ(ballMismatchesWith(cellX(2, 2), cellY(2) + 127, blended(3, cellX(2, 2), cellY(2) + 127, 1)), 0);
    game.popTimer = 1;
    DrawScene();
    EXPECT_EQ(notBackground(cellX(1, 0), cellY(0), cellX(1, 0) + 31, cellY(0) + 31), 0);
    EXPECT_EQ(notBackground(cellX(2, 2), cellY(2), cellX(2, 2) + 31, cellY(2) + 200), 0);
    EXPECT_EQ(ballMismatches(1, cellX(0, 0), cellY(0)), 0);
}

TEST_F(Scene, SlideRevealsRowsFromTheTopWithBothBallsHidden)
{
    for (int32_t r = 0; r < kBoardRows; r++)
        put(0, r, 1 + r % 8);
    game.nextColor = 4;
    game.currentColor = 5;
    game.ballX = 304 * 256;
    game.ballY = 391 * 256;
    auto shownRows = [&]() {
        int32_t rows = 0;
        // Row 15 hangs over the screen's bottom edge: rows 0..14 are checked.
        for (int32_t r = 0; r < kBoardRows - 1; r++) {
            bool shown = ballMismatches(1 + r % 8, cellX(0, r), cellY(r)) == 0;
            bool hidden =
                notBackground(cellX(0, r) + 4, cellY(r) + 4, cellX(0, r) + 27, cellY(r) + 27, kDeathLine) == 0;
            EXPECT_TRUE(shown != hidden) << r;
            if (shown) {
                EXPECT_EQ(rows, r) << "row " << r << " shows below a hidden row";
                rows++;
            }
        }
        return rows;
    };
    const struct {
        int32_t timer, rows;
    } steps[] = {{4096, 1}, {3840, 2}, {3839, 3}, {2048, 9}, {512, 15}, {511, 16}, {1, 16}};
    for (auto [timer, rows] : steps) {
        game.slideTimer = timer;
        DrawScene();
        EXPECT_EQ(shownRows(), std::min(rows, 15)) << timer;
        EXPECT_TRUE(ballHidden(4, kNextX, kNextY)) << timer;
        EXPECT_TRUE(ballHidden(5, 304, 391)) << timer;
    }
    game.slideTimer = 0;
    DrawScene();
    EXPECT_EQ(ballMismatches(4, kNextX, kNextY), 0);
    EXPECT_EQ(ballMismatches(5, 304, 391), 0);
}

TEST_F(Scene, LoseEffectGreysTheBoardAndIsExactlyGreyFrom7168)
{
    put(0, 0, 3);  // red
    put(3, 1, 2);  // green
    put(5, 4, 8);  // orange
    game.nextColor = 1;
    game.currentColor = 7;
    game.ballX = 300 * 256;
    game.ballY = 250 * 256;
    auto tint = [](uint32_t colour) { return [=](int32_t i, int32_t j) { return tinted(i, j, colour); }; };

    game.loseTimer = kLoseTime;  // colours unchanged
    DrawScene();
    EXPECT_EQ(ballMismatches(3, cellX(0, 0), cellY(0)), 0);
    EXPECT_EQ(ballMismatches(2, cellX(3, 1), cellY(1)), 0);
    EXPECT_EQ(ballMismatches(8, cellX(5, 4), cellY(4)), 0);
    EXPECT_EQ(ballMismatches(1, kNextX, kNextY), 0);
    EXPECT_EQ(notBackground(300, 250, 331, 281), 0);

    // Half-way through the fade (f = 128): 255 moves down by 63.5, rounded
    // down to 64; 0 moves up by 64.
    game.loseTimer = 7680;
    DrawScene();
    EXPECT_EQ(ballMismatchesWith(cellX(0, 0), cellY(0), tint(0xBF4040)), 0);
    EXPECT_EQ(ballMismatchesWith(cellX(3, 1), cellY(1), tint(0x40BF40)), 0);
    // Orange 0xFFA000: A0 = 160 moves by (-32 x 128) >> 8 = -16.
    EXPECT_EQ(ballMismatchesWith(cellX(5, 4), cellY(4), tint(0xBF9040)), 0);

    game.loseTimer = 7169;  // f = 255: almost grey
    DrawScene();
    EXPECT_EQ(ballMismatchesWith(cellX(0, 0), cellY(0), tint(0x807F7F)), 0);
    EXPECT_EQ(ballMismatchesWith(cellX(5, 4), cellY(4), tint(0x80807F)), 0);

    for (int32_t timer : {7168, 3000, 1}) {
        game.loseTimer = timer;
        DrawScene();
        EXPECT_EQ(ballMismatchesWith(cellX(0, 0), cellY(0), tint(0x808080)), 0) << timer;
        EXPECT_EQ(ballMismatchesWith(cellX(3, 1), cellY(1), tint(0x808080)), 0) << timer;
        EXPECT_EQ(ballMismatchesWith(cellX(5, 4), cellY(4), tint(0x808080)), 0) << timer;
        EXPECT_EQ(ballMismatches(1, kNextX, kNextY), 0) << timer;  // the next ball keeps its colour
        EXPECT_EQ(notBackground(300, 250, 331, 281), 0) << timer;  // the current one is hidden
    }
}

TEST_F(Scene, AttractScreenShowsTableHighlightPromptAndCentredTitle)
{
    game.playing = 0;
    game.nextColor = 3;
    game.currentColor = 4;
    game.ballX = 300 * 256;
    game.ballY = 150 * 256;
    put(0, 0, 2);
    for (int i = 0; i < kScoreLines; i++) {
        char text[64];
        std::snprintf(text, sizeof text, "%-2i    %-9i  %s", i + 1, 1000 - 50 * i, i == 3 ? "Ann" : "Bo");
        std::memcpy(ScoreTable[i], text, std::strlen(text));
    }
    auto lineText = [](int i) { return std::string(ScoreTable[i], 30); };
    for (int32_t rank : {3, 0, 9, kNoHighlight}) {
        highlightRank = rank;
        DrawScene();
        SCOPED_TRACE(rank);
        EXPECT_EQ(textMismatches("Rank  Score      Name", 204, 196, kYellow), 0);
        for (int i = 0; i < kScoreLines; i++)
            EXPECT_EQ(textMismatches(lineText(i).c_str(), 204, 204 + 8 * i, i == rank ? kWhite : kBlue), 0) << i;
    }
    EXPECT_EQ(textMismatches("Press [Enter] to Start", 232, 464, kWhite), 0);
    // The board, the walls, the status texts, the cannon and the next ball
    // are there as in a game; the current ball is not.
    EXPECT_EQ(ballMismatches(2, 192, 55), 0);
    EXPECT_EQ(screen(190, 300), kWall);
    EXPECT_EQ(textMismatches("Level", 4, 4, kWhite), 0);
    EXPECT_EQ(ballMismatches(3, kNextX, kNextY), 0);
    EXPECT_GT(notBackground(277, 330, 361, 420), 500);
    EXPECT_EQ(notBackground(300, 150, 331, 181), 0);

    // The title: yellow, at y 5, centred on the screen as wide as it measures.
    int32_t w = -1, h = -1;
    MeasureFaceText(&ScreenImage, "Kelvane", "Arial", 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    const int32_t x = (640 - w) / 2;
    InkBox ink = DifferenceBox(&ScreenImage, &backImage, 100, 0, 639, 50);
    ASSERT_GT(ink.count, 200);
    EXPECT_GE(ink.left, x);
    EXPECT_LT(ink.right, x + w);
    EXPECT_GE(ink.top, 5);
    EXPECT_LT(ink.bottom, 5 + h);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 319.5, 4.0);
    int yellow = 0;
    for (int32_t y = ink.top; y <= ink.bottom; y++)
        for (int32_t xx = ink.left; xx <= ink.right; xx++)
            yellow += screen(xx, y) == kYellow;
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
