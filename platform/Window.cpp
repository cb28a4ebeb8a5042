// Window.cpp -- full screen or a window, the window's size kept between
// runs, and the choice of scaling.
#include "platform/Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <algorithm>

#include "gfx/GameImages.h"
#include "platform/Display.h"
#include "platform/Platform.h"
#include "player/Settings.h"

static int32_t pictureWidth = kPictureWidth;
static int32_t pictureHeight = kPictureHeight;

// The size last given to the window by the game itself: reports of it are
// not the player's choice.
static int askedWidth;
static int askedHeight;
// A size the player gave the window, kept once resizing has settled.
static bool sizePending;
static int pendingWidth;
static int pendingHeight;
static Uint64 pendingSince;
static bool watching;
static bool tooSmall;
// The window was maximised (1) or given back its own size (0); -1: neither
// since the last poll.
static int maximisedNow = -1;

// A window dragged to a new size reports every step; the file is written
// once the size has held this long.
static constexpr Uint64 kSettleTime = 500;  // ms

static int displayOfWindow()
{
    const int index = MainWindow != nullptr ? SDL_GetWindowDisplayIndex(MainWindow) : 0;
    return index >= 0 ? index : 0;
}

// The saved size when it still fits the desktop; else the largest whole
// multiple of the picture that fits its usable area.
static SDL_Point windowSizeOn(int display)
{
    SDL_Rect usable{0, 0, pictureWidth, pictureHeight};
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0 || usable.w <= 0 || usable.h <= 0)
        usable = {0, 0, pictureWidth, pictureHeight};
    // A size kept by an earlier version may be below today's smallest.
    const int w = std::max(GameSettings.windowWidth, kWindowMinWidth);
    const int h = std::max(GameSettings.windowHeight, kWindowMinHeight);
    if (GameSettings.windowWidth > 0 && GameSettings.windowHeight > 0 && w <= usable.w && h <= usable.h)
        return {w, h};
    const int factor = std::min(usable.w / pictureWidth, usable.h / pictureHeight);
    if (factor >= 1)
        return {pictureWidth * factor, pictureHeight * factor};
    // A desktop smaller than the picture: the largest window of its shape.
    const int fitted = std::max(kWindowMinWidth, std::min(usable.w, usable.h * pictureWidth / pictureHeight));
    return {fitted, fitted * pictureHeight / pictureWidth};
}

static bool isFullscreen()
{
    return (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_FULLSCREEN) != 0;
}

void WindowToggleScale()
{
    GameSettings.scale = GameSettings.scale == kScaleWhole ? kScaleFill : kScaleWhole;
    DisplayRepaint();
    SettingsSave();
}

// Window events are seen as they arrive, before the frame loop takes them:
// the next frame is already scaled for the new size.
static int SDLCALL watchWindow(void* userdata, SDL_Event* event)
{
    (void)userdata;
    if (event->type != SDL_WINDOWEVENT || MainWindow == nullptr ||
        event->window.windowID != SDL_GetWindowID(MainWindow))
        return 0;
    // Full screen comes and goes through the window manager's states too:
    // only a window's own maximising is the player's.
    const Uint8 what = event->window.event;
    if ((what == SDL_WINDOWEVENT_MAXIMIZED || what == SDL_WINDOWEVENT_RESTORED) && !isFullscreen()) {
        // (Restored from the task bar, it may still be maximised.)
        maximisedNow = (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_MAXIMIZED) != 0;
        sizePending = sizePending && !maximisedNow;
    }
    if (what != SDL_WINDOWEVENT_SIZE_CHANGED)
        return 0;
    // The frame that took this in presents the picture anew, black bars
    // and all, whatever else waits in the queue: the window never shows
    // the server's background or a stretched old frame for long.
    DisplayRepaint();
    const int w = event->window.data1;
    const int h = event->window.data2;
    // A maximised window's size is the desktop's, not one the player chose.
    if (isFullscreen() || (SDL_GetWindowFlags(MainWindow) & SDL_WINDOW_MAXIMIZED) != 0)
        return 0;
    // Where no window manager holds the window to its smallest size, the
    // game puts it back (once the events are taken: not from in here).
    if (w < kWindowMinWidth || h < kWindowMinHeight)
        tooSmall = true;
    // The game's own resizing passes through other sizes on its way.
    if (w == askedWidth && h == askedHeight) {
        sizePending = false;
    } else {
        sizePending = true;
        pendingWidth = w;
        pendingHeight = h;
        pendingSince = SDL_GetTicks64();
    }
    return 0;
}

SDL_Window* WindowCreate(int32_t width, int32_t height)
{
    pictureWidth = width;
    pictureHeight = height;
    sizePending = false;
    SDL_Window* window;
    if (GameSettings.fullscreen) {
        // A full-screen window fills the screen reliably only when it is made
        // at the desktop's size (a bare X server has no manager to resize it).
        SDL_DisplayMode desktop;
        int w = width;
        int h = height;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            w = desktop.w;
            h = desktop.h;
        }
        window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                  SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI);
    } else {
        const SDL_Point size = windowSizeOn(0);
        askedWidth = size.x;
        askedHeight = size.y;
        const Uint32 maximised = GameSettings.maximised ? SDL_WINDOW_MAXIMIZED : 0;
        window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.x, size.y,
                                  SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI | maximised);
    }
    if (window == nullptr)
        return nullptr;
    if (!watching)
        SDL_AddEventWatch(watchWindow, nullptr);
    watching = true;
    return window;
}

static void keepPendingSize()
{
    if (!sizePending)
        return;
    sizePending = false;
    // (A window manager may not honour the minimum size.)
    GameSettings.windowWidth = std::clamp(pendingWidth, kWindowMinWidth, kSettingsMaxWindow);
    GameSettings.windowHeight = std::clamp(pendingHeight, kWindowMinHeight, kSettingsMaxWindow);
    SettingsSave();
}

void WindowSaveSettings()
{
    keepPendingSize();
    if (watching)
        SDL_DelEventWatch(watchWindow, nullptr);
    watching = false;
}

// An X window made by SDL has no background: while it grows, what lies
// behind it (a window manager's white frame) shows until the next picture
// is presented. A black one is what the bars are anyway.
static void blackBackground()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(MainWindow, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (xlib == nullptr)
        return;
    using SetBackground = int (*)(Display*, Window, unsigned long);
    auto set = reinterpret_cast<SetBackground>(dlsym(xlib, "XSetWindowBackground"));
    if (set != nullptr)
        set(info.info.x11.display, info.info.x11.window, 0);  // black on every true-colour visual
    dlclose(xlib);
}

void WindowSetMinimum()
{
    // Making the renderer may have made the window anew (for OpenGL), and
    // a new X window has lost its size hints: they are given once it is
    // there for good.
    if (MainWindow == nullptr)
        return;
    SDL_SetWindowMinimumSize(MainWindow, kWindowMinWidth, kWindowMinHeight);
    blackBackground();
}

void WindowPoll()
{
    if (maximisedNow >= 0) {
        if (GameSettings.maximised != maximisedNow) {
            GameSettings.maximised = maximisedNow;
            SettingsSave();
        }
        maximisedNow = -1;
    }
    if (tooSmall && MainWindow != nullptr) {
        tooSmall = false;
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(MainWindow, &w, &h);
        if (!isFullscreen() && (w < kWindowMinWidth || h < kWindowMinHeight))
            SDL_SetWindowSize(MainWindow, std::max(w, kWindowMinWidth), std::max(h, kWindowMinHeight));
    }
    if (sizePending && SDL_GetTicks64() - pendingSince >= kSettleTime)
        keepPendingSize();
}

void WindowToggleFullscreen()
{
    if (MainWindow == nullptr)
        return;
    const int display = displayOfWindow();
    if (isFullscreen()) {
        SDL_SetWindowFullscreen(MainWindow, 0);
        SDL_SetWindowResizable(MainWindow, SDL_TRUE);
        const SDL_Point size = windowSizeOn(display);
        askedWidth = size.x;
        askedHeight = size.y;
        SDL_SetWindowSize(MainWindow, size.x, size.y);
        SDL_SetWindowPosition(MainWindow, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(display));
        if (GameSettings.maximised)
            SDL_MaximizeWindow(MainWindow);
        GameSettings.fullscreen = 0;
    } else {
        keepPendingSize();
        // Without a window manager nobody would resize the window for full
        // screen: it is given the display's bounds first.
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(display, &bounds) == 0) {
            askedWidth = bounds.w;
            askedHeight = bounds.h;
            SDL_SetWindowPosition(MainWindow, bounds.x, bounds.y);
            SDL_SetWindowSize(MainWindow, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(MainWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
        GameSettings.fullscreen = 1;
    }
    DisplayRepaint();
    SettingsSave();
}
