// The scene and the title's face text: frames drawn from hand-set game
// states, checked pixel by pixel against the pictures they are made of.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flow/GameImages.h"
#include "flow/Scene.h"
#include "flow/ScoreTable.h"
#include "gfx/Image.h"
#include "platform/FaceText.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

namespace {

constexpr uint32_t kWall = 0xC0C0C0, kRed = 0xFF0000, kWhite = 0xFFFFFF, kBlue = 0x0000FF, kYellow = 0xFFFF00;
constexpr int32_t kDeathLine = 350, kBall = 32, kNextX = 224, kNextY = 391;
constexpr const char* kFace = "Arial";

uint32_t PixelAt(Image* image, int32_t x, int32_t y)
{
    uint32_t* p;
    int32_t pitch;
    ImageLock(image, image, &p, &p, &pitch, &pitch);
    ImageUnlock(image, image);
    return p[static_cast<ptrdiff_t>(y) * pitch + x];
}

struct SceneImage {
    Image image;
    SceneImage(int32_t w, int32_t h, uint32_t fill = 0)
    {
        if (ImageCreate(&image, nullptr, w, h, 1))
            ImageClear(&image, fill);
    }
    ~SceneImage() { ImageRelease(&image); }
    uint32_t at(int32_t x, int32_t y) { return PixelAt(&image, x, y); }
};

// Bounding box and count of the pixels where two Images differ in a rectangle.
struct InkBox {
    int32_t left, top, right, bottom, count;
};
InkBox DifferenceBox(Image* a, Image* b, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    InkBox box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 0};
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++)
            if (PixelAt(a, x, y) != PixelAt(b, x, y))
                box = {std::min(x, box.left), std::min(y, box.top), std::max(x, box.right), std::max(y, box.bottom),
                       box.count + 1};
    return box;
}

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
    // Pixels of the rectangle that differ from the background.
    static int changed(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
    {
        return DifferenceBox(&ScreenImage, &backImage, x0, y0, x1, y1).count;
    }
    // Pixels of a ball's shape at (x, y) not as `expected(i, j)` gives them,
    // the death line's row left out.
    template <typename Expected>
    static int ballMismatchesWith(int32_t x, int32_t y, Expected expected)
    {
        int bad = 0;
        for (int32_t j = 0; j < kBall; j++)
            for (int32_t i = 0; i < kBall; i++)
                if (PixelAt(&ballImage, i, j) != 0 && y + j != kDeathLine && y + j < 480)
                    bad += screen(x + i, y + j) != expected(i, j);
        return bad;
    }
    // Mismatches against ball k of the strip; hidden when hardly any match.
    static int ballMismatches(int32_t k, int32_t x, int32_t y)
    {
        return ballMismatchesWith(x, y, [k](int32_t i, int32_t j) { return PixelAt(&ballStrip, k * kBall + i, j); });
    }
    static bool ballHidden(int32_t k, int32_t x, int32_t y) { return ballMismatches(k, x, y) > 400; }
    // Set glyph bits of the 8x8 text at (x, y) not shown in `colour`.
    static int textMismatches(const char* text, int32_t x, int32_t y, uint32_t colour)
    {
        int bad = 0;
        for (; *text != '\0'; text++, x += 8)
            for (int r = 0; r < 64; r++)
                if (FontTable[static_cast<unsigned char>(*text) * 8 + r / 8] & (0x80 >> r % 8))
                    bad += screen(x + r % 8, y + r / 8) != colour;
        return bad;
    }
    static void put(int32_t col, int32_t row, int32_t color, int32_t mark = Held)
    {
        board.cells[row][col] = BoardCell{color, mark};
    }
    static int32_t cellX(int32_t col, int32_t row) { return 192 + 32 * col + 16 * (row & 1); }
    static int32_t cellY(int32_t row) { return game.ceiling + 28 * row; }
    static void loadBalls(int32_t next, int32_t current)
    {
        game.nextColor = next;
        game.currentColor = current;
        game.ballX = 304 * 256;
        game.ballY = 391 * 256;
    }
    // The child process of the font-less test: 0 when the attract screen is
    // drawn whole but for the title, the measure's outputs untouched.
    static int drawAttractWithoutFonts()
    {
        const std::string config = "/tmp/kelvane-no-fonts-" + std::to_string(getpid()) + ".conf";
        if (FILE* f = std::fopen(config.c_str(), "w")) {
            std::fputs("<?xml version=\"1.0\"?><fontconfig></fontconfig>\n", f);
            std::fclose(f);
        }
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        FaceTextShutdown();
        game.playing = 0;
        int32_t w = -7, h = -7;
        MeasureFaceText(&ScreenImage, "Kelvane", kFace, 0, 40, &w, &h);
        DrawScene();
        std::remove(config.c_str());
        return w == -7 && h == -7 && textMismatches("Press [Enter] to Start", 232, 464, kWhite) == 0 &&
                       textMismatches("Rank  Score      Name", 204, 196, kYellow) == 0 && changed(100, 0, 639, 50) == 0
                   ? 0
                   : 1;
    }
};

TEST_F(Scene, PlayfieldWallsRowsDeathLineAndStatusFollowTheCeiling)
{
    game.levelIndex = 4;
    game.score = 1234567;
    game.credits = 0;
    for (int32_t c = 0; c < 8; c++) {
        put(c, 0, 1 + c);
        put(c, 1, 8 - c);
    }
    board.cells[1][7] = {};
    put(0, 10, 5);  // reaches across the death line
    for (int32_t ceiling : {55, 63}) {
        SCOPED_TRACE(ceiling);
        game.ceiling = ceiling;
        DrawScene();
        // Side walls x 188..191 and 448..451 from the ceiling down, the top
        // wall the 4 rows above it across both, nothing above that.
        int wrong = 0;
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 184; x < 456; x++) {
                bool side = (x >= 188 && x <= 191) || (x >= 448 && x <= 451);
                bool wall = (y >= ceiling && side) || (y >= ceiling - 4 && y < ceiling && x >= 188 && x <= 451);
                if (x < 192 || x >= 448 || (y >= ceiling - 8 && y <= ceiling))
                    wrong += (screen(x, y) == kWall) != wall;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(changed(188, 0, 451, ceiling - 5), 0);
        // Even rows span x 192..447, odd ones 208..431.
        int bad = ballMismatches(5, 192, cellY(10));
        for (int32_t c = 0; c < 8; c++)
            bad += ballMismatches(1 + c, 192 + 32 * c, ceiling) + (c < 7 ? ballMismatches(8 - c, 208 + 32 * c, ceiling + 28) : 0);
        EXPECT_EQ(bad, 0);
        EXPECT_EQ(changed(192, ceiling + 32, 207, ceiling + 55) + changed(432, ceiling + 32, 447, ceiling + 55), 0);
        // The death line stays at 350 over the board; only the sight (x
        // 277..361) is drawn over it.
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
        EXPECT_EQ(changed(12, 12, 40, 19) + changed(60, 36, 90, 43) + changed(12, 60, 40, 67), 0);
    }
}

TEST_F(Scene, TurnedCannonNextBallAndFlyingBallInPlay)
{
    game.aimAngle = 1200;
    loadBalls(2, 6);
    game.ballX = 300 * 256 + 255;  // rounds down to the pixel
    game.ballY = 200 * 256 + 3;
    DrawScene();
    EXPECT_EQ(ballMismatches(2, kNextX, kNextY) + ballMismatches(6, 300, 200), 0);
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
    game.nextColor = 0;  // shows nothing
    DrawScene();
    EXPECT_EQ(changed(kNextX, kNextY, kNextX + 31, kNextY + 31), 0);
}

TEST_F(Scene, PopFadesTheGroupInPlaceAndDropsTheLooseBalls)
{
    put(0, 0, 1, Held);
    put(1, 0, 2, InGroup);
    put(2, 2, 3, Loose);
    loadBalls(4, 5);
    const int32_t gx = cellX(1, 0), gy = cellY(0), lx = cellX(2, 2), ly = cellY(2);
    // Strip ball k blended over the background at (x, y) with a weight.
    auto blended = [](int32_t k, int32_t x, int32_t y, int32_t weight) {
        return [=](int32_t i, int32_t j) {
            uint32_t s = PixelAt(&ballStrip, k * kBall + i, j), d = PixelAt(&backImage, x + i, y + j), out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                int32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                out |= static_cast<uint32_t>(dc + (((sc - dc) * weight) >> 8)) << shift;
            }
            return out;
        };
    };
    // {timer, weight, drop}: whole at the start, half faded and 64 pixels
    // down halfway, almost gone and 127 down at the end.
    const struct { int32_t timer, weight, drop; } steps[] = {{kPopTime, 256, 0}, {512, 128, 64}, {4, 1, 127}};
    for (auto [timer, weight, drop] : steps) {
        game.popTimer = timer;
        DrawScene();
        EXPECT_EQ(ballMismatchesWith(gx, gy, blended(2, gx, gy, weight)), 0) << timer;
        EXPECT_EQ(ballMismatchesWith(lx, ly + drop, blended(3, lx, ly + drop, weight)), 0) << timer;
        EXPECT_EQ(ballMismatches(1, cellX(0, 0), cellY(0)) + ballMismatches(4, kNextX, kNextY), 0) << timer;
        EXPECT_TRUE(ballHidden(5, 304, 391)) << timer;  // the next ball stays, the current one not
        EXPECT_EQ(drop < kBall ? 0 : changed(lx, ly, lx + 31, ly + 31), 0) << timer;
    }
    game.popTimer = 1;
    DrawScene();
    EXPECT_EQ(changed(gx, gy, gx + 31, gy + 31) + changed(lx, ly, lx + 31, ly + 200), 0);
}

TEST_F(Scene, SlideRevealsRowsFromTheTopWithBothBallsHidden)
{
    for (int32_t r = 0; r < kBoardRows; r++)
        put(0, r, 1 + r % 8);
    loadBalls(4, 5);
    // {timer, rows shown}: rows 0..16 - (timer >> 8). Row 15 hangs over the
    // screen's bottom edge, so rows 0..14 are checked.
    const struct { int32_t timer, rows; } steps[] = {{4096, 1}, {3840, 2}, {3839, 3}, {2048, 9}, {1, 15}};
    for (auto [timer, rows] : steps) {
        game.slideTimer = timer;
        DrawScene();
        for (int32_t r = 0; r < kBoardRows - 1; r++) {
            int bad = ballMismatches(1 + r % 8, cellX(0, r), cellY(r));
            EXPECT_TRUE(r < rows ? bad == 0 : bad > 400) << timer << " row " << r;
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
    // The plain ball's pixel, each channel times the colour's / 256.
    auto tint = [](uint32_t colour) {
        return [colour](int32_t i, int32_t j) {
            uint32_t p = PixelAt(&ballImage, i, j), out = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                out |= ((((p >> shift) & 0xFF) * ((colour >> shift) & 0xFF)) >> 8) << shift;
            return out;
        };
    };
    // Channels move toward 128 by ((128 - c) x f) >> 8, f = (8192 - timer)
    // >> 2, rounding down (255 drops by 63.5 -> 64 at f = 128); grey outright
    // from 7168 on.
    const struct { int32_t timer; uint32_t red, green, orange; } steps[] = {
        {8192, 0xFF0000, 0x00FF00, 0xFFA000}, {7680, 0xBF4040, 0x40BF40, 0xBF9040},
        {7169, 0x807F7F, 0x7F807F, 0x80807F}, {7168, 0x808080, 0x808080, 0x808080}, {1, 0x808080, 0x808080, 0x808080}};
    for (auto [timer, red, green, orange] : steps) {
        game.loseTimer = timer;
        DrawScene();
        EXPECT_EQ(ballMismatchesWith(cellX(0, 0), cellY(0), tint(red)) +
                      ballMismatchesWith(cellX(3, 1), cellY(1), tint(green)) +
                      ballMismatchesWith(cellX(5, 4), cellY(4), tint(orange)),
                  0)
            << timer;
        EXPECT_EQ(ballMismatches(1, kNextX, kNextY), 0) << timer;  // the next ball in colour,
        EXPECT_TRUE(ballHidden(7, 304, 391)) << timer;              // the current one not at all
    }
}

TEST_F(Scene, AttractScreenShowsTableHighlightPromptAndCentredTitle)
{
    game.playing = 0;
    loadBalls(3, 4);
    put(0, 0, 2);
    for (int i = 0; i < kScoreLines; i++)
        std::memcpy(ScoreTable[i], "1     1000       Bo", 19);
    for (int32_t rank : {3, 0, 9, kNoHighlight}) {
        highlightRank = rank;
        DrawScene();
        EXPECT_EQ(textMismatches("Rank  Score      Name", 204, 196, kYellow), 0);
        for (int i = 0; i < kScoreLines; i++)
            EXPECT_EQ(textMismatches("1     1000       Bo", 204, 204 + 8 * i, i == rank ? kWhite : kBlue), 0)
                << rank << " line " << i;
    }
    // A line shows up to the screen's edge (54 characters), even one without
    // its NUL.
    std::memset(ScoreTable[9], 'X', kScoreLineSize);
    DrawScene();
    EXPECT_EQ(textMismatches(std::string(54, 'X').c_str(), 204, 276, kBlue), 0);
    EXPECT_EQ(textMismatches("Press [Enter] to Start", 232, 464, kWhite), 0);
    // The game's field behind, without the current ball.
    EXPECT_EQ(ballMismatches(2, 192, 55) + ballMismatches(3, kNextX, kNextY), 0);
    EXPECT_EQ(screen(190, 300), kWall);
    EXPECT_GT(changed(277, 360, 361, 449), 500);
    EXPECT_TRUE(ballHidden(4, 304, 391));

    // The title: yellow, from y 5, centred as wide as it measures.
    int32_t w = -1, h = -1;
    MeasureFaceText(&ScreenImage, "Kelvane", kFace, 0, 40, &w, &h);
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

// Without any fonts the title cannot be measured and is left out rather than
// drawn at a made-up place; in a process of its own, as fontconfig starts
// only once.
TEST_F(Scene, TitleThatCannotBeMeasuredIsLeftOut)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(drawAttractWithoutFonts()), ::testing::ExitedWithCode(0), "");
}

TEST(FaceText, SizedByCellHeightAndDrawnInsideTheMeasuredCellInItsColour)
{
    // Exactly the cell height where the face has one, else the nearest below.
    SceneImage plain(300, 120, 0x204060), drawn(300, 120, 0x204060), blue(300, 120);
    for (auto [asked, cell] : {std::pair{39, 38}, {20, 19}, {40, 40}}) {
        int32_t w = -1, h = -1;
        MeasureFaceText(&drawn.image, "Kelvane", kFace, 0, asked, &w, &h);
        EXPECT_EQ(h, cell);
        EXPECT_TRUE(w > 2 * h && w < 5 * h) << w;
    }
    int32_t w = -1, h = -1, wide = -1;
    MeasureFaceText(&drawn.image, "Kelvane", kFace, 40, 40, &wide, &h);
    MeasureFaceText(&drawn.image, "Kelvane", kFace, 0, 40, &w, &h);
    EXPECT_GT(wide, w * 3 / 2);  // a requested character width stretches it

    // All the ink lies in the measured cell and nearly reaches both its ends.
    const int32_t x = 20, y = 50;
    DrawFaceText(&drawn.image, "Kelvane", x, y, 0xFFFF00, kFace, 0, 40, 0);
    DrawFaceText(&blue.image, "Kelvane", x, y, 0x0000FF, kFace, 0, 40, 0);
    InkBox ink = DifferenceBox(&plain.image, &drawn.image, 0, 0, 299, 119);
    EXPECT_TRUE(ink.left >= x && ink.left <= x + 4 && ink.right < x + w && ink.right >= x + w - 4) << ink.left;
    EXPECT_TRUE(ink.top >= y && ink.bottom < y + h) << ink.top << ".." << ink.bottom;
    // Solid strokes take the colour exactly, red and blue not exchanged; a
    // coverage a blends as a / 255 rounded, so white on black and black on
    // white always sum to 255.
    SceneImage black(300, 120, 0), white(300, 120, 0xFFFFFF);
    DrawFaceText(&black.image, "Kelvane", x, y, 0xFFFFFF, kFace, 0, 40, 0);
    DrawFaceText(&white.image, "Kelvane", x, y, 0x000000, kFace, 0, 40, 0);
    int solid = 0, solidBlue = 0;
    for (int32_t yy = y; yy < y + h; yy++)
        for (int32_t xx = x; xx < x + w; xx++) {
            solid += drawn.at(xx, yy) == 0xFFFF00;
            solidBlue += blue.at(xx, yy) == 0x0000FF;
            ASSERT_EQ(blue.at(xx, yy) & 0xFFFF00, 0u);
            ASSERT_EQ(black.at(xx, yy) + white.at(xx, yy), 0xFFFFFFu) << xx << "," << yy;
        }
    EXPECT_TRUE(solid > 100 && solidBlue > 100) << solid << " " << solidBlue;
}

TEST(FaceText, UpsideDownClippedFarAwayOrUnknownFace)
{
    SceneImage upright(300, 200), turned(300, 200), cut(100, 40), blank(300, 200);
    int32_t w = -1, h = -1;
    MeasureFaceText(&upright.image, "Kelvane", kFace, 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    const int32_t x = 20, y = 30;
    DrawFaceText(&upright.image, "Kelvane", x, y, 0xFFFFFF, kFace, 0, 40, 0);
    // Turned about (x + w, y + h): the same cell, every pixel half a turn away.
    DrawFaceText(&turned.image, "Kelvane", x + w, y + h, 0xFFFFFF, kFace, 0, 40, 1);
    for (int32_t j = 0; j < h; j++)
        for (int32_t i = 0; i < w; i++)
            ASSERT_EQ(turned.at(x + w - 1 - i, y + h - 1 - j), upright.at(x + i, y + j)) << i << "," << j;
    InkBox ink = DifferenceBox(&blank.image, &turned.image, 0, 0, 299, 199);
    EXPECT_TRUE(ink.count > 200 && ink.left >= x && ink.right < x + w && ink.top >= y && ink.bottom < y + h);

    // Hanging over all four edges of a small Image, the part inside shows.
    DrawFaceText(&cut.image, "Kelvane", -50, -10, 0xFFFFFF, kFace, 0, 40, 0);
    for (int32_t j = 0; j < 40; j++)
        for (int32_t i = 0; i < 100; i++)
            ASSERT_EQ(cut.at(i, j), i + 50 < w && j + 10 < h ? upright.at(x + i + 50, y + j + 10) : 0) << i << "," << j;
    // Far away either way up, an unknown face, or an Image without pixels:
    // nothing is drawn and the measure leaves its outputs alone.
    SceneImage far(64, 64);
    Image none;
    for (int t : {0, 1})
        for (int32_t fx : {INT32_MIN, -100000, 100000, INT32_MAX})
            for (int32_t fy : {INT32_MIN, 0, INT32_MAX})
                DrawFaceText(&far.image, "Kelvane", fx, fy, 0xFFFFFF, kFace, 0, 40, t);
    DrawFaceText(&far.image, "Kelvane", 0, 0, 0xFFFF00, "No Such Face Kelvane", 0, 40, 0);
    DrawFaceText(&none, "Kelvane", 0, 0, 0xFFFF00, kFace, 0, 40, 0);
    EXPECT_EQ(DifferenceBox(&far.image, &blank.image, 0, 0, 63, 63).count, 0);
    w = 777, h = 888;
    MeasureFaceText(&far.image, "Kelvane", "No Such Face Kelvane", 0, 40, &w, &h);
    MeasureFaceText(&none, "Kelvane", kFace, 0, 40, &w, &h);
    MeasureFaceText(&far.image, "Kelvane", nullptr, 0, 40, &w, &h);
    EXPECT_TRUE(w == 777 && h == 888);
}

}  // namespace
