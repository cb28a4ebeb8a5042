// Quit.cpp -- ending on a closed window, a signal or a lost display.
#include "platform/Quit.h"

#include <dlfcn.h>
#include <unistd.h>

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

static constexpr int kMaxSavers = 8;
static void (*savers[kMaxSavers])();
static int saverCount;
static bool saved;
static volatile std::sig_atomic_t signalled;
// -1 until an ending is under way; then the status it ends with.
static int quitStatus = -1;

static void onSignal(int)
{
    signalled = 1;
}

void QuitStart()
{
    // SDL would turn the signals into a quit event that only the next poll
    // sees; the flag is read there all the same, and also works where SDL's
    // own handler is not installed (before the video starts, say).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void QuitAddSaver(void (*saver)())
{
    for (int i = 0; i < saverCount; i++)
        if (savers[i] == saver)
            return;
    if (saverCount < kMaxSavers)
        savers[saverCount++] = saver;
}

int QuitRequested()
{
    return signalled != 0;
}

static void runSavers()
{
    if (saved)
        return;
    saved = true;
    for (int i = saverCount - 1; i >= 0; i--)
        savers[i]();
}

void QuitGame(int status)
{
    quitStatus = status;
    runSavers();
    std::exit(status);
}

void QuitLostDisplay()
{
    // The exit hooks may be what found the connection dead: the savers have
    // run, end with the status that was asked for.
    if (quitStatus >= 0)
        _exit(quitStatus);
    quitStatus = 1;
    runSavers();
    std::fputs("kelvane: lost the connection to the display: the game ends\n", stderr);
    std::fflush(stderr);
    _exit(1);
}

// Xlib calls this when the connection is gone; returning would make it
// exit(), whose hooks wait on that connection.
static int onDisplayLost(void*)
{
    QuitLostDisplay();
}

void QuitWatchDisplay()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcmp(driver, "x11") != 0)
        return;
    // SDL brought Xlib in; take its handler setter from the copy loaded.
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (xlib == nullptr)
        return;
    using Handler = int (*)(void*);
    using SetHandler = Handler (*)(Handler);
    auto set = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"));
    if (set != nullptr)
        set(onDisplayLost);
    dlclose(xlib);
}
