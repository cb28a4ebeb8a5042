// Timing.cpp -- the frame timer and stopwatches on SDL's performance counter.
#include "platform/Timing.h"

#include <SDL.h>

#include <climits>

static int64_t sdlCounter()
{
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

static int64_t sdlFrequency()
{
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

int64_t (*QueryCounter)() = sdlCounter;
int64_t (*QueryFrequency)() = sdlFrequency;

static int64_t frameStart;  // counter value of the last FrameTimer(0)

static constexpr int64_t kMicrosecondsPerSecond = 1000000;
static constexpr int64_t kMillisecondsPerSecond = 1000;

// ticks x unitsPerSecond / rate, truncated toward zero, as a 32-bit result.
// The counter runs in nanoseconds here, so the product overflows 64 bits
// after a few hours of uptime; it is formed in 128 bits instead. Intervals
// that do not fit in 32 bits saturate rather than wrap into a wrong, possibly
// negative, time step.
static int32_t ticksToUnits(int64_t ticks, int64_t unitsPerSecond, int64_t rate)
{
    __int128 units = static_cast<__int128>(ticks) * unitsPerSecond / rate;
    if (units > INT32_MAX)
        return INT32_MAX;
    if (units < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(units);
}

int32_t FrameTimer(int32_t mode)
{
    int64_t rate = QueryFrequency();
    if (rate <= 0)
        return kFallbackFrameTime;
    int64_t now = QueryCounter();
    if (mode == 0) {
        frameStart = now;
        return 0;
    }
    return ticksToUnits(now - frameStart, kMicrosecondsPerSecond, rate);
}

int32_t Stopwatch(int64_t* value, int32_t mode)
{
    int64_t rate = QueryFrequency();
    if (rate <= 0 || value == nullptr)
        return 0;
    int64_t now = QueryCounter();
    if (mode == 0) {
        *value = now;
        return 0;
    }
    return ticksToUnits(now - *value, kMillisecondsPerSecond, rate);
}
