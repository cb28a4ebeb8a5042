// Display.cpp -- the back buffer and its presentation through one SDL
// streaming texture, scaled to the window.
#include "platform/Display.h"

#include <SDL.h>

#include <chrono>
#include <thread>

#include "platform/Platform.h"
#include "platform/Window.h"

SDL_Renderer* DisplayRenderer;

static SDL_Texture* texture;
static Image backBuffer;          // owned here; the ScreenImage shares its surface
static int64_t refreshTicks;      // one refresh interval in performance-counter ticks
static uint64_t lastPresentEnd;   // counter value when the previous Present returned
static uint64_t shownStamp;       // the back buffer's change stamp when it was last shown
static bool repaintDue = true;    // the window needs the picture again, changed or not

static constexpr int32_t kDisplayBits = 32;
static constexpr int kDefaultRefreshRate = 60;  // Hz, when the mode does not say

static int refreshRateOfWindow()
{
    SDL_DisplayMode mode;
    int index = MainWindow != nullptr ? SDL_GetWindowDisplayIndex(MainWindow) : 0;
    if (index < 0 || SDL_GetCurrentDisplayMode(index, &mode) != 0 || mode.refresh_rate <= 0)
        return kDefaultRefreshRate;
    return mode.refresh_rate;
}

// An accelerated renderer that waits for the vertical blank, or the software
// renderer when there is none. The picture keeps its own size as the logical
// size: SDL scales it into the window with black bars, nearest neighbour, by
// whole pixels where it fits.
static SDL_Renderer* createRenderer(int32_t width, int32_t height)
{
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* r = SDL_CreateRenderer(MainWindow, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (r == nullptr)
        r = SDL_CreateRenderer(MainWindow, -1, SDL_RENDERER_SOFTWARE);
    if (r == nullptr)
        return nullptr;
    SDL_RenderSetVSync(r, 1);  // not every renderer can; Present paces itself too
    if (SDL_RenderSetLogicalSize(r, width, height) != 0) {
        SDL_DestroyRenderer(r);
        return nullptr;
    }
    WindowFitPicture(r);
    return r;
}

static SDL_Texture* createTexture()
{
    SDL_Texture* t = SDL_CreateTexture(DisplayRenderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       backBuffer.width, backBuffer.height);
    if (t != nullptr)
        SDL_SetTextureScaleMode(t, SDL_ScaleModeNearest);
    return t;
}

int DisplayStart(int32_t width, int32_t height, int32_t bits)
{
    if (DisplayRenderer != nullptr || backBuffer.surface != nullptr)
        return 0;
    // The depth chooses nothing: the back buffer is always 32-bit and SDL converts it for the screen.
    if (bits != kDisplayBits || MainWindow == nullptr)
        return 0;
    if (!ImageCreate(&backBuffer, nullptr, width, height, 1)) {
        DisplayShutdown();
        return 0;
    }
    DisplayRenderer = createRenderer(width, height);
    if (DisplayRenderer == nullptr) {
        DisplayShutdown();
        return 0;
    }
    texture = createTexture();
    if (texture == nullptr) {
        DisplayShutdown();
        return 0;
    }
    int64_t frequency = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    refreshTicks = frequency / refreshRateOfWindow();
    lastPresentEnd = 0;
    repaintDue = true;
    return 1;
}

void DisplayShutdown()
{
    if (texture != nullptr) {
        SDL_DestroyTexture(texture);
        texture = nullptr;
    }
    if (DisplayRenderer != nullptr) {
        SDL_DestroyRenderer(DisplayRenderer);
        DisplayRenderer = nullptr;
    }
    // The ScreenImage only borrows the buffer: forget it before it goes.
    if (ScreenImage.surface == backBuffer.surface)
        ScreenImage.surface = nullptr;
    ImageRelease(&backBuffer);
}

int DisplayBackBuffer(Image* image)
{
    if (image == nullptr || backBuffer.surface == nullptr)
        return 0;
    *image = backBuffer;
    return 1;
}

int32_t DisplayRefreshInterval()
{
    return 1000000 / refreshRateOfWindow();
}

// Like a page flip, Present returns no sooner than one refresh after the
// previous one. Vsync normally does the waiting; where presenting returns at
// once (no vsync, a dummy or software output) the rest is slept out, so
// that frames keep a real length and time-based effects advance.
static void waitForRefresh()
{
    uint64_t now = SDL_GetPerformanceCounter();
    if (lastPresentEnd != 0 && refreshTicks > 0) {
        uint64_t due = lastPresentEnd + static_cast<uint64_t>(refreshTicks);
        if (now < due) {
            uint64_t frequency = SDL_GetPerformanceFrequency();
            auto wait = std::chrono::nanoseconds((due - now) * 1000000000ull / frequency);
            std::this_thread::sleep_for(wait);
            now = SDL_GetPerformanceCounter();
        }
    }
    lastPresentEnd = now;
}

void DisplayShow()
{
    // A device that could not be brought back when it was lost is tried
    // again every frame, rather than staying dark until the next switch.
    if (DisplayIsLost())
        DisplayRestore(0);
    if (DisplayRenderer != nullptr && texture != nullptr && backBuffer.surface != nullptr) {
        int32_t pitch = 0;
        const uint32_t* pixels = ImagePixels(&backBuffer, &pitch);
        if (pixels != nullptr)
            SDL_UpdateTexture(texture, nullptr, pixels, pitch * static_cast<int>(sizeof(uint32_t)));
        SDL_SetRenderDrawColor(DisplayRenderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
        SDL_RenderClear(DisplayRenderer);
        SDL_RenderCopy(DisplayRenderer, texture, nullptr, nullptr);
        SDL_RenderPresent(DisplayRenderer);
        shownStamp = ImageChangeStamp(&backBuffer);
        repaintDue = false;
    }
}

void DisplayRepaint()
{
    repaintDue = true;
}

// A still picture -- the back buffer's stamp unchanged since it was shown,
// and nothing asking for a repaint -- is neither uploaded nor presented:
// that is most of the cost of a frame on the title screen or while aiming.
// Only the wait is kept, so frames last as long as ever.
void Present(Image* image)
{
    (void)image;  // the back buffer is what is shown, as with a flip
    if (repaintDue || DisplayIsLost() || ImageChangeStamp(&backBuffer) != shownStamp)
        DisplayShow();
    waitForRefresh();
}

int DisplayRestore(int deviceReset)
{
    if (backBuffer.surface == nullptr)
        return 0;
    if (texture != nullptr) {
        SDL_DestroyTexture(texture);
        texture = nullptr;
    }
    if (deviceReset || DisplayRenderer == nullptr) {
        if (DisplayRenderer != nullptr)
            SDL_DestroyRenderer(DisplayRenderer);
        DisplayRenderer = createRenderer(backBuffer.width, backBuffer.height);
    }
    if (DisplayRenderer != nullptr)
        texture = createTexture();
    repaintDue = true;  // a new texture or renderer holds nothing yet
    return texture != nullptr;
}

int DisplayIsLost()
{
    return backBuffer.surface != nullptr && (DisplayRenderer == nullptr || texture == nullptr);
}
