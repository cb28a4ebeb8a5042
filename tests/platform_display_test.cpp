// Start-up, the display and its presentation on the dummy video driver, and
// the start-up failures in child processes.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "flow/GameImages.h"
#include "rules/SineTable.h"
#include "platform_support.h"

namespace {

using DisplayTest = PlatformTest;

// Every pixel different from its neighbours, so that a shifted, stretched or
// mis-ordered picture cannot read back the same.
void DrawTestFrame(Image* image, uint32_t seed)
{
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    ASSERT_NE(pixels, nullptr);
    uint32_t state = seed;
    for (int32_t y = 0; y < image->height; y++)
        for (int32_t x = 0; x < image->width; x++) {
            state = state * 1664525u + 1013904223u;
            pixels[y * pitch + x] = state >> 8;
        }
    ImageUnlock(image, image);
}

// The shown picture as the 640x480 frame it came from: each output pixel
// at the centre of a frame pixel's scaled footprint, which nearest
// neighbour sampling fills from that frame pixel alone.
std::vector<uint32_t> ReadBackFrame(int32_t width, int32_t height)
{
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(DisplayRenderer, &outW, &outH);
    std::vector<uint32_t> output(static_cast<size_t>(outW) * outH);
    SDL_Rect all{0, 0, outW, outH};
    SDL_RenderSetLogicalSize(DisplayRenderer, 0, 0);
    SDL_RenderSetViewport(DisplayRenderer, nullptr);
    int rc = SDL_RenderReadPixels(DisplayRenderer, &all, SDL_PIXELFORMAT_XRGB8888, output.data(), outW * 4);
    SDL_RenderSetLogicalSize(DisplayRenderer, width, height);
    EXPECT_EQ(rc, 0) << SDL_GetError();
    double scale = std::min(static_cast<double>(outW) / width, static_cast<double>(outH) / height);
    double left = (outW - width * scale) / 2;
    double top = (outH - height * scale) / 2;
    std::vector<uint32_t> frame(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++) {
            int ox = static_cast<int>(std::floor(left + (x + 0.5) * scale));
            int oy = static_cast<int>(std::floor(top + (y + 0.5) * scale));
            frame[static_cast<size_t>(y) * width + x] = output[static_cast<size_t>(oy) * outW + ox] & 0xFFFFFF;
        }
    return frame;
}

std::vector<uint32_t> FrameOf(Image* image)
{
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    std::vector<uint32_t> frame;
    for (int32_t y = 0; y < image->height; y++)
        frame.insert(frame.end(), pixels + y * pitch, pixels + y * pitch + image->width);
    ImageUnlock(image, image);
    return frame;
}

size_t Mismatches(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i++)
        n += a[i] != b[i];
    return n;
}

TEST_F(DisplayTest, StartUpMakesEverythingTheFrameLoopNeeds)
{
    ASSERT_NE(MainWindow, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(MainWindow), "Kelvane");
    EXPECT_NE(SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ScreenImage.width, 640);
    EXPECT_EQ(ScreenImage.height, 480);
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(&ScreenImage, &ScreenImage, &pixels, &pixels, &pitch, &pitch);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pixels) % 64, 0u);
    EXPECT_EQ(pitch * 4 % 64, 0);
    ImageUnlock(&ScreenImage, &ScreenImage);
    EXPECT_NE(backImage.surface, nullptr);
    EXPECT_NE(cannonImage.surface, nullptr);
    EXPECT_EQ(AppActive, 1);
    EXPECT_EQ(SineTable[kQuarterTurn], 256);
    EXPECT_EQ(FontTable[8 * 'A'], 0x30);
}

TEST_F(DisplayTest, PresentShowsTheBackBufferExactly)
{
    DrawTestFrame(&ScreenImage, 1);
    Image other;
    ASSERT_EQ(ImageCreate(&other, nullptr, 640, 480, 0), 1);
    ImageClear(&other, 0xFF00FF);
    Present(&other);  // whatever it is given, the back buffer is shown
    EXPECT_EQ(Mismatches(ReadBackFrame(640, 480), FrameOf(&ScreenImage)), 0u);
    ImageRelease(&other);

    // A lost render device is rebuilt, and the next frame shows again.
    PushType(SDL_RENDER_DEVICE_RESET);
    PollOnce();
    ASSERT_FALSE(DisplayIsLost());
    DrawTestFrame(&ScreenImage, 2);
    Present(&ScreenImage);
    EXPECT_EQ(Mismatches(ReadBackFrame(640, 480), FrameOf(&ScreenImage)), 0u);

    PushType(SDL_RENDER_TARGETS_RESET);
    PollOnce();
    ASSERT_FALSE(DisplayIsLost());
    DrawTestFrame(&ScreenImage, 3);
    Present(&ScreenImage);
    EXPECT_EQ(Mismatches(ReadBackFrame(640, 480), FrameOf(&ScreenImage)), 0u);
}

// Presenting waits like a flip: a loop of presents runs at the display's
// rate. Only the lower bound is checked, which holds however busy the
// machine is.
TEST_F(DisplayTest, PresentsTakeAtLeastOneRefreshEach)
{
    int32_t interval = DisplayRefreshInterval();
    EXPECT_GE(interval, 1000000 / 240);
    EXPECT_LE(interval, 1000000 / 24);
    const int frames = 20;
    Present(&ScreenImage);
    FrameTimer(0);
    int32_t shortest = INT32_MAX;
    for (int i = 0; i < frames; i++) {
        int64_t start = static_cast<int64_t>(SDL_GetPerformanceCounter());
        Present(&ScreenImage);
        int64_t end = static_cast<int64_t>(SDL_GetPerformanceCounter());
        int32_t us = static_cast<int32_t>((end - start) * 1000000 / static_cast<int64_t>(SDL_GetPerformanceFrequency()));
        shortest = std::min(shortest, us);
    }
    int32_t total = FrameTimer(1);
    EXPECT_GE(total, frames * interval - 1000);
    // Each frame, not just the loop on average (a frame may finish a little
    // early when the one before it ran late).
    EXPECT_GT(shortest, interval / 2);
}

TEST_F(DisplayTest, SecondStartFailsAndShutdownLeavesNothing)
{
    SDL_Renderer* renderer = DisplayRenderer;
    EXPECT_EQ(DisplayStart(640, 480, 32), 0);
    EXPECT_EQ(DisplayRenderer, renderer);
    EXPECT_NE(ScreenImage.surface, nullptr);

    DisplayShutdown();
    EXPECT_EQ(DisplayRenderer, nullptr);
    EXPECT_EQ(ScreenImage.surface, nullptr) << "the screen must not point at a freed buffer";
    Present(&ScreenImage);  // closed: shows nothing, does not crash
    EXPECT_EQ(DisplayStart(640, 480, 16), 0) << "only 32-bit pictures";
    EXPECT_EQ(DisplayRenderer, nullptr);

    // A later start begins again from nothing.
    ASSERT_EQ(DisplayStart(640, 480, 32), 1);
    ASSERT_EQ(DisplayBackBuffer(&ScreenImage), 1);
    DrawTestFrame(&ScreenImage, 4);
    Present(&ScreenImage);
    EXPECT_EQ(Mismatches(ReadBackFrame(640, 480), FrameOf(&ScreenImage)), 0u);

    PlatformShutdown();
    PlatformShutdown();  // twice is harmless
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_EQ(backImage.surface, nullptr);
}

void ReportWhatIsLeft()
{
    std::printf("[hook window:%d renderer:%d]", MainWindow != nullptr, DisplayRenderer != nullptr);
    std::fflush(stdout);
}

// The start-up failures: the text on standard error, status 1, and the exit
// hooks still run over a half-made platform. No display is named, so the
// message box has nowhere to appear and cannot block.
ChildResult StartInChild(int32_t width, int32_t height, const char* driver)
{
    return RunInChild([width, height, driver] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        setenv("SDL_VIDEODRIVER", driver, 1);
        std::atexit(ReportWhatIsLeft);
        PlatformStart(width, height);
        std::printf("started");
    });
}

TEST(DisplayStartUp, WindowFailureEndsWithStatusOne)
{
    ChildResult r = StartInChild(640, 480, "no-such-driver");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("Failed to create window\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("started"), std::string::npos);
    EXPECT_NE(r.output.find("[hook window:0 renderer:0]"), std::string::npos) << r.output;
}

TEST(DisplayStartUp, DisplayFailureEndsWithStatusOne)
{
    // The window opens, but no back buffer of no rows can be made.
    ChildResult r = StartInChild(640, 0, "dummy");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("Failed to init DirectDraw\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Failed to create window"), std::string::npos);
    EXPECT_NE(r.output.find("[hook window:0 renderer:0]"), std::string::npos) << r.output;
}

}  // namespace
