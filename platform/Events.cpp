// Events.cpp -- the event poll: one SDL event per call turned into the
// game's small input model (KeyCode, character, mouse, held keys, focus).
#include "platform/Events.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "gfx/GameImages.h"
#include "platform/Display.h"
#include "platform/Gamepad.h"
#include "platform/Mouse.h"
#include "platform/Platform.h"
#include "platform/Quit.h"
#include "platform/Timing.h"
#include "platform/Window.h"

uint8_t KeyDown[256];
int32_t AppActive;
int32_t MouseButtons;

static int32_t lastKey;        // virtual key of the latest key-down since the last poll
static int32_t lastAltKey;     // virtual key of the latest key-down made with Alt held
static int32_t lastCharacter;  // latest character since the last poll, sign-extended
static int32_t mouseX;
static int32_t mouseY;
static int32_t clickCount;     // presses so far in the current run of quick presses
static int64_t lastPressTime;  // Stopwatch value of the latest left press; 0 = none
static int insidePoll;

static constexpr int kVkF11 = VkF1 + 10;
static constexpr Uint32 kInactivePollWait = 10;  // ms between empty polls while inactive

// Characters of one text event beyond its first, handed out one per poll
// as if each had been an event of its own.
static constexpr int kPendingChars = 32;
static int32_t pendingChars[kPendingChars];
static int pendingHead;
static int pendingCount;

struct KeyCodeEntry {
    int virtualKey;
    int32_t keyCode;
};

static constexpr KeyCodeEntry kKeyCodeTable[] = {
    {VkPrior, KeyPageUp},  {VkNext, KeyPageDown}, {VkEnd, KeyEnd},        {VkHome, KeyHome},     {VkLeft, KeyLeft},
    {VkUp, KeyUp},         {VkRight, KeyRight},   {VkDown, KeyDownArrow}, {VkInsert, KeyInsert}, {VkDelete, KeyDelete},
    {VkF1, KeyF1},         {VkF1 + 1, KeyF1 + 1}, {VkF1 + 2, KeyF1 + 2},  {VkF1 + 3, KeyF1 + 3}, {VkF1 + 4, KeyF1 + 4},
    {VkF1 + 5, KeyF1 + 5}, {VkF1 + 6, KeyF1 + 6}, {VkF1 + 7, KeyF1 + 7},  {VkF9, KeyF9},         {VkF10, KeyF10},
    {VkPause, KeyPause},
};

static int32_t keyCodeOf(int virtualKey)
{
    for (const KeyCodeEntry& entry : kKeyCodeTable)
        if (entry.virtualKey == virtualKey)
            return entry.keyCode;
    return 0;
}

struct VirtualKeyEntry {
    SDL_Keycode sym;
    int virtualKey;
};

// SDL key symbols with a virtual-key code that is not their own character.
static constexpr VirtualKeyEntry kVirtualKeyTable[] = {
    {SDLK_BACKSPACE, VkBack}, {SDLK_TAB, VkTab},      {SDLK_RETURN, VkReturn},   {SDLK_KP_ENTER, VkReturn},
    {SDLK_ESCAPE, VkEscape},  {SDLK_SPACE, VkSpace},  {SDLK_PAGEUP, VkPrior},    {SDLK_PAGEDOWN, VkNext},
    {SDLK_END, VkEnd},        {SDLK_HOME, VkHome},    {SDLK_LEFT, VkLeft},       {SDLK_UP, VkUp},
    {SDLK_RIGHT, VkRight},    {SDLK_DOWN, VkDown},    {SDLK_INSERT, VkInsert},   {SDLK_DELETE, VkDelete},
    {SDLK_LSHIFT, VkShift},   {SDLK_RSHIFT, VkShift}, {SDLK_LCTRL, VkControl},   {SDLK_RCTRL, VkControl},
    {SDLK_LALT, VkMenu},      {SDLK_RALT, VkMenu},    {SDLK_PAUSE, VkPause},     {SDLK_CAPSLOCK, 0x14},
    {SDLK_PRINTSCREEN, 0x2C}, {SDLK_LGUI, 0x5B},      {SDLK_RGUI, 0x5C},         {SDLK_APPLICATION, 0x5D},
    {SDLK_KP_0, 0x60},        {SDLK_KP_1, 0x61},      {SDLK_KP_2, 0x62},         {SDLK_KP_3, 0x63},
    {SDLK_KP_4, 0x64},        {SDLK_KP_5, 0x65},      {SDLK_KP_6, 0x66},         {SDLK_KP_7, 0x67},
    {SDLK_KP_8, 0x68},        {SDLK_KP_9, 0x69},      {SDLK_KP_MULTIPLY, 0x6A},  {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},    {SDLK_KP_PERIOD, 0x6E}, {SDLK_KP_DIVIDE, 0x6F},    {SDLK_NUMLOCKCLEAR, 0x90},
    {SDLK_SCROLLLOCK, 0x91},  {SDLK_SEMICOLON, 0xBA}, {SDLK_EQUALS, 0xBB},       {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},       {SDLK_PERIOD, 0xBE},    {SDLK_SLASH, 0xBF},        {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB}, {SDLK_BACKSLASH, 0xDC}, {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
};

// The virtual-key code of an SDL key, 0 for a key without one. Letters and
// digits are their upper-case characters; F1..F24 are 0x70..0x87.
static int virtualKeyOf(SDL_Keycode sym)
{
    if (sym >= SDLK_a && sym <= SDLK_z)
        return 'A' + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9)
        return '0' + (sym - SDLK_0);
    if (sym >= SDLK_F1 && sym <= SDLK_F12)
        return VkF1 + (sym - SDLK_F1);
    if (sym >= SDLK_F13 && sym <= SDLK_F24)
        return VkF1 + 12 + (sym - SDLK_F13);
    for (const VirtualKeyEntry& entry : kVirtualKeyTable)
        if (entry.sym == sym)
            return entry.virtualKey;
    return 0;
}

// With Num Lock off the keypad's digits are its arrows and paging keys.
static int keypadKeyOf(SDL_Keycode sym)
{
    switch (sym) {
    case SDLK_KP_8:
        return VkUp;
    case SDLK_KP_2:
        return VkDown;
    case SDLK_KP_4:
        return VkLeft;
    case SDLK_KP_6:
        return VkRight;
    case SDLK_KP_7:
        return VkHome;
    case SDLK_KP_1:
        return VkEnd;
    case SDLK_KP_9:
        return VkPrior;
    case SDLK_KP_3:
        return VkNext;
    case SDLK_KP_0:
        return VkInsert;
    case SDLK_KP_PERIOD:
        return VkDelete;
    default:
        return 0;
    }
}

static int virtualKeyOfKey(const SDL_Keysym& keysym)
{
    const int keypad = (keysym.mod & KMOD_NUM) == 0 ? keypadKeyOf(keysym.sym) : 0;
    return keypad != 0 ? keypad : virtualKeyOf(keysym.sym);
}

// The character a key-down types when the text input does not deliver it.
static int32_t characterOfKey(int virtualKey)
{
    switch (virtualKey) {
    case VkReturn:
        return CharEnter;
    case VkEscape:
        return CharEscape;
    case VkBack:
        return CharBackspace;
    default:
        return 0;
    }
}

static void onKeyDown(const SDL_KeyboardEvent& key)
{
    int vk = virtualKeyOfKey(key.keysym);
    bool alt = (key.keysym.mod & KMOD_ALT) != 0 || vk == VkMenu;
    bool shiftOrCtrl = (key.keysym.mod & (KMOD_SHIFT | KMOD_CTRL)) != 0;
    // F11 and Alt+Enter switch between full screen and a window anywhere,
    // and are nothing else: not a held key, not an Enter.
    if (vk == kVkF11 || (alt && vk == VkReturn)) {
        if (!key.repeat)
            WindowToggleFullscreen();
        return;
    }
    // F9 switches the scaling anywhere, and is still the key it was.
    if (vk == VkF9 && !alt && !shiftOrCtrl && !key.repeat)
        WindowToggleScale();
    if (alt) {
        // A system key: only Alt+F9 means anything; nothing is held.
        lastAltKey = vk;
        return;
    }
    if (vk == VkF10) {
        // F10 is the screenshot command: a KeyCode, but never a held key.
        // Like any command key it fires only without modifiers.
        if (!shiftOrCtrl)
            lastKey = VkF10;
        return;
    }
    if (vk == 0)
        return;
    KeyDown[vk] = 1;
    lastKey = vk;
    int32_t c = characterOfKey(vk);
    if (c != 0)
        lastCharacter = c;
}

static void onKeyUp(const SDL_KeyboardEvent& key)
{
    // Released keys always stop being held, also with Alt down: otherwise an
    // arrow let go while Alt is pressed would keep turning the cannon.
    // A keypad key lets go of its arrow and its digit both: Num Lock may
    // have changed while it was held.
    int vk = virtualKeyOf(key.keysym.sym);
    if (vk != 0 && vk != VkF10)
        KeyDown[vk] = 0;
    if (int arrow = keypadKeyOf(key.keysym.sym))
        KeyDown[arrow] = 0;
}

// Decodes one UTF-8 sequence at *p, advancing *p; returns the code point,
// or -1 for a malformed sequence (one byte is skipped).
static int32_t decodeUtf8(const unsigned char** p)
{
    const unsigned char* s = *p;
    int32_t cp = s[0];
    int extra = 0;
    if (cp < 0x80)
        extra = 0;
    else if ((cp & 0xE0) == 0xC0)
        extra = 1, cp &= 0x1F;
    else if ((cp & 0xF0) == 0xE0)
        extra = 2, cp &= 0x0F;
    else if ((cp & 0xF8) == 0xF0)
        extra = 3, cp &= 0x07;
    else {
        *p = s + 1;
        return -1;
    }
    for (int i = 1; i <= extra; i++) {
        if ((s[i] & 0xC0) != 0x80) {
            *p = s + 1;
            return -1;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    *p = s + 1 + extra;
    return cp;
}

// Typed text: each character that fits in a byte (Latin-1) becomes one
// character report, its byte sign-extended; the first is reported by this
// poll, the rest by the following ones. Others have no byte and are dropped.
static void onTextInput(const SDL_TextInputEvent& text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.text);
    const unsigned char* end = p + strnlen(text.text, sizeof text.text);
    bool first = true;
    while (p < end) {
        int32_t cp = decodeUtf8(&p);
        if (cp <= 0 || cp > 0xFF)
            continue;
        int32_t c = static_cast<int8_t>(static_cast<uint8_t>(cp));
        if (first) {
            lastCharacter = c;
            first = false;
        } else if (pendingCount < kPendingChars) {
            pendingChars[(pendingHead + pendingCount) % kPendingChars] = c;
            pendingCount++;
        }
    }
}

static void onMouseMotion(int32_t x, int32_t y)
{
    DisplayPointToPicture(&x, &y);
    // Positions in the letterbox bars are held to the picture's edge, so
    // that -1, -1 keeps meaning "outside the window" alone.
    mouseX = SDL_clamp(x, 0, ScreenImage.width > 0 ? ScreenImage.width - 1 : x);
    mouseY = SDL_clamp(y, 0, ScreenImage.height > 0 ? ScreenImage.height - 1 : y);
    // A window that changes size or place (full screen and back, a resize,
    // a move, the focus coming back) reports motion of a pointer that lies
    // still on the desktop: that is no move of the player's.
    if (!MouseNoteDesktopPosition())
        MouseLiesStill(mouseX, mouseY);
    else
        MouseMoved(mouseX, mouseY);
}

static void onFocusGained()
{
    if (DisplayIsLost())
        DisplayRestore(0);
    // Memory buffers lose nothing, so the restore and reload change no pixel; they stay to mend a lost surface.
    RestoreGameImages();
    LoadGameImages();
    AppActive = 1;
}

static void onFocusLost()
{
    AppActive = 0;
    // Key releases made while another program has the keyboard never reach
    // us; forget the held keys rather than keep one held until it is tapped.
    std::memset(KeyDown, 0, sizeof KeyDown);
    MouseRelease();
}

static void onWindowEvent(const SDL_WindowEvent& window)
{
    switch (window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        onFocusGained();
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        onFocusLost();
        break;
    case SDL_WINDOWEVENT_LEAVE:
        mouseX = -1;
        mouseY = -1;
        MousePointerLeftWindow();
        break;
    // Whatever the window showed may be gone or the wrong size: a still
    // picture is not presented again by itself.
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        DisplayRepaint();
        break;
    default:
        break;
    }
}

void WindowProc(const SDL_Event* event)
{
    if (!insidePoll || event == nullptr)
        return;
    switch (event->type) {
    case SDL_KEYDOWN:
        onKeyDown(event->key);
        // The arrows take the aim back from the mouse.
        if (KeyDown[VkLeft] | KeyDown[VkUp] | KeyDown[VkRight] | KeyDown[VkDown])
            MouseSetAside();
        break;
    case SDL_KEYUP:
        onKeyUp(event->key);
        break;
    case SDL_TEXTINPUT:
        onTextInput(event->text);
        break;
    case SDL_MOUSEMOTION:
        onMouseMotion(event->motion.x, event->motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int32_t pressed = event->type == SDL_MOUSEBUTTONDOWN;
        if (event->button.button == SDL_BUTTON_LEFT && MouseClickIsEnter()) {
            // A mouse player starts a game without the keyboard.
            if (pressed) {
                lastKey = VkReturn;
                lastCharacter = CharEnter;
            }
        } else if (event->button.button == SDL_BUTTON_LEFT) {
            OnLeftButton(pressed);
            if (pressed)
                MouseLeftPressed();
        } else if (event->button.button == SDL_BUTTON_RIGHT)
            OnRightButton(pressed);
        break;
    }
    case SDL_MOUSEWHEEL:
        MouseWheel(event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y);
        break;
    case SDL_WINDOWEVENT:
        onWindowEvent(event->window);
        break;
    case SDL_RENDER_TARGETS_RESET:
        DisplayRestore(0);
        break;
    case SDL_RENDER_DEVICE_RESET:
        DisplayRestore(1);
        break;
    default:
        GamepadEvent(event);
        break;
    }
}

// Takes the next event, folding a run of mouse motion into its last
// position so that a moving mouse costs one poll, not one per motion.
// SDL_PollEvent would also queue a marker event behind the pending ones and
// later spend a whole poll taking it; pumping and then taking keeps every
// poll for a real event.
static int takeEvent(SDL_Event* event)
{
    SDL_PumpEvents();
    do {
        if (SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1)
            return 0;
    } while (event->type == SDL_POLLSENTINEL || GamepadEventSkipped(event->type));
    if (event->type != SDL_MOUSEMOTION)
        return 1;
    SDL_Event next;
    while (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
           next.type == SDL_MOUSEMOTION &&
           SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION) == 1)
        *event = next;
    return 1;
}

void PollEvents(int32_t* keyCode, int32_t* character, int32_t* x, int32_t* y, int32_t* buttons)
{
    // SIGTERM and SIGINT end the game as closing the window does.
    if (QuitRequested())
        QuitGame(0);
    insidePoll = 1;
    WindowPoll();
    MouseNewPoll();
    GamepadNewPoll();
    if (pendingCount > 0) {
        lastCharacter = pendingChars[pendingHead];
        pendingHead = (pendingHead + 1) % kPendingChars;
        pendingCount--;
    } else {
        SDL_Event event;
        if (takeEvent(&event)) {
            if (event.type == SDL_QUIT)
                QuitGame(0);
            WindowProc(&event);
        } else if (!AppActive) {
            // Switched away, the game only polls, with no flip to pace it:
            // rest a little instead of spinning a core until we are back.
            SDL_Delay(kInactivePollWait);
        }
    }
    insidePoll = 0;

    int32_t code = keyCodeOf(lastKey);
    lastKey = 0;
    if (lastAltKey == VkF9)
        code = KeyAltF9;
    lastAltKey = 0;
    *keyCode = code;
    *character = lastCharacter;
    lastCharacter = 0;
    *x = mouseX;
    *y = mouseY;
    *buttons = MouseButtons;
    MouseButtons &= ~(MouseDoubleClick | MouseTripleClick);
}

void PollInput(FrameInput* input)
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t buttons = 0;
    *input = FrameInput{};
    PollEvents(&input->keyCode, &input->character, &x, &y, &buttons);
    const int32_t pad = GamepadHeld();
    input->held = (KeyDown[VkLeft] != 0 || (pad & PadLeft) != 0 ? HeldLeft : 0) |
                  (KeyDown[VkUp] != 0 || (pad & PadUp) != 0 ? HeldUp : 0) |
                  (KeyDown[VkRight] != 0 || (pad & PadRight) != 0 ? HeldRight : 0) |
                  (KeyDown[VkDown] != 0 || (pad & PadDown) != 0 ? HeldDown : 0);
    input->pad = GamepadPressed();
    input->stick = GamepadStickX();
    if (MouseAimTaken(&x, &y))
        input->aim = MouseAimAngle(x, y);
    input->click = MouseClickTaken();
    input->wheel = MouseWheelTaken();
    input->active = AppActive;
}

void InputReset()
{
    std::memset(KeyDown, 0, sizeof KeyDown);
    lastKey = 0;
    lastAltKey = 0;
    lastCharacter = 0;
    pendingHead = 0;
    pendingCount = 0;
    clickCount = 0;
    lastPressTime = 0;
}

void OnLeftButton(int32_t pressed)
{
    if (!pressed) {
        MouseButtons &= ~MouseLeftHeld;
        SDL_CaptureMouse(SDL_FALSE);
        return;
    }
    MouseButtons |= MouseLeftHeld;
    SDL_CaptureMouse(SDL_TRUE);
    if (lastPressTime != 0) {
        if (Stopwatch(&lastPressTime, 1) <= kMultiClickTime) {
            clickCount++;
            if (clickCount == 1)
                MouseButtons |= MouseDoubleClick;
            else if (clickCount == 2)
                MouseButtons |= MouseTripleClick;
            else
                clickCount = 0;
        } else {
            clickCount = 0;
        }
    }
    Stopwatch(&lastPressTime, 0);
}

void OnRightButton(int32_t pressed)
{
    if (pressed) {
        MouseButtons |= MouseRightHeld;
        SDL_CaptureMouse(SDL_TRUE);
    } else {
        MouseButtons &= ~MouseRightHeld;
        SDL_CaptureMouse(SDL_FALSE);
    }
}
