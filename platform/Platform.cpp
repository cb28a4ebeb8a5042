// Platform.cpp -- start-up and shutdown order, and the main window.
#include "platform/Platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "gfx/GameImages.h"
#include "gfx/SineTable.h"
#include "gfx/Text.h"
#include "platform/Display.h"
#include "platform/Events.h"
#include "platform/Mouse.h"
#include "platform/Quit.h"
#include "platform/Window.h"
#include "resources/Resources.h"

SDL_Window* MainWindow;

static bool videoStarted;

static constexpr int32_t kScreenBits = 32;

// The one kind of report the program makes: on standard error (there may be
// no screen to show a box on) and in a message box, then exit status 1.
// Standard error also gets what went wrong and what to do, when known.
static void failStart(const char* text, const char* detail = nullptr)
{
    std::fprintf(stderr, "%s\n", text);
    if (detail != nullptr)
        std::fprintf(stderr, "kelvane: %s\n", detail);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "ERROR", text, nullptr);
    std::exit(1);
}

static bool isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

// Why no window could be opened, for the line after the message.
static const char* windowFailure()
{
    static char text[256];
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY"))
        return "cannot open a window: no display (is DISPLAY or WAYLAND_DISPLAY set?)";
    const char* why = SDL_GetError();
    std::snprintf(text, sizeof text, "cannot open a window on the display%s%s", why[0] != '\0' ? ": " : "", why);
    return text;
}

void PlatformStart(int32_t width, int32_t height)
{
    std::atexit(PlatformShutdown);
    BuildSineTable();
    FontLoad();
    InputReset();
    if (!CreateMainWindow(width, height))
        failStart("Failed to create window", windowFailure());
    QuitWatchDisplay();
    if (!DisplayStart(width, height, kScreenBits))
        failStart("Failed to init DirectDraw");
    WindowSetMinimum();
    DisplayBackBuffer(&ScreenImage);
    CreateGameImages();
    LoadGameImages();
    // What the window system reported while the window and the display were
    // being made is not input: the first poll starts from an empty queue,
    // keeping only a quit request (from a signal, say).
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_QUIT + 1, SDL_LASTEVENT);
    MouseNoteDesktopPosition();
    AppActive = 1;
}

void PlatformShutdown()
{
    ReleaseGameImages();
    DisplayShutdown();
    DestroyMainWindow();
}

// 1 unless the video driver in use shows nothing and was not asked for.
static int usableVideoDriver()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr)
        return 0;
    if (SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0)
        return 1;
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return asked != nullptr && SDL_strcasestr(asked, driver) != nullptr;
}

// The task bar's picture of the game, from the table (64 x 64 RGBA bytes);
// a window without it only looks plainer.
static void setWindowIcon()
{
    constexpr int kIconSize = 64;
    const ResourceEntry* icon = ResourceFind("KelvaneIcon", kResourceRaw);
    if (icon == nullptr || icon->size != size_t(kIconSize * kIconSize * 4))
        return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(icon->bytes), kIconSize,
                                                              kIconSize, 32, kIconSize * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr)
        return;
    SDL_SetWindowIcon(MainWindow, surface);
    SDL_FreeSurface(surface);
}

// Inside a Wayland session the game talks to the compositor itself rather
// than through its X server: there it draws at the screen's own pixels on a
// scaled desktop, where through X the picture would be enlarged again,
// blurred, by the compositor. (Window decorations come from the compositor
// or from libdecor, which SDL loads.) X remains the fallback, and a driver
// the player names in SDL_VIDEODRIVER is left alone.
static void preferWayland()
{
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0' && SDL_getenv("SDL_VIDEODRIVER") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
}

int CreateMainWindow(int32_t width, int32_t height)
{
    preferWayland();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return 0;
    videoStarted = true;
    // Without a display SDL falls back to drawing into memory, where nobody
    // would see the game or could end it. Only a run that asks for such a
    // driver by name (the tests) gets one.
    if (!usableVideoDriver())
        return 0;
    MainWindow = WindowCreate(width, height);
    if (MainWindow == nullptr)
        return 0;
    setWindowIcon();
    SDL_ShowCursor(SDL_DISABLE);
    SDL_StartTextInput();
    return 1;
}

void DestroyMainWindow()
{
    if (MainWindow != nullptr) {
        WindowSaveSettings();
        SDL_DestroyWindow(MainWindow);
        MainWindow = nullptr;
    }
    if (videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted = false;
        // Once nothing else uses SDL, let it drop its global connections too
        // (the desktop bus the window opened, for one).
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
            SDL_Quit();
    }
}
