// Display.cpp -- the back buffer and its presentation: enlarged into the
// picture's box on the CPU, then one SDL streaming texture of the box's size
// copied 1:1 to the screen.
#include "platform/Display.h"

#include <SDL.h>

#include <chrono>
#include <thread>

#include "platform/Platform.h"
#include "platform/Scaling.h"
#include "platform/Window.h"
#include "player/Settings.h"

SDL_Renderer* DisplayRenderer;

static SDL_Texture* texture;  // the enlarged picture, the box's size
static bool textureFresh;     // the texture holds nothing yet
static Enlarger enlarger;
static bool enlargedWhole;       // the scaling the enlarger was set up for
static Image backBuffer;         // owned here; the ScreenImage shares its surface
static int64_t refreshTicks;     // one refresh interval in performance-counter ticks
static uint64_t lastPresentEnd;  // counter value when the previous Present returned
static uint64_t shownStamp;      // the back buffer's change stamp when it was last shown
static bool repaintDue = true;   // the window needs the picture again, changed or not

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
// renderer when there is none. It draws at the output's own pixels (on a
// scaled desktop, more than the window's size in points); the picture is
// placed in its box by DisplayShow.
static SDL_Renderer* createRenderer()
{
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* r = SDL_CreateRenderer(MainWindow, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (r == nullptr)
        r = SDL_CreateRenderer(MainWindow, -1, SDL_RENDERER_SOFTWARE);
    if (r == nullptr)
        return nullptr;
    SDL_RenderSetVSync(r, 1);  // not every renderer can; Present paces itself too
    return r;
}

// The picture's box on the renderer's output as it is now.
static PictureBox currentBox()
{
    int w = 0;
    int h = 0;
    if (DisplayRenderer == nullptr || SDL_GetRendererOutputSize(DisplayRenderer, &w, &h) != 0)
        return {};
    return PictureBoxOn(w, h, backBuffer.width, backBuffer.height, GameSettings.scale == kScaleWhole);
}

// A texture for the box (re)made when the box or the scaling changed: the
// window was resized, switched, moved to another screen, or F9.
static bool fitTexture()
{
    const PictureBox box = currentBox();
    const bool whole = GameSettings.scale == kScaleWhole;
    if (box.w <= 0 || box.h <= 0)
        return false;
    if (texture != nullptr && box == enlarger.box && whole == enlargedWhole)
        return true;
    if (texture == nullptr || box.w != enlarger.box.w || box.h != enlarger.box.h) {
        if (texture != nullptr)
            SDL_DestroyTexture(texture);
        texture =
            SDL_CreateTexture(DisplayRenderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, box.w, box.h);
        if (texture == nullptr)
            return false;
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
        textureFresh = true;
    }
    // A box as large as the picture or larger is enlarged sharp; a smaller
    // one is shrunk smooth in fill, by dropping pixels in whole.
    EnlargerSetup(&enlarger, box, backBuffer.width, backBuffer.height, !whole);
    enlargedWhole = whole;
    return true;
}

static bool createTexture()
{
    enlarger.box = {};
    return fitTexture();
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
    DisplayRenderer = createRenderer();
    if (DisplayRenderer == nullptr) {
        DisplayShutdown();
        return 0;
    }
    if (!createTexture()) {
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
    enlarger = Enlarger{};
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
        if (!fitTexture())
            return;
        int32_t pitch = 0;
        const uint32_t* pixels = ImagePixels(&backBuffer, &pitch);
        int32_t first = 0;
        const int32_t rows = pixels != nullptr ? EnlargerChanged(&enlarger, pixels, pitch, textureFresh, &first) : 0;
        if (rows > 0) {
            // Only the rows that changed are drawn, straight into the texture.
            const SDL_Rect band{0, first, enlarger.box.w, rows};
            void* out = nullptr;
            int outPitch = 0;
            if (SDL_LockTexture(texture, &band, &out, &outPitch) == 0) {
                EnlargerDraw(&enlarger, pixels, pitch, first, rows, static_cast<uint32_t*>(out),
                             outPitch / static_cast<int>(sizeof(uint32_t)));
                SDL_UnlockTexture(texture);
                textureFresh = false;
            } else {
                textureFresh = true;  // all of it again next time
            }
        }
        const SDL_Rect at{enlarger.box.x, enlarger.box.y, enlarger.box.w, enlarger.box.h};
        SDL_SetRenderDrawColor(DisplayRenderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
        SDL_RenderClear(DisplayRenderer);
        SDL_RenderCopy(DisplayRenderer, texture, nullptr, &at);
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
        DisplayRenderer = createRenderer();
    }
    if (DisplayRenderer != nullptr)
        createTexture();
    repaintDue = true;  // a new texture or renderer holds nothing yet
    return texture != nullptr;
}

void DisplayPointToPicture(int32_t* x, int32_t* y)
{
    // Pointer positions come in the window's points; the output may have
    // more pixels than that on a scaled desktop.
    int windowW = 0;
    int windowH = 0;
    int outW = 0;
    int outH = 0;
    if (MainWindow == nullptr || DisplayRenderer == nullptr ||
        SDL_GetRendererOutputSize(DisplayRenderer, &outW, &outH) != 0)
        return;
    SDL_GetWindowSize(MainWindow, &windowW, &windowH);
    if (windowW <= 0 || windowH <= 0)
        return;
    const double pixelX = (*x + 0.5) * outW / windowW - 0.5;
    const double pixelY = (*y + 0.5) * outH / windowH - 0.5;
    PictureBoxPoint(currentBox(), backBuffer.width, backBuffer.height, pixelX, pixelY, x, y);
}

int DisplayIsLost()
{
    return backBuffer.surface != nullptr && (DisplayRenderer == nullptr || texture == nullptr);
}
