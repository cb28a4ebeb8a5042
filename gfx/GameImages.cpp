// GameImages.cpp -- the game's images as one set: created and loaded at
// start-up, restored and reloaded on re-activation, released at exit.
#include "gfx/GameImages.h"

#include <cstdlib>

#include "gfx/BallMarks.h"

// The picture every frame is drawn into. It lives with the kit so that the
// rules' geometry reads its size without the platform shell; the display
// lends it the back buffer at start-up.
Image ScreenImage;

Image backImage;
Image ballImage;
Image tintImage;
Image ballStrip;
Image markedStrip;
Image cannonImage;
Image cannonTurnImage;
uint32_t gameImagesVersion;

const uint32_t BallPalette[kStripCells] = {
    0x000000,  // empty; never drawn
    0x0000FF,  // blue
    0x00FF00,  // green
    0xFF0000,  // red
    0xFF00FF,  // magenta
    0x00FFFF,  // cyan
    0xFFFF00,  // yellow
    0xFFFFFF,  // white
    0xFFA000,  // orange
};

// There is no way to play without the pictures, and nothing to tell the
// player that would help: the process just ends.
static void require(int ok)
{
    if (!ok) {
        std::exit(1);
    }
}

void CreateGameImages()
{
    // The sizes of the three pictures come from their bitmaps; everything
    // else (the scratch images, the field, the cannon's place) follows.
    require(ImageCreate(&backImage, "MyBackBitmap", 0, 0, 0));
    require(ImageCreate(&ballImage, "MyBallBitmap", 0, 0, 1));
    require(ImageCreate(&tintImage, nullptr, ballImage.width, ballImage.height, 0));
    require(ImageCreate(&ballStrip, nullptr, kStripCells * ballImage.width, ballImage.height, 0));
    require(ImageCreate(&markedStrip, nullptr, ballStrip.width, ballStrip.height, 0));
    require(ImageCreate(&cannonImage, "MyCannonBitmap", 0, 0, 1));
    require(ImageCreate(&cannonTurnImage, nullptr, cannonImage.width, cannonImage.height, 0));
    gameImagesVersion++;
}

void LoadGameImages()
{
    require(ImageLoadBitmap(&backImage, "MyBackBitmap"));
    require(ImageLoadBitmap(&ballImage, "MyBallBitmap"));
    require(ImageLoadBitmap(&cannonImage, "MyCannonBitmap"));
    // Cell 0 is tinted with black, so an empty cell's ball draws nothing.
    for (int32_t i = 0; i < kStripCells; i++) {
        ImageTint(&ballImage, &tintImage, BallPalette[i]);
        ImageBlit(&tintImage, 0, 0, &ballStrip, i * ballImage.width, 0, tintImage.width, tintImage.height);
    }
    // The marked balls are the tinted ones with the marks painted over; the
    // empty cell stays empty.
    ImageBlit(&ballStrip, 0, 0, &markedStrip, 0, 0, ballStrip.width, ballStrip.height);
    for (int32_t i = 1; i < kStripCells; i++)
        MarkBall(&markedStrip, i * ballImage.width, i);
    gameImagesVersion++;
}

void RestoreGameImages()
{
    ImageRestore(&backImage);
    ImageRestore(&ballImage);
    ImageRestore(&tintImage);
    ImageRestore(&ballStrip);
    ImageRestore(&markedStrip);
    ImageRestore(&cannonImage);
    ImageRestore(&cannonTurnImage);
}

static void releaseIfMade(Image* image)
{
    if (image->surface != nullptr) {
        ImageRelease(image);
    }
}

void ReleaseGameImages()
{
    releaseIfMade(&backImage);
    releaseIfMade(&ballImage);
    releaseIfMade(&tintImage);
    releaseIfMade(&ballStrip);
    releaseIfMade(&markedStrip);
    releaseIfMade(&cannonImage);
    releaseIfMade(&cannonTurnImage);
}
