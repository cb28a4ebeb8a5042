// Face-font text: the title's face found by name, sized by its cell height,
// measured as wide as it draws, blended without a background.
#include <gtest/gtest.h>

#include <climits>

#include "flow_scene_support.h"
#include "platform/FaceText.h"

static constexpr const char* kFace = "Arial";
static constexpr const char* kText = "Kelvane";

TEST(FaceText, ArialIsFoundAndSizedByItsCellHeight)
{
    SceneImage screen(640, 480);
    // The cell is exactly the height asked for where the face has such a
    // size (35 points give 40), else the nearest one below it.
    const struct {
        int32_t asked, cell;
    } sizes[] = {{40, 40}, {39, 38}, {20, 19}, {64, 64}};
    for (auto [height, cell] : sizes) {
        int32_t w = -1;
        int32_t h = -1;
        MeasureFaceText(&screen.image, kText, kFace, 0, height, &w, &h);
        EXPECT_EQ(h, cell);
        // Seven proportional letters are between two and five cells wide.
        EXPECT_GT(w, 2 * h) << height;
        EXPECT_LT(w, 5 * h) << height;
    }
    int32_t w = -1;
    int32_t h = -1;
    MeasureFaceText(&screen.image, "", kFace, 0, 40, &w, &h);
    EXPECT_EQ(w, 0);
}

TEST(FaceText, WidthGrowsWithTheTextAndTheRequestedCharacterWidth)
{
    SceneImage screen(64, 64);
    int32_t one = -1, two = -1, natural = -1, wide = -1, h = 0;
    MeasureFaceText(&screen.image, "Kel", kFace, 0, 40, &one, &h);
    MeasureFaceText(&screen.image, "KelKel", kFace, 0, 40, &two, &h);
    EXPECT_NEAR(two, 2 * one, 2);
    MeasureFaceText(&screen.image, kText, kFace, 0, 40, &natural, &h);
    MeasureFaceText(&screen.image, kText, kFace, 40, 40, &wide, &h);
    EXPECT_EQ(h, 40);  // stretching sideways keeps the cell height
    EXPECT_GT(wide, natural * 3 / 2);
}

TEST(FaceText, MissingFaceOrImageLeavesOutputsAndPixelsAlone)
{
    SceneImage screen(200, 60, 0x123456);
    int32_t w = 777;
    int32_t h = 888;
    MeasureFaceText(&screen.image, kText, "No Such Face Kelvane", 0, 40, &w, &h);
    EXPECT_EQ(w, 777);
    EXPECT_EQ(h, 888);
    DrawFaceText(&screen.image, kText, 10, 10, 0xFFFF00, "No Such Face Kelvane", 0, 40, 0);
    for (int32_t y = 0; y < 60; y++)
        for (int32_t x = 0; x < 200; x++)
            ASSERT_EQ(screen.at(x, y), 0x123456u);

    Image none;  // never created: no pixels to measure or draw on
    MeasureFaceText(&none, kText, kFace, 0, 40, &w, &h);
    EXPECT_EQ(w, 777);
    DrawFaceText(&none, kText, 0, 0, 0xFFFF00, kFace, 0, 40, 0);
    MeasureFaceText(&screen.image, kText, nullptr, 0, 40, &w, &h);
    EXPECT_EQ(w, 777);
}

TEST(FaceText, DrawsInsideTheMeasuredCellInTheGivenColourOverAKeptBackground)
{
    const uint32_t back = 0x204060;
    SceneImage plain(640, 480, back);
    SceneImage drawn(640, 480, back);
    int32_t w = -1, h = -1;
    MeasureFaceText(&drawn.image, kText, kFace, 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    const int32_t x = 100, y = 50;
    DrawFaceText(&drawn.image, kText, x, y, 0xFFFF00, kFace, 0, 40, 0);
    InkBox ink = DifferenceBox(&plain.image, &drawn.image, 0, 0, 639, 479);
    ASSERT_GT(ink.count, 200);
    // Everything drawn lies in the measured cell, and the letters reach
    // (nearly) both of its ends: the measured width is the drawn width.
    EXPECT_GE(ink.left, x);
    EXPECT_LE(ink.left, x + 4);
    EXPECT_LT(ink.right, x + w);
    EXPECT_GE(ink.right, x + w - 4);
    EXPECT_GE(ink.top, y);
    EXPECT_LT(ink.bottom, y + h);

    // Solid strokes take the colour exactly; smoothed edges lie between it
    // and the background; untouched pixels keep the background.
    int solid = 0;
    for (int32_t yy = ink.top; yy <= ink.bottom; yy++) {
        for (int32_t xx = ink.left; xx <= ink.right; xx++) {
            uint32_t p = drawn.at(xx, yy);
            if (p == 0xFFFF00)
                solid++;
            uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
            ASSERT_GE(r, 0x20u);
            ASSERT_GE(g, 0x40u);
            ASSERT_LE(b, 0x60u);
        }
    }
    EXPECT_GT(solid, 100);

    // Red and blue are not exchanged: pure blue text has no red in it.
    SceneImage blue(640, 480, 0);
    DrawFaceText(&blue.image, kText, x, y, 0x0000FF, kFace, 0, 40, 0);
    int bluePixels = 0;
    for (int32_t yy = y; yy < y + h; yy++)
        for (int32_t xx = x; xx < x + w; xx++) {
            uint32_t p = blue.at(xx, yy);
            ASSERT_EQ(p & 0xFFFF00, 0u);
            bluePixels += p == 0x0000FF;
        }
    EXPECT_GT(bluePixels, 100);
}

TEST(FaceText, UpsideDownIsAHalfTurnAboutTheCorner)
{
    SceneImage upright(300, 200);
    SceneImage turned(300, 200);
    int32_t w = -1, h = -1;
    MeasureFaceText(&upright.image, kText, kFace, 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    const int32_t x = 20, y = 30;
    DrawFaceText(&upright.image, kText, x, y, 0xFFFFFF, kFace, 0, 40, 0);
    // Turned about (x + w, y + h), the cell covers the same rectangle.
    DrawFaceText(&turned.image, kText, x + w, y + h, 0xFFFFFF, kFace, 0, 40, 1);
    int lit = 0;
    for (int32_t j = 0; j < h; j++) {
        for (int32_t i = 0; i < w; i++) {
            uint32_t a = upright.at(x + i, y + j);
            ASSERT_EQ(turned.at(x + w - 1 - i, y + h - 1 - j), a) << i << "," << j;
            lit += a != 0;
        }
    }
    EXPECT_GT(lit, 200);
    // Nothing outside the cell.
    SceneImage blank(300, 200);
    InkBox ink = DifferenceBox(&blank.image, &turned.image, 0, 0, 299, 199);
    EXPECT_GE(ink.left, x);
    EXPECT_LT(ink.right, x + w);
    EXPECT_GE(ink.top, y);
    EXPECT_LT(ink.bottom, y + h);
}

TEST(FaceText, ClipsAtEveryEdgeAndFarAway)
{
    SceneImage whole(400, 100);
    SceneImage cut(100, 40);
    int32_t w = -1, h = -1;
    MeasureFaceText(&whole.image, kText, kFace, 0, 40, &w, &h);
    DrawFaceText(&whole.image, kText, 150, 30, 0xFFFFFF, kFace, 0, 40, 0);
    // The same text hanging over all four edges of a small Image shows the
    // part of it that falls inside.
    const int32_t dx = -70, dy = -10;
    DrawFaceText(&cut.image, kText, dx, dy, 0xFFFFFF, kFace, 0, 40, 0);
    for (int32_t y = 0; y < 40; y++)
        for (int32_t x = 0; x < 100; x++) {
            int32_t wx = x - dx + 150, wy = y - dy + 30;
            uint32_t expected = wy < 100 && wx < 400 ? whole.at(wx, wy) : 0;
            ASSERT_EQ(cut.at(x, y), expected) << x << "," << y;
        }
    // Far outside, either way up, nothing is drawn and nothing is touched.
    SceneImage far(64, 64);
    for (int turned : {0, 1}) {
        for (int32_t x : {INT32_MIN, -100000, 100000, INT32_MAX})
            for (int32_t y : {INT32_MIN, 0, INT32_MAX})
                DrawFaceText(&far.image, kText, x, y, 0xFFFFFF, kFace, 0, 40, turned);
    }
    SceneImage empty(64, 64);
    EXPECT_EQ(DifferenceBox(&far.image, &empty.image, 0, 0, 63, 63).count, 0);
}
