// Face-font text: the title's face found by name, sized by its cell height,
// measured as wide as it draws, blended without a background.
#include <gtest/gtest.h>

#include <climits>

#include "flow_scene_support.h"
#include "platform/FaceText.h"

static constexpr const char* kFace = "Arial";
static constexpr const char* kText = "Kelvane";

TEST(FaceText, SizedByCellHeightAndDrawnInsideTheMeasuredCellInItsColour)
{
    SceneImage plain(640, 480, 0x204060), drawn(640, 480, 0x204060), blue(640, 480);
    // Exactly the cell height where the face has one (35 points give 40),
    // else the nearest below.
    const struct { int32_t asked, cell; } sizes[] = {{39, 38}, {20, 19}, {40, 40}};
    for (auto [asked, cell] : sizes) {
        int32_t w = -1, h = -1;
        MeasureFaceText(&drawn.image, kText, kFace, 0, asked, &w, &h);
        EXPECT_EQ(h, cell);
        EXPECT_GT(w, 2 * h);
        EXPECT_LT(w, 5 * h);
    }
    int32_t w = -1, h = -1, empty = -1, wide = -1;
    MeasureFaceText(&drawn.image, "", kFace, 0, 40, &empty, &h);
    EXPECT_EQ(empty, 0);
    MeasureFaceText(&drawn.image, kText, kFace, 40, 40, &wide, &h);
    MeasureFaceText(&drawn.image, kText, kFace, 0, 40, &w, &h);
    EXPECT_GT(wide, w * 3 / 2);  // a requested character width stretches it

    const int32_t x = 100, y = 50;
    DrawFaceText(&drawn.image, kText, x, y, 0xFFFF00, kFace, 0, 40, 0);
    DrawFaceText(&blue.image, kText, x, y, 0x0000FF, kFace, 0, 40, 0);
    // All the ink lies in the measured cell and reaches (nearly) both ends
    // of it: the measured width is the drawn width.
    InkBox ink = DifferenceBox(&plain.image, &drawn.image, 0, 0, 639, 479);
    EXPECT_GE(ink.left, x);
    EXPECT_LE(ink.left, x + 4);
    EXPECT_LT(ink.right, x + w);
    EXPECT_GE(ink.right, x + w - 4);
    EXPECT_GE(ink.top, y);
    EXPECT_LT(ink.bottom, y + h);
    // Another string in the same font and colour is drawn as itself.
    SceneImage part(640, 480, 0x204060);
    DrawFaceText(&part.image, "Kel", x, y, 0x0000FF, kFace, 0, 40, 0);
    EXPECT_LT(DifferenceBox(&plain.image, &part.image, 0, 0, 639, 479).right, ink.right - 40);
    // Solid strokes take the colour exactly, edges lie between it and the
    // background; red and blue are not exchanged.
    int solid = 0, edge = 0, solidBlue = 0;
    for (int32_t yy = y; yy < y + h; yy++)
        for (int32_t xx = x; xx < x + w; xx++) {
            uint32_t p = drawn.at(xx, yy), b = blue.at(xx, yy);
            solid += p == 0xFFFF00;
            edge += p != 0xFFFF00 && p != 0x204060;
            solidBlue += b == 0x0000FF;
            ASSERT_TRUE(p >> 16 >= 0x20 && ((p >> 8) & 0xFF) >= 0x40 && (p & 0xFF) <= 0x60) << std::hex << p;
            ASSERT_EQ(b & 0xFFFF00, 0u);
        }
    EXPECT_GT(solid, 100);
    EXPECT_GT(edge, 100);
    EXPECT_GT(solidBlue, 100);

    // Coverage a blends as a / 255 rounded: white over black makes every
    // channel a, black over white 255 - a, so the two always sum to 255.
    SceneImage black(640, 480, 0), white(640, 480, 0xFFFFFF);
    DrawFaceText(&black.image, kText, x, y, 0xFFFFFF, kFace, 0, 40, 0);
    DrawFaceText(&white.image, kText, x, y, 0x000000, kFace, 0, 40, 0);
    for (int32_t yy = y; yy < y + h; yy++)
        for (int32_t xx = x; xx < x + w; xx++)
            ASSERT_EQ(black.at(xx, yy) + white.at(xx, yy), 0xFFFFFFu) << xx << "," << yy;
}

TEST(FaceText, UpsideDownTurnsAboutTheCornerAndEdgesClip)
{
    SceneImage upright(300, 200), turned(300, 200), cut(100, 40);
    int32_t w = -1, h = -1;
    MeasureFaceText(&upright.image, kText, kFace, 0, 40, &w, &h);
    ASSERT_GT(w, 0);
    const int32_t x = 20, y = 30;
    DrawFaceText(&upright.image, kText, x, y, 0xFFFFFF, kFace, 0, 40, 0);
    // Turned about (x + w, y + h) the cell covers the same rectangle, every
    // pixel half a turn away, and nothing outside it.
    DrawFaceText(&turned.image, kText, x + w, y + h, 0xFFFFFF, kFace, 0, 40, 1);
    for (int32_t j = 0; j < h; j++)
        for (int32_t i = 0; i < w; i++)
            ASSERT_EQ(turned.at(x + w - 1 - i, y + h - 1 - j), upright.at(x + i, y + j)) << i << "," << j;
    SceneImage blank(300, 200);
    InkBox ink = DifferenceBox(&blank.image, &turned.image, 0, 0, 299, 199);
    EXPECT_GT(ink.count, 200);
    EXPECT_TRUE(ink.left >= x && ink.right < x + w && ink.top >= y && ink.bottom < y + h);

    // Hanging over all four edges of a small Image, the part inside shows.
    const int32_t cx = -50, cy = -10;
    DrawFaceText(&cut.image, kText, cx, cy, 0xFFFFFF, kFace, 0, 40, 0);
    for (int32_t j = 0; j < 40; j++)
        for (int32_t i = 0; i < 100; i++) {
            int32_t u = i - cx, v = j - cy;  // the pixel's place in the text's cell
            uint32_t expected = u < w && v < h ? upright.at(x + u, y + v) : 0;
            ASSERT_EQ(cut.at(i, j), expected) << i << "," << j;
        }
    // Far away, either way up, nothing is touched.
    SceneImage far(64, 64);
    for (int t : {0, 1})
        for (int32_t fx : {INT32_MIN, -100000, 100000, INT32_MAX})
            for (int32_t fy : {INT32_MIN, 0, INT32_MAX})
                DrawFaceText(&far.image, kText, fx, fy, 0xFFFFFF, kFace, 0, 40, t);
    EXPECT_EQ(DifferenceBox(&far.image, &blank.image, 0, 0, 63, 63).count, 0);
}

TEST(FaceText, UnknownFaceOrNoPixelsLeavesOutputsAndImageAlone)
{
    SceneImage screen(200, 60, 0x123456), same(200, 60, 0x123456);
    Image none;  // never created
    int32_t w = 777, h = 888;
    MeasureFaceText(&screen.image, kText, "No Such Face Kelvane", 0, 40, &w, &h);
    MeasureFaceText(&none, kText, kFace, 0, 40, &w, &h);
    MeasureFaceText(&screen.image, kText, nullptr, 0, 40, &w, &h);
    EXPECT_EQ(w, 777);
    EXPECT_EQ(h, 888);
    DrawFaceText(&screen.image, kText, 10, 10, 0xFFFF00, "No Such Face Kelvane", 0, 40, 0);
    DrawFaceText(&none, kText, 0, 0, 0xFFFF00, kFace, 0, 40, 0);
    EXPECT_EQ(DifferenceBox(&screen.image, &same.image, 0, 0, 199, 59).count, 0);
}
