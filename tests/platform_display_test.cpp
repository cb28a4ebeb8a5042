// Start-up, the display and its presentation on the dummy video driver, and
// the start-up failures in child processes.
#include <cmath>
#include <vector>

#include "flow/GameImages.h"
#include "rules/SineTable.h"
#include "platform_support.h"

namespace {

using DisplayTest = PlatformTest;

// A frame in which every pixel differs from its neighbours, so that a
// shifted, stretched or reordered picture cannot read back the same.
std::vector<uint32_t> DrawTestFrame(uint32_t seed)
{
    std::vector<uint32_t> frame;
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(&ScreenImage, &ScreenImage, &pixels, &pixels, &pitch, &pitch);
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++) {
            seed = seed * 1664525u + 1013904223u;
            frame.push_back(pixels[y * pitch + x] = seed >> 8);
        }
    ImageUnlock(&ScreenImage, &ScreenImage);
    return frame;
}

// The shown picture as the 640x480 frame it came from: the output pixel at
// the centre of each frame pixel's scaled footprint, which nearest
// neighbour sampling fills from that frame pixel alone.
std::vector<uint32_t> ReadBackFrame()
{
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(DisplayRenderer, &w, &h);
    std::vector<uint32_t> output(static_cast<size_t>(w) * h);
    SDL_Rect all{0, 0, w, h};
    SDL_RenderSetLogicalSize(DisplayRenderer, 0, 0);
    SDL_RenderSetViewport(DisplayRenderer, nullptr);
    EXPECT_EQ(SDL_RenderReadPixels(DisplayRenderer, &all, SDL_PIXELFORMAT_XRGB8888, output.data(), w * 4), 0);
    SDL_RenderSetLogicalSize(DisplayRenderer, 640, 480);
    double scale = std::min(w / 640.0, h / 480.0);
    std::vector<uint32_t> frame;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            int ox = static_cast<int>((w - 640 * scale) / 2 + (x + 0.5) * scale);
            int oy = static_cast<int>((h - 480 * scale) / 2 + (y + 0.5) * scale);
            frame.push_back(output[static_cast<size_t>(oy) * w + ox] & 0xFFFFFF);
        }
    return frame;
}

TEST_F(DisplayTest, StartUpMakesEverythingTheFrameLoopNeeds)
{
    ASSERT_NE(MainWindow, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(MainWindow), "Kelvane");
    EXPECT_NE(SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(&ScreenImage, &ScreenImage, &pixels, &pixels, &pitch, &pitch);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pixels) % 64, 0u);
    ImageUnlock(&ScreenImage, &ScreenImage);
    EXPECT_EQ(ScreenImage.width * 1000 + ScreenImage.height, 640480);
    EXPECT_NE(cannonImage.surface, nullptr);
    EXPECT_EQ(SineTable[kQuarterTurn], 256);
    EXPECT_EQ(FontTable[8 * 'A'], 0x30);
    EXPECT_EQ(AppActive, 1);
}

TEST_F(DisplayTest, PresentShowsTheBackBufferAlsoAfterALostDevice)
{
    std::vector<uint32_t> frame = DrawTestFrame(1);
    Image other;
    ASSERT_EQ(ImageCreate(&other, nullptr, 640, 480, 0), 1);
    Present(&other);  // whatever it is given, the back buffer is shown
    EXPECT_TRUE(ReadBackFrame() == frame);
    ImageRelease(&other);

    for (Uint32 reset : {SDL_RENDER_DEVICE_RESET, SDL_RENDER_TARGETS_RESET}) {
        PushType(reset);
        PollOnce();
        ASSERT_FALSE(DisplayIsLost());
        frame = DrawTestFrame(reset);
        Present(&ScreenImage);
        EXPECT_TRUE(ReadBackFrame() == frame) << reset;
    }
}

// A loop of presents runs at the display's rate, like flips. Only the
// lower bound is checked: it holds however busy the machine is.
TEST_F(DisplayTest, PresentsTakeAtLeastOneRefreshEach)
{
    int32_t interval = DisplayRefreshInterval();
    EXPECT_GE(interval, 1000000 / 240);
    EXPECT_LE(interval, 1000000 / 24);
    Present(&ScreenImage);
    for (int i = 0; i < 10; i++) {
        FrameTimer(0);
        Present(&ScreenImage);
        EXPECT_GT(FrameTimer(1), interval / 2);
    }
}

TEST_F(DisplayTest, SecondStartFailsAndShutdownLeavesNothing)
{
    SDL_Renderer* renderer = DisplayRenderer;
    EXPECT_EQ(DisplayStart(640, 480, 32), 0);
    EXPECT_EQ(DisplayRenderer, renderer);

    DisplayShutdown();
    EXPECT_EQ(DisplayRenderer, nullptr);
    EXPECT_EQ(ScreenImage.surface, nullptr) << "the screen must not point at a freed buffer";
    Present(&ScreenImage);  // closed: shows nothing, does not crash
    EXPECT_EQ(DisplayStart(640, 480, 16), 0) << "only 32-bit pictures";

    // A later start begins again from nothing.
    ASSERT_EQ(DisplayStart(640, 480, 32), 1);
    ASSERT_EQ(DisplayBackBuffer(&ScreenImage), 1);
    std::vector<uint32_t> frame = DrawTestFrame(4);
    Present(&ScreenImage);
    EXPECT_TRUE(ReadBackFrame() == frame);

    PlatformShutdown();
    PlatformShutdown();  // twice is harmless
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_EQ(backImage.surface, nullptr);
}

void ReportWhatIsLeft()
{
    std::printf("[hook window:%d renderer:%d]", MainWindow != nullptr, DisplayRenderer != nullptr);
}

// A start-up failure: the text on standard error, status 1, and the exit
// hooks run over the half-made platform. No display is named, so the
// message box has nowhere to appear and cannot block.
ChildResult StartInChild(int32_t width, int32_t height, const char* driver)
{
    return RunInChild([=] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", driver, 1);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        std::atexit(ReportWhatIsLeft);
        PlatformStart(width, height);
        std::printf("started");
    });
}

TEST(DisplayStartUp, FailuresEndWithStatusOneAndTheirText)
{
    ChildResult r = StartInChild(640, 480, "no-such-driver");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("Failed to create window\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[hook window:0 renderer:0]"), std::string::npos) << r.output;

    // The window opens, but no back buffer of no rows can be made.
    r = StartInChild(640, 0, "dummy");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("Failed to init DirectDraw\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[hook window:0 renderer:0]"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("started"), std::string::npos);
}

}  // namespace
