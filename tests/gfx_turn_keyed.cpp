// Turning a picture straight onto the screen gives exactly the pixels of
// turning it into a cleared scratch picture and copying that keyed.
#include <gtest/gtest.h>

#include "gfx/Image.h"
#include "gfx/SineTable.h"
#include "tests/gfx_support.h"

TEST(GfxRotate, TurnedKeyedInOnePassEqualsTurnThenKeyedCopy)
{
    BuildSineTable();
    TestImage source(23, 17), scratch(23, 17);
    source.pattern();
    for (int32_t x = 0; x < 23; x += 3)  // holes the keyed copies must skip
        for (int32_t y = 0; y < 17; ++y)
            source.at(x, (y * 7 + x) % 17) = 0;
    for (int32_t i = 0; i < 23 * 17; ++i)  // a see-through frame around the drawing
        if (i % 23 < 3 || i % 23 > 19 || i / 23 < 2 || i / 23 > 14)
            source.at(i % 23, i / 23) = 0;
    const int16_t angles[] = {0, 37, 360, 700, 1100, 1439};
    const int32_t places[][2] = {{10, 8}, {-9, -5}, {30, 20}, {-22, 3}, {39, 31}, {-23, 0}, {5, 31}};
    for (int16_t angle : angles)
        for (int16_t scale : {int16_t(1024), int16_t(700), int16_t(1500)})
            for (const auto& p : places) {
                TestImage expected(40, 32, 0x123456), got(40, 32, 0x123456);
                ImageClear(&scratch.image, TransparentColor);
                ImageRotate(&source.image, &scratch.image, angle, scale);
                ImageBlitKeyed(&scratch.image, 0, 0, &expected.image, p[0], p[1], 23, 17);
                ImageRotateKeyed(&source.image, &got.image, p[0], p[1], angle, scale);
                ASSERT_EQ(got.pixels(), expected.pixels()) << angle << " " << scale << " " << p[0] << "," << p[1];
                source.at(angle % 23, scale % 17) = 0x00FF00FF;  // the next turn sees the picture changed
            }
}
