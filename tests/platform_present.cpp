// A still picture is not presented again, a changed one is, and a window
// that lost its contents gets the picture back (dummy video driver).
#include <SDL.h>
#include <cmath>
#include <gtest/gtest.h>

#include "gfx/GameImages.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Platform.h"

// The window's pixel under picture pixel (100, 100); the 4:3 desktop is
// filled.
static uint32_t Shown() {
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(DisplayRenderer, &w, &h);
    SDL_Rect at{int(100.5 * w / 640), int(100.5 * h / 480), 1, 1};
    uint32_t pixel = 0;
    SDL_RenderReadPixels(DisplayRenderer, &at, SDL_PIXELFORMAT_XRGB8888, &pixel, 4);
    return pixel & 0xFFFFFF;
}

TEST(PlatformPresent, ChangedPicturesAndRepaintsAreShownStillOnesAreNot) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    PlatformStart(640, 480);
    ImageClear(&ScreenImage, 0x808080);
    Present(&ScreenImage);
    ImageFillRect(&ScreenImage, 100, 100, 100, 100, 0xFF0000);  // one pixel
    Present(&ScreenImage);
    EXPECT_EQ(Shown(), 0xFF0000u);
    SDL_SetRenderDrawColor(DisplayRenderer, 0x12, 0x34, 0x56, 255);  // the window's contents lost
    SDL_RenderClear(DisplayRenderer);
    Present(&ScreenImage);
    EXPECT_EQ(Shown(), 0x123456u) << "an unchanged picture is not presented again";
    SDL_Event expose{};
    expose.type = SDL_WINDOWEVENT;
    expose.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(MainWindow), SDL_WINDOWEVENT_EXPOSED, 0, 0, 0, 0, 0};
    SDL_PushEvent(&expose);
    int32_t key, character, x, y, buttons;
    PollEvents(&key, &character, &x, &y, &buttons);
    Present(&ScreenImage);
    EXPECT_EQ(Shown(), 0xFF0000u) << "an exposed window is painted again";
    PlatformShutdown();
}
