// GameImages.h -- the game's seven images besides the screen: three pictures
// from the program's bitmaps and four it builds itself. Created and loaded at
// start-up, restored and reloaded on re-activation, released at exit.
#pragma once

#include "gfx/Image.h"

// The ball colours 1..8 and, in cell 0, the empty cell that draws nothing.
inline constexpr int32_t kStripCells = 9;

// 0x00RRGGBB for each cell colour; entry 0 stands for an empty cell.
extern const uint32_t BallPalette[kStripCells];

extern Image backImage;        // "MyBackBitmap", 640 x 480: the playfield background
extern Image ballImage;        // "MyBallBitmap", 32 x 32: the plain grey ball
extern Image tintImage;        // ballImage's size: scratch for one tinted ball
extern Image ballStrip;        // 9 ball widths x ball height: cell i tinted with BallPalette[i]
extern Image markedStrip;      // ballStrip's size: cell i with colour i's mark on it (gfx/BallMarks.h)
extern Image cannonImage;      // "MyCannonBitmap", 184 x 184: the cannon pointing up
extern Image cannonTurnImage;  // cannonImage's size: the cannon turned by the scene

// Counts the creations and loads of the set, so that what is built from the
// pictures (the scene's turned cannon) knows when to build it again.
extern uint32_t gameImagesVersion;

// The size of the picture every frame is drawn into.
inline constexpr int32_t kPictureWidth = 640;
inline constexpr int32_t kPictureHeight = 480;

// The 640 x 480 back buffer every frame is drawn into (platform/Display.h).
// The platform start-up fills it in over the display's buffer; the playfield
// geometry reads its size.
extern Image ScreenImage;

// Each ends the process with exit status 1, silently, when an image cannot be
// created or loaded.
void CreateGameImages();
void LoadGameImages();     // pictures, then ballStrip and markedStrip rebuilt from ballImage
void RestoreGameImages();  // gives back lost surfaces (not their pixels)
void ReleaseGameImages();  // skips images without a surface
