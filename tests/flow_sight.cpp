// The turned sight over the wood: whatever the aim, every pixel it puts on
// the screen is light, so no dark speckle shows round its strokes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "flow/GameImages.h"
#include "flow/Scene.h"
#include "gfx/Text.h"
#include "rules/Board.h"
#include "rules/GameState.h"
#include "rules/SineTable.h"

TEST(SceneSight, EveryPixelOfTheTurnedSightIsLightAcrossTheArc)
{
    BuildSineTable();
    FontLoad();
    if (ScreenImage.surface == nullptr && ImageCreate(&ScreenImage, nullptr, 640, 480, 1)) CreateGameImages(), LoadGameImages();
    board = Board{}, game = GameState{}, game.playing = 1;
    uint32_t* p = nullptr;
    int32_t pitch = 0;
    ImageLock(&ScreenImage, &ScreenImage, &p, &p, &pitch, &pitch);
    ImageUnlock(&ScreenImage, &ScreenImage);
    ImageClear(&cannonImage, TransparentColor);  // the scene without the sight tells which pixels the sight draws
    gameImagesVersion++;
    DrawScene();
    const std::vector<uint32_t> bare(p, p + ScreenImage.height * pitch);
    LoadGameImages();
    for (int32_t a = -340; a <= 340; a += 20) {  // straight up, every 5 degrees and both ends of the arc
        game.aimAngle = (std::clamp(a, -338, 338) + 1440) % 1440;
        DrawScene();
        int drawn = 0, dark = 0;
        for (size_t i = 0; i < bare.size(); i++) {
            drawn += p[i] != bare[i];
            dark += p[i] != bare[i] && std::min({p[i] >> 16 & 0xFF, p[i] >> 8 & 0xFF, p[i] & 0xFF}) < 0xA0;
        }
        EXPECT_TRUE(drawn > 1000 && dark == 0) << "angle " << game.aimAngle << ": " << dark << " dark of " << drawn;
    }
}
