// The colour marks on the game's real pictures: every two colours told apart
// in grey, the marks shapes rather than places, and each mark standing out
// from its own ball in plain sight and to eyes that see colour differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "gfx/BallMarks.h"
#include "gfx/GameImages.h"
#include "rules/Board.h"

namespace {

constexpr int kSide = 32, kCentre = 15;
constexpr double kLumaStep = 48;

// Pixel (x, y) of ball k in a strip.
uint32_t Cell(const Image& strip, int k, int x, int y)
{
    int32_t pitch;
    return ImagePixels(&strip, &pitch)[y * pitch + k * kSide + x];
}

double Luma(uint32_t p)
{
    return 0.299 * (p >> 16 & 0xFF) + 0.587 * (p >> 8 & 0xFF) + 0.114 * (p & 0xFF);
}

bool InDisc(int x, int y)  // radius 13.5 about the centre pixel
{
    return (x - kCentre) * (x - kCentre) + (y - kCentre) * (y - kCentre) <= 182;
}

// The simulated dichromat views of Machado, Oliveira and Fernandes (2009),
// severity 1.0. The matrices model mixes of cone responses, which add up in
// light, so they act on linear RGB: the sRGB values are decoded, mixed,
// clamped and encoded again, and the luma is taken of the encoded result as
// it is of the pictures.
using Matrix = std::array<double, 9>;
constexpr Matrix kPlainSight{1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr Matrix kProtanopia{0.152286, 1.052583, -0.204868, 0.114503, 0.786281, 0.099216, -0.003882, -0.048116, 1.051998};
constexpr Matrix kDeuteranopia{0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413, -0.011820, 0.042940, 0.968881};
constexpr Matrix kTritanopia{1.255528, -0.076749, -0.178779, -0.078411, 0.930809, 0.147602, 0.004733, 0.691367, 0.303900};

double Linear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double Encoded(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

double SeenLuma(uint32_t p, const Matrix& m)
{
    const double in[3] = {Linear((p >> 16 & 0xFF) / 255.0), Linear((p >> 8 & 0xFF) / 255.0), Linear((p & 0xFF) / 255.0)};
    const double weight[3] = {0.299, 0.587, 0.114};
    double luma = 0;
    for (int row = 0; row < 3; row++) {
        const double v = m[3 * row] * in[0] + m[3 * row + 1] * in[1] + m[3 * row + 2] * in[2];
        luma += weight[row] * 255 * Encoded(std::clamp(v, 0.0, 1.0));
    }
    return luma;
}

class Marks : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (ballImage.surface == nullptr)
            CreateGameImages(), LoadGameImages();
    }
    // The mark of colour k as the strips show it: where its marked ball
    // differs from its plain one.
    static std::vector<bool> Mark(int k)
    {
        std::vector<bool> mark(kSide * kSide);
        for (int i = 0; i < kSide * kSide; i++)
            mark[i] = Cell(markedStrip, k, i % kSide, i / kSide) != Cell(ballStrip, k, i % kSide, i / kSide);
        return mark;
    }
};

// With the marks on, any two colours differ by more than 48 levels of luma
// on at least 40 pixels of the disc; the empty cell stays empty and no
// marked pixel is the keyed copies' black.
TEST_F(Marks, EveryTwoColoursDifferInGrey)
{
    for (int i = 0; i < kSide * kSide; i++) {
        const int x = i % kSide, y = i / kSide;
        ASSERT_EQ(Cell(markedStrip, 0, x, y), 0u);
        for (int k = 1; k <= kColorCount; k++)
            ASSERT_TRUE((Cell(markedStrip, k, x, y) == 0) == (Cell(ballStrip, k, x, y) == 0)) << k << " " << x << "," << y;
    }
    for (int a = 1; a <= kColorCount; a++)
        for (int b = a + 1; b <= kColorCount; b++) {
            int apart = 0;
            for (int i = 0; i < kSide * kSide; i++)
                if (InDisc(i % kSide, i / kSide))
                    apart += std::abs(Luma(Cell(markedStrip, a, i % kSide, i / kSide)) -
                                      Luma(Cell(markedStrip, b, i % kSide, i / kSide))) > kLumaStep;
            EXPECT_GE(apart, 40) << a << " and " << b;
        }
}

// Each mark cut out and centred on its bounding box differs from every
// other in at least 20 pixels: eight shapes, not one in eight places.
TEST_F(Marks, TheMarksAreShapesNotPlaces)
{
    std::vector<std::vector<bool>> centred;
    for (int k = 1; k <= kColorCount; k++) {
        const std::vector<bool> mark = Mark(k);
        int left = kSide, right = -1, top = kSide, bottom = -1;
        for (int i = 0; i < kSide * kSide; i++)
            if (mark[i])
                left = std::min(left, i % kSide), right = std::max(right, i % kSide), top = std::min(top, i / kSide),
                bottom = std::max(bottom, i / kSide);
        ASSERT_GE(right, 0) << k << " has no mark";
        std::vector<bool> moved(64 * 64);
        for (int i = 0; i < kSide * kSide; i++)
            if (mark[i])
                moved[(i / kSide - (top + bottom) / 2 + 32) * 64 + i % kSide - (left + right) / 2 + 32] = true;
        centred.push_back(moved);
    }
    for (int a = 0; a < kColorCount; a++)
        for (int b = a + 1; b < kColorCount; b++) {
            int differ = 0;
            for (size_t i = 0; i < centred[0].size(); i++)
                differ += centred[a][i] != centred[b][i];
            EXPECT_GE(differ, 20) << a + 1 << " and " << b + 1;
        }
}

// The mean luma of a mark's pixels against that of its ball's pixels round
// it (up to 2 pixels away), by more than 48 levels in plain sight and in
// each simulated view.
TEST_F(Marks, EachMarkStandsOutFromItsBallToEveryEye)
{
    const Matrix* views[] = {&kPlainSight, &kProtanopia, &kDeuteranopia, &kTritanopia};
    for (int v = 0; v < 4; v++) {
        const Matrix& view = *views[v];
        for (int k = 1; k <= kColorCount; k++) {
            const std::vector<bool> mark = Mark(k);
            double markSum = 0, roundSum = 0;
            int markCount = 0, roundCount = 0;
            for (int y = 0; y < kSide; y++)
                for (int x = 0; x < kSide; x++) {
                    const uint32_t p = Cell(markedStrip, k, x, y);
                    if (p == 0)
                        continue;
                    if (mark[y * kSide + x]) {
                        markSum += SeenLuma(p, view), markCount++;
                        continue;
                    }
                    bool near = false;
                    for (int j = std::max(0, y - 2); j <= std::min(kSide - 1, y + 2); j++)
                        for (int i = std::max(0, x - 2); i <= std::min(kSide - 1, x + 2); i++)
                            near = near || mark[j * kSide + i];
                    if (near)
                        roundSum += SeenLuma(p, view), roundCount++;
                }
            ASSERT_TRUE(markCount > 0 && roundCount > 0) << k;
            EXPECT_GT(std::abs(markSum / markCount - roundSum / roundCount), kLumaStep)
                << "colour " << k << " in view " << v;
        }
    }
}

}  // namespace
