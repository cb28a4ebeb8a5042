// The event poll: SDL events pushed into the queue and read back one per
// PollEvents, as the game sees them.
#include <cstring>
#include <vector>

#include "flow/GameImages.h"
#include "platform_support.h"

namespace {

using EventsTest = PlatformTest;

bool NoKeyHeld()
{
    for (uint8_t held : KeyDown)
        if (held)
            return false;
    return true;
}

TEST_F(EventsTest, KeyCodesAndHeldKeys)
{
    struct {
        SDL_Keycode sym;
        int virtualKey;
        int32_t keyCode;
    } const keys[] = {
        {SDLK_PAGEUP, 0x21, 0x49}, {SDLK_PAGEDOWN, 0x22, 0x51}, {SDLK_END, 0x23, 0x4F}, {SDLK_HOME, 0x24, 0x47},
        {SDLK_LEFT, 0x25, 0x4B},   {SDLK_UP, 0x26, 0x48},       {SDLK_RIGHT, 0x27, 0x4D}, {SDLK_DOWN, 0x28, 0x50},
        {SDLK_INSERT, 0x2D, 0x52}, {SDLK_DELETE, 0x2E, 0x53},   {SDLK_F1, 0x70, 0x3B},  {SDLK_F5, 0x74, 0x3F},
        {SDLK_F9, 0x78, 0x43},
        // Outside the table: held, but KeyCode 0.
        {SDLK_F11, 0x7A, 0}, {SDLK_F12, 0x7B, 0}, {SDLK_a, 'A', 0}, {SDLK_7, '7', 0}, {SDLK_SPACE, 0x20, 0},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(SDL_GetKeyName(k.sym));
        PushKey(k.sym, true);
        Poll down = PollOnce();
        EXPECT_EQ(down.keyCode, k.keyCode);
        EXPECT_EQ(down.character, 0);
        EXPECT_EQ(KeyDown[k.virtualKey], 1);
        PushKey(k.sym, false);
        EXPECT_EQ(PollOnce().keyCode, 0);
        EXPECT_TRUE(NoKeyHeld());
    }

    // Held across polls; every auto-repeat reports the KeyCode again.
    PushKey(SDLK_LEFT, true);
    EXPECT_EQ(PollOnce().keyCode, KeyLeft);
    EXPECT_EQ(PollOnce().keyCode, 0);
    PushKey(SDLK_LEFT, true, KMOD_NONE, 1);
    EXPECT_EQ(PollOnce().keyCode, KeyLeft);
    EXPECT_EQ(KeyDown[VkLeft], 1);
    // Released while Alt is down: still released, or the cannon would keep
    // turning until the arrow was tapped again.
    PushKey(SDLK_LALT, true, KMOD_LALT);
    PushKey(SDLK_LEFT, false, KMOD_LALT);
    PollOnce();
    PollOnce();
    EXPECT_TRUE(NoKeyHeld());
}

TEST_F(EventsTest, AltKeysAndF10)
{
    PushKey(SDLK_F9, true, KMOD_LALT);
    EXPECT_EQ(PollOnce().keyCode, KeyAltF9);
    PushKey(SDLK_F9, true, KMOD_RALT);
    EXPECT_EQ(PollOnce().keyCode, KeyAltF9);
    // Anything else with Alt: no KeyCode, no character, nothing held.
    for (SDL_Keycode sym : {SDLK_F4, SDLK_LEFT, SDLK_F8, SDLK_RETURN, SDLK_ESCAPE, SDLK_F10}) {
        PushKey(sym, true, KMOD_LALT);
        Poll p = PollOnce();
        EXPECT_EQ(p.keyCode, 0) << SDL_GetKeyName(sym);
        EXPECT_EQ(p.character, 0) << SDL_GetKeyName(sym);
    }
    EXPECT_TRUE(NoKeyHeld());

    // F10 is the screenshot command: a KeyCode (on repeat too) but never a
    // held key, and not with Shift or Ctrl, which do not stop other keys.
    PushKey(SDLK_F10, true);
    EXPECT_EQ(PollOnce().keyCode, KeyF10);
    PushKey(SDLK_F10, true, KMOD_NONE, 1);
    EXPECT_EQ(PollOnce().keyCode, KeyF10);
    EXPECT_TRUE(NoKeyHeld());
    PushKey(SDLK_F10, true, KMOD_LSHIFT);
    EXPECT_EQ(PollOnce().keyCode, 0);
    PushKey(SDLK_F10, true, KMOD_RCTRL);
    EXPECT_EQ(PollOnce().keyCode, 0);
    PushKey(SDLK_RIGHT, true, KMOD_LSHIFT);
    EXPECT_EQ(PollOnce().keyCode, KeyRight);
}

TEST_F(EventsTest, CharactersOnePerPoll)
{
    const std::pair<SDL_Keycode, int32_t> keys[] = {
        {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27}, {SDLK_BACKSPACE, 8}};
    for (auto [sym, character] : keys) {
        PushKey(sym, true);
        EXPECT_EQ(PollOnce().character, character) << SDL_GetKeyName(sym);
    }
    // Space comes as text: one key press reaches the game over two polls,
    // and its character is reported once.
    PushKey(SDLK_SPACE, true);
    PushText(" ");
    EXPECT_EQ(PollOnce().character, 0);
    EXPECT_EQ(PollOnce().character, ' ');
    EXPECT_EQ(PollOnce().character, 0);

    // A Latin-1 letter sign-extends its byte; several characters in one text
    // come one per poll, before the next event; others are dropped.
    PushText("\xC3\xA9");  // e acute, 0xE9
    EXPECT_EQ(PollOnce().character, -23);
    PushText("Ab\xE2\x82\xAC" "c");  // A, b, the euro sign, c
    PushKey(SDLK_UP, true);
    for (int32_t c : {'A', 'b', 'c'})
        EXPECT_EQ(PollOnce().character, c);
    Poll after = PollOnce();
    EXPECT_EQ(after.character, 0);
    EXPECT_EQ(after.keyCode, KeyUp);
}

// Pointer motion arrives in window pixels; the game sees picture pixels.
void PushMotion(float x, float y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    SDL_RenderLogicalToWindow(DisplayRenderer, x + 0.5f, y + 0.5f, &e.motion.x, &e.motion.y);
    Push(e);
}

TEST_F(EventsTest, MousePositionLeavingAndMotionBursts)
{
    PushMotion(100, 200);
    Poll p = PollOnce();
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 200);
    PushWindowEvent(SDL_WINDOWEVENT_LEAVE);
    PushKey(SDLK_a, true);
    for (int i = 0; i < 2; i++) {
        p = PollOnce();
        EXPECT_EQ(p.x, -1);
        EXPECT_EQ(p.y, -1);
    }
    // A burst of motion costs one poll; the key behind it is not held up.
    for (int i = 0; i < 200; i++)
        PushMotion(i, i / 2);
    PushKey(SDLK_DOWN, true);
    PushMotion(300, 10);
    p = PollOnce();
    EXPECT_EQ(p.x, 199);
    EXPECT_EQ(p.y, 99);
    EXPECT_EQ(PollOnce().keyCode, KeyDownArrow);
    EXPECT_EQ(PollOnce().x, 300);
}

// Left presses with the given gaps (ms) before each; each press and release
// is polled on its own. The button bits of each press's poll.
std::vector<int32_t> PressesAfter(const std::vector<int>& gaps)
{
    std::vector<int32_t> bits;
    for (int gap : gaps) {
        ManualClock::advanceMs(gap);
        PushButton(SDL_BUTTON_LEFT, true);
        bits.push_back(PollOnce().buttons);
        PushButton(SDL_BUTTON_LEFT, false);
        PollOnce();
    }
    return bits;
}

TEST_F(EventsTest, MultiClicksByThe300msRule)
{
    ManualClock::install();
    const int32_t held = MouseLeftHeld;
    const int32_t dbl = MouseLeftHeld | MouseDoubleClick;
    const int32_t tpl = MouseLeftHeld | MouseTripleClick;
    EXPECT_EQ(PressesAfter({1000, 200, 200, 200, 200, 200}), (std::vector<int32_t>{held, dbl, tpl, held, dbl, tpl}));
    EXPECT_EQ(PressesAfter({301, 301, 300, 301}), (std::vector<int32_t>{held, held, dbl, held}));

    // The double-click bit is reported by one poll; the held bits stay
    // until their release. Right presses make no multi-clicks.
    ManualClock::advanceMs(1000);
    PressesAfter({0});
    ManualClock::advanceMs(100);
    PushButton(SDL_BUTTON_LEFT, true);
    EXPECT_EQ(PollOnce().buttons, dbl);
    EXPECT_EQ(PollOnce().buttons, held);
    for (int i = 0; i < 3; i++) {
        PushButton(SDL_BUTTON_RIGHT, true);
        EXPECT_EQ(PollOnce().buttons, held | MouseRightHeld);
        PushButton(SDL_BUTTON_RIGHT, false);
        EXPECT_EQ(PollOnce().buttons, held);
    }
    PushButton(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(PollOnce().buttons, 0);
}

bool SameImage(Image* a, Image* b)
{
    uint32_t *pa, *pb;
    int32_t sa, sb;
    ImageLock(a, b, &pa, &pb, &sa, &sb);
    bool same = pa != nullptr && pb != nullptr && a->width == b->width && a->height == b->height;
    for (int32_t y = 0; same && y < a->height; y++)
        same = std::memcmp(pa + y * sa, pb + y * sb, sizeof(uint32_t) * a->width) == 0;
    ImageUnlock(a, b);
    return same;
}

TEST_F(EventsTest, FocusLossStopsTheGameAndReturnReloadsTheImages)
{
    Image back, strip;  // the pictures as loaded at start
    ASSERT_EQ(ImageCreate(&back, "MyBackBitmap", 0, 0, 0), 1);
    ASSERT_EQ(ImageLoadBitmap(&back, "MyBackBitmap"), 1);
    ASSERT_EQ(ImageCreate(&strip, nullptr, ballStrip.width, ballStrip.height, 0), 1);
    ImageBlit(&ballStrip, 0, 0, &strip, 0, 0, ballStrip.width, ballStrip.height);

    // Outside a poll an event changes nothing.
    SDL_Event lost{};
    lost.type = SDL_WINDOWEVENT;
    lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    WindowProc(&lost);
    EXPECT_EQ(AppActive, 1);

    PushKey(SDLK_RIGHT, true);
    PollOnce();
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    PollOnce();
    EXPECT_EQ(AppActive, 0);
    EXPECT_TRUE(NoKeyHeld()) << "its release would go to another program";

    ImageClear(&backImage, 0x123456);
    ImageClear(&ballStrip, 0x654321);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    PollOnce();
    EXPECT_EQ(AppActive, 1);
    EXPECT_TRUE(SameImage(&backImage, &back));
    EXPECT_TRUE(SameImage(&ballStrip, &strip));
    ImageRelease(&back);
    ImageRelease(&strip);
}

// Hooks that report whether the platform was still up when they ran.
void HookRegisteredFirst()
{
    std::printf("first:%s;", MainWindow == nullptr && DisplayRenderer == nullptr ? "down" : "up");
}

void HookRegisteredLast()
{
    std::printf("last:%s;", MainWindow != nullptr && ScreenImage.surface != nullptr ? "up" : "down");
}

TEST(EventsQuit, QuitEndsWithStatusZeroThroughTheHooksInReverseOrder)
{
    ChildResult r = RunInChild([] {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        std::atexit(HookRegisteredFirst);
        PlatformStart(640, 480);
        std::atexit(HookRegisteredLast);
        PushKey(SDLK_UP, true);
        PushType(SDL_QUIT);
        std::printf("key:%d;", PollOnce().keyCode);
        PollOnce();
        std::printf("after quit;");
    });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "key:72;last:up;first:down;");
}

}  // namespace
