// The turned sight over the wood: whatever the aim, every pixel it puts on
// the screen is light, so no dark speckle shows round its strokes.
#include <gtest/gtest.h>

#include <vector>

#include "flow/GameImages.h"
#include "flow/Scene.h"
#include "gfx/Text.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

static std::vector<uint32_t> drawnScreen()
{
    DrawScene();
    uint32_t* p = nullptr;
    int32_t pitch = 0;
    ImageLock(&ScreenImage, &ScreenImage, &p, &p, &pitch, &pitch);
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < ScreenImage.height; y++) out.insert(out.end(), p + y * pitch, p + y * pitch + ScreenImage.width);
    ImageUnlock(&ScreenImage, &ScreenImage);
    return out;
}

TEST(SceneSight, EveryPixelOfTheTurnedSightIsLightAcrossTheArc)
{
    BuildSineTable();
    FontLoad();
    if (ScreenImage.surface == nullptr && ImageCreate(&ScreenImage, nullptr, 640, 480, 1)) CreateGameImages(), LoadGameImages();
    board = Board{};
    game = GameState{};
    game.playing = 1;
    std::vector<int32_t> angles = {338, 1102};  // both ends of the arc, straight up and every 5 degrees between
    for (int32_t a = -320; a <= 320; a += 20) angles.push_back((a + 1440) % 1440);
    std::vector<std::vector<uint32_t>> sighted;
    for (int32_t angle : angles) game.aimAngle = angle, sighted.push_back(drawnScreen());
    ImageClear(&cannonImage, TransparentColor);  // the same scene without the sight tells which pixels it drew
    gameImagesVersion++;
    const std::vector<uint32_t> bare = drawnScreen();
    LoadGameImages();
    for (size_t i = 0; i < angles.size(); i++) {
        int drawn = 0, dark = 0;
        for (size_t p = 0; p < bare.size(); p++) {
            const uint32_t c = sighted[i][p];
            drawn += c != bare[p];
            dark += c != bare[p] && ((c >> 16 & 0xFF) < 0xA0 || (c >> 8 & 0xFF) < 0xA0 || (c & 0xFF) < 0xA0);
        }
        EXPECT_TRUE(drawn > 1000 && dark == 0) << "angle " << angles[i] << ": " << dark << " dark of " << drawn;
    }
}
