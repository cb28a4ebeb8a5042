// The platform shell on SDL's dummy video driver: input, display, clocks and
// what ends the process.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gfx/GameImages.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Platform.h"
#include "platform/Timing.h"
#include "player/Settings.h"

namespace {

struct Poll {
    int32_t keyCode, character, x, y, buttons;
};
Poll PollOnce() {
    Poll p{};
    PollEvents(&p.keyCode, &p.character, &p.x, &p.y, &p.buttons);
    return p;
}

// A performance counter that moves only when the test moves it.
int64_t ticks = 1, rate;
void UseManualClock() {
    rate = 1000000, QueryCounter = [] { return ticks; }, QueryFrequency = [] { return rate; };
}

void Push(
    Uint32 type, const std::function<void(SDL_Event&)>& fill = [](SDL_Event&) {}) {
    SDL_Event e{};
    e.type = type;
    e.window.windowID = SDL_GetWindowID(MainWindow);  // the same place in every window event
    fill(e);
    SDL_PushEvent(&e);
}
void PushWindow(Uint8 event) {
    Push(SDL_WINDOWEVENT, [=](SDL_Event& e) { e.window.event = event; });
}
void PushKey(SDL_Keycode sym, bool down, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    Push(down ? SDL_KEYDOWN : SDL_KEYUP, [=](SDL_Event& e) {
        e.key.repeat = repeat, e.key.keysym = {SDL_GetScancodeFromKey(sym), sym, mod, 0};
    });
}

bool NoKeyHeld() {
    return std::all_of(std::begin(KeyDown), std::end(KeyDown), [](uint8_t k) { return !k; });
}

// Every pixel of image, row by row; fill, when given, first sets each one.
std::vector<uint32_t> Pixels(Image* image, const std::function<uint32_t()>& fill = {}) {
    std::vector<uint32_t> all;
    uint32_t* p = nullptr;
    int32_t pitch = 0;
    ImageLock(image, image, &p, &p, &pitch, &pitch);
    for (int32_t y = 0; p != nullptr && y < image->height; y++)
        for (int32_t x = 0; x < image->width; x++) all.push_back(fill ? p[y * pitch + x] = fill() : p[y * pitch + x]);
    ImageUnlock(image, image);
    return all;
}

// Presents a frame whose every pixel differs from its neighbours; true if the
// output pixel at the centre of each frame pixel's scaled footprint matches.
bool PresentReadsBackIdentically(Image* given, uint32_t seed) {
    std::vector<uint32_t> frame = Pixels(&ScreenImage, [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; });
    GameSettings.scale = kScaleWhole;
    Present(given);
    GameSettings.scale = kScaleFill;
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(DisplayRenderer, &w, &h);
    std::vector<uint32_t> output(static_cast<size_t>(w) * h), shown;
    EXPECT_EQ(SDL_RenderReadPixels(DisplayRenderer, nullptr, SDL_PIXELFORMAT_XRGB8888, output.data(), w * 4), 0);
    double scale = std::floor(std::min(w / 640.0, h / 480.0));  // whole pixels
    for (int i = 0; i < 640 * 480; i++) {
        int x = static_cast<int>((w - 640 * scale) / 2 + (i % 640 + 0.5) * scale);
        int y = static_cast<int>((h - 480 * scale) / 2 + (i / 640 + 0.5) * scale);
        shown.push_back(output[static_cast<size_t>(y) * w + x] & 0xFFFFFF);
    }
    return shown == frame;
}

// A started platform, shut down again afterwards so that tests share a process.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"), PlatformStart(640, 480); }
    void TearDown() override { QueryCounter = savedCounter, QueryFrequency = savedFrequency, PlatformShutdown(); }
    int64_t (*savedCounter)() = QueryCounter, (*savedFrequency)() = QueryFrequency;
};

TEST_F(PlatformTest, KeyCodesCharactersHeldKeysAltF9AndF10) {
    // {key, its held slot, KeyCode, character}; keys outside the KeyCode
    // table are held but report KeyCode 0.
    const struct {
        SDL_Keycode sym;
        int virtualKey;
        int32_t keyCode, character;
    } keys[] = {{SDLK_PAGEUP, 0x21, 0x49, 0}, {SDLK_PAGEDOWN, 0x22, 0x51, 0}, {SDLK_END, 0x23, 0x4F, 0},
                {SDLK_HOME, 0x24, 0x47, 0},   {SDLK_LEFT, 0x25, 0x4B, 0},     {SDLK_UP, 0x26, 0x48, 0},
                {SDLK_RIGHT, 0x27, 0x4D, 0},  {SDLK_DOWN, 0x28, 0x50, 0},     {SDLK_INSERT, 0x2D, 0x52, 0},
                {SDLK_DELETE, 0x2E, 0x53, 0}, {SDLK_F1, 0x70, 0x3B, 0},       {SDLK_F5, 0x74, 0x3F, 0},
                {SDLK_F9, 0x78, 0x43, 0},     {SDLK_F12, 0x7B, 0, 0},         {SDLK_a, 'A', 0, 0},
                {SDLK_SPACE, 0x20, 0, 0},     {SDLK_RETURN, 0x0D, 0, 13},     {SDLK_KP_ENTER, 0x0D, 0, 13},
                {SDLK_ESCAPE, 0x1B, 0, 27},   {SDLK_BACKSPACE, 0x08, 0, 8}};
    for (const auto& k : keys) {
        PushKey(k.sym, true);
        Poll p = PollOnce();
        EXPECT_TRUE(p.keyCode == k.keyCode && p.character == k.character && KeyDown[k.virtualKey])
            << SDL_GetKeyName(k.sym);
        PushKey(k.sym, false);
        EXPECT_TRUE(PollOnce().keyCode == 0 && NoKeyHeld()) << SDL_GetKeyName(k.sym);
    }
    // With Alt only F9 means anything; F10, the screenshot, is never held
    // and does nothing with Shift or Ctrl; auto-repeat reports again.
    const struct {
        SDL_Keycode sym;
        Uint16 mod;
        Uint8 repeat;
        int32_t keyCode;
    } commands[] = {{SDLK_F9, KMOD_LALT, 0, 0x42B}, {SDLK_F9, KMOD_RALT, 0, 0x42B}, {SDLK_F4, KMOD_LALT, 0, 0},
                    {SDLK_F10, KMOD_LALT, 0, 0},    {SDLK_F10, KMOD_NONE, 0, 0x44}, {SDLK_F10, KMOD_NONE, 1, 0x44},
                    {SDLK_F10, KMOD_LSHIFT, 0, 0},  {SDLK_F10, KMOD_RCTRL, 0, 0},   {SDLK_LEFT, KMOD_NONE, 0, 0x4B},
                    {SDLK_LEFT, KMOD_NONE, 1, 0x4B}};
    for (const auto& c : commands) {
        PushKey(c.sym, true, c.mod, c.repeat);
        Poll p = PollOnce();
        EXPECT_TRUE(p.keyCode == c.keyCode && p.character == 0) << SDL_GetKeyName(c.sym) << " mod " << c.mod;
    }
    PollOnce();
    EXPECT_EQ(KeyDown[VkLeft], 1) << "held across polls";
    // Released with Alt down, still released, or the cannon would keep turning.
    PushKey(SDLK_LEFT, false, KMOD_LALT);
    PollOnce();
    EXPECT_TRUE(NoKeyHeld());

    // Latin-1 letters sign-extend their byte; several characters in one text
    // come one per poll, before the next event; the rest are dropped.
    Push(SDL_TEXTINPUT, [](SDL_Event& e) {
        SDL_strlcpy(e.text.text,
                    "\xC3\xA9"
                    "b\xE2\x82\xAC ",
                    32);
    });
    PushKey(SDLK_UP, true);
    for (int32_t c : {-23, int{'b'}, int{' '}, 0})  // e acute, b, (not the euro sign) space
        EXPECT_EQ(PollOnce().character, c);
    EXPECT_EQ(KeyDown[VkUp], 1);
}

TEST_F(PlatformTest, MousePositionLeavingAndMotionBursts) {
    auto where = [] {
        Poll p = PollOnce();
        return std::pair(p.x, p.y);
    };
    // To a picture pixel; motion comes in window pixels, and the 1024 x 768
    // desktop shows the picture filled (1.6 times), or 1:1 in its middle.
    auto move = [](float x, float y) {
        bool whole = GameSettings.scale == kScaleWhole;
        Push(SDL_MOUSEMOTION, [=](SDL_Event& e) {
            e.motion.x = whole ? 192 + int(x) : int((x + .5f) * 1.6f);
            e.motion.y = whole ? 144 + int(y) : int((y + .5f) * 1.6f);
        });
    };
    move(100, 200);
    EXPECT_EQ(where(), std::pair(100, 200));
    GameSettings.scale = kScaleWhole;
    move(639, 0);
    EXPECT_EQ(where(), std::pair(639, 0));
    Push(SDL_MOUSEMOTION, [](SDL_Event& e) { e.motion.x = 1000, e.motion.y = 10; });  // over the bars
    EXPECT_EQ(where(), std::pair(639, 0));
    GameSettings.scale = kScaleFill;
    PushWindow(SDL_WINDOWEVENT_LEAVE);
    EXPECT_EQ(where(), std::pair(-1, -1));
    // A burst of motion costs one poll; the key behind it is not held up.
    for (int i = 0; i < 200; i++) move(float(i), float(i / 2));
    PushKey(SDLK_DOWN, true);
    move(300, 10);
    EXPECT_EQ(where(), std::pair(199, 99));
    EXPECT_EQ(PollOnce().keyCode, KeyDownArrow);
    EXPECT_EQ(where(), std::pair(300, 10));
}

TEST_F(PlatformTest, FocusLossStopsTheGameAndReturnReloadsTheImages) {
    std::vector<uint32_t> back = Pixels(&backImage), strip = Pixels(&ballStrip);
    ASSERT_EQ(back.size(), 640u * 480);
    PushKey(SDLK_RIGHT, true);
    PushWindow(SDL_WINDOWEVENT_FOCUS_LOST);
    PollOnce(), PollOnce();
    EXPECT_TRUE(AppActive == 0 && NoKeyHeld()) << "a key's release would go to another program";
    ImageClear(&backImage, 0x123456);
    ImageClear(&ballStrip, 0x654321);
    PushWindow(SDL_WINDOWEVENT_FOCUS_GAINED);
    PollOnce();
    EXPECT_TRUE(AppActive == 1 && Pixels(&backImage) == back && Pixels(&ballStrip) == strip);
}

// Runs body in a forked child: "status N:" and all it wrote (99 if body returns).
std::string RunInChild(const std::function<void()>& body) {
    FILE* out = tmpfile();
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fileno(out), STDOUT_FILENO), dup2(fileno(out), STDERR_FILENO);
        body();
        fflush(nullptr);
        _exit(99);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::string output(4096, '\0');
    rewind(out);
    output.resize(fread(output.data(), 1, output.size(), out));
    fclose(out);
    return "status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ":" + output;
}

// No display named: a message box cannot block, the game says why and
// fails. (A quit request ending the game is played end to end.)
TEST(PlatformExit, NoDisplayEndsTheProcessWithAMessage) {
    EXPECT_EQ(RunInChild([] {
                  unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY"), setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
                  PlatformStart(640, 480);
              }),
              "status 1:Failed to create window\n"
              "kelvane: cannot open a window: no display (is DISPLAY or WAYLAND_DISPLAY set?)\n");
}

// (F11, Alt+Enter and the keypad with Num Lock off are played end to end.)
TEST_F(PlatformTest, KeypadKeysUnderNumLockAndShrinkingWindows) {
    // Num Lock on: the keypad's 4 is its own key; released, with Num Lock
    // pressed meanwhile, neither it nor Left stays held.
    for (Uint16 lock : {KMOD_NONE, KMOD_NUM}) {
        PushKey(SDLK_KP_4, true, lock), PollOnce();
        EXPECT_EQ(KeyDown[lock ? 0x64 : VkLeft], 1);
        PushKey(SDLK_KP_4, false, lock ^ KMOD_NUM), PollOnce();
        EXPECT_TRUE(NoKeyHeld());
    }
    // A window too small for the picture shrinks it instead of cutting it,
    // in both scalings (F9); a larger one is filled, or holds it 1:1.
    setenv("XDG_CONFIG_HOME", ::testing::TempDir().c_str(), 1);  // where F11's choice is kept
    PushKey(SDLK_F11, true), PollOnce();
    ImageClear(&ScreenImage, 0xFF0000);
    ImageFillRect(&ScreenImage, 600, 440, 639, 479, 0x0000FF);
    for (bool whole : {false, true}) {
        for (int size : {320, 700, 639}) {
            SDL_SetWindowSize(MainWindow, size, size * 3 / 4);
            SDL_PumpEvents();
            Present(&ScreenImage);
            int w = 0, h = 0;
            uint32_t corner = 0;
            SDL_GetRendererOutputSize(DisplayRenderer, &w, &h);
            SDL_Rect at{w - 2, h - 2, 1, 1};
            SDL_RenderReadPixels(DisplayRenderer, &at, SDL_PIXELFORMAT_XRGB8888, &corner, 4);
            EXPECT_EQ(corner & 0xFFFFFF, whole && size == 700 ? 0u : 0x0000FFu) << size << " " << whole;
        }
        SDL_FlushEvent(SDL_WINDOWEVENT), PushKey(SDLK_F9, true), PollOnce();
        EXPECT_EQ(GameSettings.scale, whole ? kScaleFill : kScaleWhole);
    }
    GameSettings = Settings{}, unsetenv("XDG_CONFIG_HOME");
}

// Nothing is left pointing at what a shutdown freed.
TEST_F(PlatformTest, ShutdownUndoesTheStartUp) {
    DisplayShutdown();
    EXPECT_TRUE(DisplayRenderer == nullptr && ScreenImage.surface == nullptr);
    Present(&ScreenImage);  // closed: shows nothing, does not crash
    PlatformShutdown();
    PlatformShutdown();  // twice is harmless
    EXPECT_TRUE(MainWindow == nullptr && backImage.surface == nullptr);
}

TEST_F(PlatformTest, PresentShowsTheBackBufferAlsoAfterALostDeviceAtTheDisplayRate) {
    EXPECT_TRUE(PresentReadsBackIdentically(&backImage, 1)) << "whatever it is given, the back buffer is shown";
    for (Uint32 reset : {SDL_RENDER_DEVICE_RESET, SDL_RENDER_TARGETS_RESET}) {
        Push(reset);
        PollOnce();
        ASSERT_FALSE(DisplayIsLost());
        EXPECT_TRUE(PresentReadsBackIdentically(&ScreenImage, reset)) << reset;
    }
    // Presents run at the display's rate, like flips. Only the lower bound
    // is checked: it holds however busy the machine is.
    int32_t interval = DisplayRefreshInterval();
    EXPECT_TRUE(interval >= 1000000 / 240 && interval <= 1000000 / 24) << interval;
    Present(&ScreenImage);
    for (int i = 0; i < 5; i++) {
        FrameTimer(0);
        Present(&ScreenImage);
        EXPECT_GT(FrameTimer(1), interval / 2);
    }
}

TEST_F(PlatformTest, FrameTimerAndStopwatch) {
    UseManualClock();
    // {counter rate, ticks on, FrameTimer us, Stopwatch ms}: truncated; a
    // nanosecond counter weeks after boot, whose tick differences times a
    // million no longer fit in 64 bits, saturates; one gone back reads less.
    const struct {
        int64_t rate, ticks;
        int32_t frame, watch;
    } cases[] = {{1000000, 16667, 16667, 16},
                 {3000000, 2993, 997, 0},
                 {1000000000, 2'500'000'000'000LL, INT32_MAX, 2'500'000},
                 {1000000000, 3'000'000'000'000'000LL, INT32_MAX, INT32_MAX},
                 {1000000000, -2000, -2, 0}};
    int64_t watch = 0;
    for (const auto& c : cases) {
        rate = c.rate;
        FrameTimer(0), Stopwatch(&watch, 0), ticks += c.ticks;
        EXPECT_TRUE(FrameTimer(1) == c.frame && Stopwatch(&watch, 1) == c.watch) << c.ticks;
    }
    rate = 0;  // no counter at all
    EXPECT_TRUE(FrameTimer(1) == 14000 && Stopwatch(&watch, 1) == 0);
}

}  // namespace
