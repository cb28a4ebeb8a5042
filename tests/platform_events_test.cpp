// The event poll: SDL events pushed into the queue and read back one per
// PollEvents, as the game sees them.
#include <cstring>
#include <vector>

#include "flow/GameImages.h"
#include "platform_support.h"

namespace {

using EventsTest = PlatformTest;

struct KeyExpectation {
    SDL_Keycode sym;
    int virtualKey;
    int32_t keyCode;
};

TEST_F(EventsTest, KeyCodesOfTheTableAndHeldState)
{
    const KeyExpectation table[] = {
        {SDLK_PAGEUP, 0x21, 0x49}, {SDLK_PAGEDOWN, 0x22, 0x51}, {SDLK_END, 0x23, 0x4F},
        {SDLK_HOME, 0x24, 0x47},   {SDLK_LEFT, 0x25, 0x4B},     {SDLK_UP, 0x26, 0x48},
        {SDLK_RIGHT, 0x27, 0x4D},  {SDLK_DOWN, 0x28, 0x50},     {SDLK_INSERT, 0x2D, 0x52},
        {SDLK_DELETE, 0x2E, 0x53}, {SDLK_F1, 0x70, 0x3B},       {SDLK_F2, 0x71, 0x3C},
        {SDLK_F3, 0x72, 0x3D},     {SDLK_F4, 0x73, 0x3E},       {SDLK_F5, 0x74, 0x3F},
        {SDLK_F6, 0x75, 0x40},     {SDLK_F7, 0x76, 0x41},       {SDLK_F8, 0x77, 0x42},
        {SDLK_F9, 0x78, 0x43},
        // Keys outside the table: held, but KeyCode 0.
        {SDLK_F11, 0x7A, 0}, {SDLK_F12, 0x7B, 0}, {SDLK_a, 'A', 0}, {SDLK_z, 'Z', 0},
        {SDLK_7, '7', 0},    {SDLK_SPACE, 0x20, 0}, {SDLK_TAB, 0x09, 0},
    };
    for (const KeyExpectation& k : table) {
        SCOPED_TRACE(SDL_GetKeyName(k.sym));
        PushKey(k.sym, true);
        Poll down = PollOnce();
        EXPECT_EQ(down.keyCode, k.keyCode);
        EXPECT_EQ(down.character, 0);
        EXPECT_EQ(KeyDown[k.virtualKey], 1);
        PushKey(k.sym, false);
        Poll up = PollOnce();
        EXPECT_EQ(up.keyCode, 0);
        EXPECT_EQ(KeyDown[k.virtualKey], 0);
    }
    // The game reads only the arrows, but nothing else got stuck either.
    for (int vk = 0; vk < 256; vk++)
        EXPECT_EQ(KeyDown[vk], 0) << vk;
}

TEST_F(EventsTest, EnterEscBackspaceAreCharactersTextIsOneCharacterPerPoll)
{
    struct {
        SDL_Keycode sym;
        int32_t character;
    } const keys[] = {{SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27}, {SDLK_BACKSPACE, 8}};
    for (const auto& k : keys) {
        PushKey(k.sym, true);
        Poll p = PollOnce();
        EXPECT_EQ(p.character, k.character) << SDL_GetKeyName(k.sym);
        EXPECT_EQ(p.keyCode, 0);
        PushKey(k.sym, false);
        EXPECT_EQ(PollOnce().character, 0);
    }

    // Space comes as text; one key press reaches the game over two polls.
    PushKey(SDLK_SPACE, true);
    PushText(" ");
    EXPECT_EQ(PollOnce().character, 0);
    EXPECT_EQ(PollOnce().character, ' ');
    EXPECT_EQ(PollOnce().character, 0) << "a character is reported once";

    // A Latin-1 letter sign-extends its byte; a text of several characters
    // is handed out one per poll; characters without a byte are dropped.
    PushText("\xC3\xA9");  // e acute, 0xE9
    EXPECT_EQ(PollOnce().character, -23);
    PushText("Ab\xE2\x82\xAC" "c");  // A, b, euro sign, c
    PushKey(SDLK_UP, true);
    EXPECT_EQ(PollOnce().character, 'A');
    EXPECT_EQ(PollOnce().character, 'b');
    EXPECT_EQ(PollOnce().character, 'c');
    Poll after = PollOnce();
    EXPECT_EQ(after.character, 0);
    EXPECT_EQ(after.keyCode, KeyUp) << "the queued key comes after the text";
}

TEST_F(EventsTest, HeldArrowRepeatsItsKeyCodeUntilReleased)
{
    PushKey(SDLK_LEFT, true);
    EXPECT_EQ(PollOnce().keyCode, KeyLeft);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(PollOnce().keyCode, 0) << "an empty poll reports no key";
        EXPECT_EQ(KeyDown[VkLeft], 1);
        PushKey(SDLK_LEFT, true, KMOD_NONE, 1);
        EXPECT_EQ(PollOnce().keyCode, KeyLeft) << "each auto-repeat reports again";
    }
    // Two arrows at once, released in the other order.
    PushKey(SDLK_UP, true);
    PollOnce();
    EXPECT_EQ(KeyDown[VkLeft] + KeyDown[VkUp], 2);
    PushKey(SDLK_LEFT, false);
    PollOnce();
    EXPECT_EQ(KeyDown[VkLeft], 0);
    EXPECT_EQ(KeyDown[VkUp], 1);
    // Released while Alt is down: still released (it would otherwise keep
    // turning the cannon until pressed again).
    PushKey(SDLK_LALT, true, KMOD_LALT);
    PollOnce();
    PushKey(SDLK_UP, false, KMOD_LALT);
    PollOnce();
    EXPECT_EQ(KeyDown[VkUp], 0);
}

TEST_F(EventsTest, AltKeysAndF10)
{
    PushKey(SDLK_F9, true, KMOD_LALT);
    Poll altF9 = PollOnce();
    EXPECT_EQ(altF9.keyCode, KeyAltF9);
    EXPECT_EQ(KeyDown[VkF9], 0) << "keys with Alt are not held";
    PushKey(SDLK_F9, true, KMOD_RALT);
    EXPECT_EQ(PollOnce().keyCode, KeyAltF9);

    // Other keys with Alt held: KeyCode 0, nothing held, no character.
    const SDL_Keycode others[] = {SDLK_F4, SDLK_LEFT, SDLK_F8, SDLK_RETURN, SDLK_ESCAPE, SDLK_F10};
    for (SDL_Keycode sym : others) {
        PushKey(sym, true, KMOD_LALT);
        Poll p = PollOnce();
        EXPECT_EQ(p.keyCode, 0) << SDL_GetKeyName(sym);
        EXPECT_EQ(p.character, 0) << SDL_GetKeyName(sym);
    }
    for (int vk = 0; vk < 256; vk++)
        EXPECT_EQ(KeyDown[vk], 0) << vk;

    // F10 is the screenshot command: its KeyCode, on repeat too, but it is
    // never a held key; with Shift or Ctrl it is not the command.
    PushKey(SDLK_F10, true);
    EXPECT_EQ(PollOnce().keyCode, KeyF10);
    EXPECT_EQ(KeyDown[VkF10], 0);
    PushKey(SDLK_F10, true, KMOD_NONE, 1);
    EXPECT_EQ(PollOnce().keyCode, KeyF10);
    PushKey(SDLK_F10, false);
    EXPECT_EQ(PollOnce().keyCode, 0);
    PushKey(SDLK_F10, true, KMOD_LSHIFT);
    EXPECT_EQ(PollOnce().keyCode, 0);
    PushKey(SDLK_F10, true, KMOD_RCTRL);
    EXPECT_EQ(PollOnce().keyCode, 0);
    // Shift does not stop ordinary keys.
    PushKey(SDLK_RIGHT, true, KMOD_LSHIFT);
    EXPECT_EQ(PollOnce().keyCode, KeyRight);
}

// Pointer motion arrives in window pixels; the game sees picture pixels.
void PushPictureMotion(float x, float y)
{
    int wx = 0, wy = 0;
    SDL_RenderLogicalToWindow(DisplayRenderer, x + 0.5f, y + 0.5f, &wx, &wy);
    PushMotion(wx, wy);
}

TEST_F(EventsTest, MousePositionLeavingAndMotionBursts)
{
    PushPictureMotion(100, 200);
    Poll p = PollOnce();
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 200);
    EXPECT_EQ(PollOnce().x, 100) << "the position is not cleared by a poll";

    PushWindowEvent(SDL_WINDOWEVENT_LEAVE);
    p = PollOnce();
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, -1);
    PushKey(SDLK_a, true);
    p = PollOnce();
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, -1);

    // A burst of motion costs one poll; the key behind it is not held up.
    for (int i = 0; i < 200; i++)
        PushPictureMotion(i, i / 2);
    PushKey(SDLK_DOWN, true);
    for (int i = 0; i < 5; i++)
        PushPictureMotion(300 + i, 10);
    p = PollOnce();
    EXPECT_EQ(p.x, 199);
    EXPECT_EQ(p.y, 99);
    EXPECT_EQ(p.keyCode, 0);
    p = PollOnce();
    EXPECT_EQ(p.keyCode, KeyDownArrow);
    p = PollOnce();
    EXPECT_EQ(p.x, 304);
    EXPECT_EQ(p.y, 10);
}

// Presses with given gaps (ms, before each press); each press and release is
// polled on its own. Returns the button bits of each press's poll.
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
    // A gap over 300 ms starts again; exactly 300 still counts.
    EXPECT_EQ(PressesAfter({301, 301, 300, 301}), (std::vector<int32_t>{held, held, dbl, held}));

    // The double-click bit is reported by one poll; the held bit stays until
    // the release, with the right button beside it.
    ManualClock::advanceMs(1000);
    PushButton(SDL_BUTTON_LEFT, true);
    PollOnce();
    PushButton(SDL_BUTTON_LEFT, false);
    PollOnce();
    ManualClock::advanceMs(100);
    PushButton(SDL_BUTTON_LEFT, true);
    EXPECT_EQ(PollOnce().buttons, dbl);
    EXPECT_EQ(PollOnce().buttons, held);
    PushButton(SDL_BUTTON_RIGHT, true);
    EXPECT_EQ(PollOnce().buttons, held | MouseRightHeld);
    PushButton(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(PollOnce().buttons, MouseRightHeld);
    PushButton(SDL_BUTTON_RIGHT, false);
    EXPECT_EQ(PollOnce().buttons, 0);

    // Right presses never make multi-clicks.
    for (int i = 0; i < 3; i++) {
        ManualClock::advanceMs(50);
        PushButton(SDL_BUTTON_RIGHT, true);
        EXPECT_EQ(PollOnce().buttons, MouseRightHeld);
        PushButton(SDL_BUTTON_RIGHT, false);
        PollOnce();
    }
}

// Without a counter no press time is ever stored, so no press is quick.
// The press time of earlier tests must not be there: a fresh process.
TEST(EventsClicks, NoMultiClicksWithoutACounter)
{
    if (InFreshProcess()) {
        ManualClock::install();
        ManualClock::rate = 0;
        std::printf("bits:");
        for (int i = 0; i < 4; i++) {
            ManualClock::advanceMs(10);
            OnLeftButton(1);
            std::printf("%d", MouseButtons);
            OnLeftButton(0);
        }
        std::printf(";\n");
        return;
    }
    ChildResult r = RunTestInFreshProcess();
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.output.find("bits:1111;"), std::string::npos) << r.output;
}

bool SameImage(Image* a, Image* b)
{
    if (a->width != b->width || a->height != b->height)
        return false;
    uint32_t *pa, *pb;
    int32_t sa, sb;
    ImageLock(a, b, &pa, &pb, &sa, &sb);
    bool same = pa != nullptr && pb != nullptr;
    for (int32_t y = 0; same && y < a->height; y++)
        same = std::memcmp(pa + y * sa, pb + y * sb, sizeof(uint32_t) * a->width) == 0;
    ImageUnlock(a, b);
    return same;
}

TEST_F(EventsTest, FocusLossStopsTheGameAndReturnReloadsTheImages)
{
    EXPECT_EQ(AppActive, 1);
    // The pictures as loaded fresh, to compare with after the return.
    Image back, strip;
    ASSERT_EQ(ImageCreate(&back, "MyBackBitmap", 0, 0, 0), 1);
    ASSERT_EQ(ImageLoadBitmap(&back, "MyBackBitmap"), 1);
    ASSERT_EQ(ImageCreate(&strip, nullptr, ballStrip.width, ballStrip.height, 0), 1);
    ImageBlit(&ballStrip, 0, 0, &strip, 0, 0, ballStrip.width, ballStrip.height);

    PushKey(SDLK_RIGHT, true);
    PollOnce();
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    PollOnce();
    EXPECT_EQ(AppActive, 0);
    EXPECT_EQ(KeyDown[VkRight], 0) << "its release would go to another program";

    // Whatever happened to the pictures meanwhile is undone on return.
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

TEST_F(EventsTest, InputResetClearsKeysButNotMouseOrActivity)
{
    PushKey(SDLK_UP, true);
    PollOnce();
    PushPictureMotion(5, 6);
    PollOnce();
    PushKey(SDLK_DOWN, true);
    PushText("xy");
    // Everything pending is dropped: the held keys, the KeyCode and the
    // characters still to come.
    PollOnce();
    PollOnce();
    InputReset();
    EXPECT_EQ(KeyDown[VkUp], 0);
    EXPECT_EQ(KeyDown[VkDown], 0);
    Poll p = PollOnce();
    EXPECT_EQ(p.character, 0);
    EXPECT_EQ(p.keyCode, 0);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(AppActive, 1);
}

TEST_F(EventsTest, EventsOutsideAPollChangeNothing)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_UP;
    WindowProc(&e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    WindowProc(&e);
    EXPECT_EQ(KeyDown[VkUp], 0);
    EXPECT_EQ(AppActive, 1);
    EXPECT_EQ(PollOnce().keyCode, 0);
}

// Hooks that report, through standard output, whether the platform was
// still up when they ran.
void HookRegisteredFirst()
{
    std::printf("first:%s;", MainWindow == nullptr && DisplayRenderer == nullptr ? "down" : "up");
    std::fflush(stdout);
}

void HookRegisteredLast()
{
    std::printf("last:%s;", MainWindow != nullptr && ScreenImage.surface != nullptr ? "up" : "down");
    std::fflush(stdout);
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
        PushKey(SDLK_DOWN, true);
        Poll p = PollOnce();
        std::printf("key:%d;", p.keyCode);
        std::fflush(stdout);
        PollOnce();
        std::printf("after quit;");
    });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "key:72;last:up;first:down;");
}

}  // namespace
