/* probe.c -- preloaded into the game and the yardstick by present_bench.sh.
 *
 * PROBE_START (nanoseconds of CLOCK_REALTIME taken just before the exec)
 * and PROBE_OUT (a file): the first SDL_RenderPresent appends how long
 * after the exec it returned, in seconds; with PROBE_EXIT the process then
 * ends at once. PROBE_ENTER_AFTER (seconds): from then on, the next event
 * pump puts a press and release of Enter in the queue, once, as a player
 * starting a game would; PROBE_FIRE_EVERY (seconds) then types a space that
 * often, so that a ball is in flight most of the time. PROBE_FRAMES (a file)
 * always holds the number of frames presented so far. */
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double nowSeconds(void)
{
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

void SDL_RenderPresent(SDL_Renderer* renderer)
{
    static void (*real)(SDL_Renderer*);
    static int seen;
    if (real == NULL)
        real = (void (*)(SDL_Renderer*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    real(renderer);
    static int frames = -2; /* -2: not looked up yet, -1: not asked for */
    if (frames == -2) {
        const char* path = getenv("PROBE_FRAMES");
        frames = path != NULL ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    if (frames >= 0) {
        char line[16];
        int n = snprintf(line, sizeof line, "%10d\n", seen + 1);
        if (pwrite(frames, line, (size_t)n, 0) < 0)
            frames = -1;
    }
    if (seen++)
        return;
    const char* start = getenv("PROBE_START");
    const char* out = getenv("PROBE_OUT");
    if (start == NULL || out == NULL)
        return;
    FILE* f = fopen(out, "a");
    if (f != NULL) {
        fprintf(f, "%.4f\n", nowSeconds() - atof(start) * 1e-9);
        fclose(f);
    }
    if (getenv("PROBE_EXIT") != NULL)
        _exit(0);
}

static void pushKey(Uint32 type)
{
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = SDLK_RETURN;
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    SDL_PushEvent(&e);
}

void SDL_PumpEvents(void)
{
    static void (*real)(void);
    static double due = -1;
    static int pushed;
    static double every = -1, fireDue;
    if (real == NULL) {
        const char* fire = getenv("PROBE_FIRE_EVERY");
        if (fire != NULL)
            every = atof(fire);
        real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_PumpEvents");
        const char* after = getenv("PROBE_ENTER_AFTER");
        if (after != NULL)
            due = nowSeconds() + atof(after);
    }
    real();
    if (due >= 0 && !pushed && nowSeconds() >= due) {
        pushKey(SDL_KEYDOWN);
        pushKey(SDL_KEYUP);
        pushed = 1;
        fireDue = nowSeconds() + 0.5;
    }
    if (pushed && every > 0 && nowSeconds() >= fireDue) {
        /* Space fires as the character it types */
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_TEXTINPUT;
        e.text.text[0] = ' ';
        SDL_PushEvent(&e);
        fireDue += every;
    }
}
