// Mouse.cpp -- the pointer that the cannon follows, shown only while it is
// in use.
#include "platform/Mouse.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>

#include "gfx/GameImages.h"
#include "platform/Events.h"
#include "platform/Platform.h"
#include "rules/Board.h"
#include "rules/Shot.h"

static int32_t inUse;        // 1 from the take-over until a key is pressed
static int32_t startX = -1;  // where the mouse was first seen since then; -1 none
static int32_t startY = -1;
static int32_t aimPending;  // this poll's results
static int32_t aimX;
static int32_t aimY;
static int32_t clickPending;
static int32_t wheelPending;
static int32_t clicksAreEnter;
static int desktopX = -1;  // where the pointer lay on the desktop at the latest note
static int desktopY = -1;
static int32_t desktopMoved = -1;  // this poll's answer once asked; -1 before

static void takeOver()
{
    if (!inUse)
        SDL_ShowCursor(SDL_ENABLE);
    inUse = 1;
}

void MouseMoved(int32_t x, int32_t y)
{
    if (!inUse) {
        if (startX < 0) {
            startX = x;
            startY = y;
            return;
        }
        if (std::abs(x - startX) + std::abs(y - startY) < kMouseTakeOver)
            return;
        takeOver();
    }
    aimPending = 1;
    aimX = x;
    aimY = y;
}

// Where the pointer is on the X screen, asked of the server: SDL's own
// answer comes from a cache that not every server keeps fresh. 0 when
// the window is not on X.
static int askX11(int* x, int* y)
{
    using QueryPointer = int (*)(Display*, Window, Window*, Window*, int*, int*, int*, int*, unsigned int*);
    static QueryPointer query;
    static bool looked;
    if (!looked) {
        looked = true;
        if (void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD)) {
            query = reinterpret_cast<QueryPointer>(dlsym(xlib, "XQueryPointer"));
            dlclose(xlib);  // SDL keeps it loaded
        }
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (query == nullptr || MainWindow == nullptr || !SDL_GetWindowWMInfo(MainWindow, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return 0;
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    return query(info.info.x11.display, info.info.x11.window, &root, &child, x, y, &windowX, &windowY, &mask) != 0;
}

int32_t MouseNoteDesktopPosition()
{
    // Every motion event of one poll was queued before the first is read:
    // the server is asked once a poll, and its answer holds for them all
    // (asking per event would judge all but the first as lying still).
    if (desktopMoved >= 0)
        return desktopMoved;
    const int lastX = desktopX;
    const int lastY = desktopY;
    if (!askX11(&desktopX, &desktopY))
        SDL_GetGlobalMouseState(&desktopX, &desktopY);
    desktopMoved = desktopX != lastX || desktopY != lastY;
    return desktopMoved;
}

void MouseLiesStill(int32_t x, int32_t y)
{
    if (!inUse) {
        startX = x;
        startY = y;
    }
}

void MousePointerLeftWindow()
{
    // Coming back in is a new start, not a move across the window.
    if (!inUse)
        startX = startY = -1;
}

void MouseLeftPressed()
{
    takeOver();
    clickPending = 1;
}

void MouseSetAside()
{
    if (inUse)
        SDL_ShowCursor(SDL_DISABLE);
    inUse = 0;
    startX = startY = -1;
}

void MouseRelease()
{
    SDL_CaptureMouse(SDL_FALSE);
    MouseButtons &= ~(MouseLeftHeld | MouseRightHeld);
}

void MouseWheel(int32_t notches)
{
    wheelPending = notches;
}

void MouseClicksAreEnter(int32_t yes)
{
    clicksAreEnter = yes;
}

int32_t MouseClickIsEnter()
{
    return clicksAreEnter;
}

void MouseNewPoll()
{
    aimPending = 0;
    clickPending = 0;
    wheelPending = 0;
    desktopMoved = -1;
}

int32_t MouseWheelTaken()
{
    return wheelPending;
}

int32_t MouseAimTaken(int32_t* x, int32_t* y)
{
    *x = aimX;
    *y = aimY;
    return aimPending;
}

int32_t MouseClickTaken()
{
    return clickPending;
}

int32_t MouseAimAngle(int32_t x, int32_t y)
{
    int32_t cannonX = 0;
    int32_t cannonY = 0;
    GetCannonPos(&cannonX, &cannonY);
    const double dx = x - (cannonX + cannonImage.width / 2);
    const double dy = (cannonY + cannonImage.height / 2) - y;
    if (dx == 0 && dy == 0)
        return 0;
    // Angles grow clockwise from straight up, kAngleFull to the turn.
    const double turns = std::atan2(dx, dy) / (2 * M_PI);
    int32_t angle = static_cast<int32_t>(std::lround(turns * kAngleFull));
    angle = (angle + kAngleFull) % kAngleFull;
    if (angle > kAimRightLimit && angle < kAimLeftLimit)
        return dx >= 0 ? kAimRightLimit : kAimLeftLimit;
    return angle;
}
