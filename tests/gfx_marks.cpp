// The colour marks on the game's real pictures: every two colours apart in
// grey, eight shapes rather than one in eight places, and each mark standing
// out from its own ball in plain sight and to eyes that see colour differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "gfx/GameImages.h"
#include "rules/Board.h"

namespace {

// Plain sight, then protanopia, deuteranopia and tritanopia as simulated by
// Machado, Oliveira and Fernandes (2009) at severity 1.0. The matrices mix
// cone responses, which add up in light, so they act on linear RGB: the sRGB
// values are decoded, mixed, clamped and encoded again, and the luma is then
// taken as it is of the pictures.
using Matrix = std::array<double, 9>;
const Matrix kViews[] = {{1, 0, 0, 0, 1, 0, 0, 0, 1},
                         {0.152286, 1.052583, -0.204868, 0.114503, 0.786281, 0.099216, -0.003882, -0.048116, 1.051998},
                         {0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413, -0.011820, 0.042940, 0.968881},
                         {1.255528, -0.076749, -0.178779, -0.078411, 0.930809, 0.147602, 0.004733, 0.691367, 0.303900}};

double Luma(uint32_t p, const Matrix& m = kViews[0]) {
    double luma = 0;
    for (int row = 0; row < 3; row++) {
        double v = 0;
        for (int c = 0; c < 3; c++) {
            const double s = (p >> (16 - 8 * c) & 0xFF) / 255.0;
            v += m[3 * row + c] * (s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
        }
        v = std::clamp(v, 0.0, 1.0);
        luma += std::array{0.299, 0.587, 0.114}[row] * 255 *
                (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
    }
    return luma;
}

// Pixel i (row by row) of ball k in a strip.
uint32_t At(const Image& strip, int k, int i) {
    int32_t pitch;
    return ImagePixels(&strip, &pitch)[i / 32 * pitch + 32 * k + i % 32];
}

// A mark is where a marked ball differs from its plain one. With the marks,
// any two colours differ by more than 48 levels of luma on 40 or more pixels
// of the disc of radius 13.5 about the centre; the marks, each cut out and
// centred on its bounding box, differ in 20 pixels or more; and each mark's
// mean luma is more than 48 levels from that of its ball round it (up to 2
// pixels away) in every view. No mark leaves a hole or reaches past its ball.
TEST(Marks, EveryTwoColoursApartInGreyByShapesThatStandOutToEveryEye) {
    if (ballImage.surface == nullptr) CreateGameImages(), LoadGameImages();
    std::vector<std::vector<bool>> mark(9, std::vector<bool>(1024)), centred(9, std::vector<bool>(4096));
    for (int k = 0; k <= kColorCount; k++) {
        int left = 32, right = -1, top = 32, bottom = -1;
        for (int i = 0; i < 1024; i++) {
            ASSERT_EQ(At(markedStrip, k, i) == 0, At(ballStrip, k, i) == 0) << k << " " << i;
            if ((mark[k][i] = At(markedStrip, k, i) != At(ballStrip, k, i)))
                left = std::min(left, i % 32), right = std::max(right, i % 32), top = std::min(top, i / 32),
                bottom = std::max(bottom, i / 32);
        }
        ASSERT_EQ(right < 0, k == 0) << k;
        for (int i = 0; i < 1024; i++)
            if (mark[k][i])
                centred[k][(i / 32 - (top + bottom) / 2 + 32) * 64 + i % 32 - (left + right) / 2 + 32] = true;
    }
    for (int a = 1; a <= kColorCount; a++)
        for (int b = a + 1; b <= kColorCount; b++) {
            int apart = 0, differ = 0;
            for (int i = 0; i < 1024; i++)
                apart += (i % 32 - 15) * (i % 32 - 15) + (i / 32 - 15) * (i / 32 - 15) <= 182 &&
                         std::abs(Luma(At(markedStrip, a, i)) - Luma(At(markedStrip, b, i))) > 48;
            for (int i = 0; i < 4096; i++) differ += centred[a][i] != centred[b][i];
            EXPECT_TRUE(apart >= 40 && differ >= 20) << a << " and " << b << ": " << apart << " apart, " << differ;
        }
    for (const Matrix& view : kViews)
        for (int k = 1; k <= kColorCount; k++) {
            double sum[2] = {};
            int count[2] = {};
            for (int i = 0; i < 1024; i++) {
                bool near = false;
                for (int d = 0; d < 25; d++) {
                    const int x = i % 32 + d % 5 - 2, y = i / 32 + d / 5 - 2;
                    near = near || (x >= 0 && x < 32 && y >= 0 && y < 32 && mark[k][y * 32 + x]);
                }
                if (near && At(markedStrip, k, i) != 0)
                    sum[mark[k][i]] += Luma(At(markedStrip, k, i), view), count[mark[k][i]]++;
            }
            EXPECT_GT(std::abs(sum[1] / count[1] - sum[0] / count[0]), 48) << k << " in view " << &view - kViews;
        }
}

}  // namespace
