// Showing a frame: the upload and present of the whole 640x480 picture on
// SDL's dummy video driver (software renderer, scaled to its 1024x768
// desktop), beside a plain copy of the same bytes; and a paced Present.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Display.h"
#include "platform/Platform.h"

static void startDummyPlatform()
{
    static bool started = false;
    if (started)
        return;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    PlatformStart(640, 480);
    started = true;
}

static void fillFrame(Image* image)
{
    uint32_t* pixels;
    int32_t pitch;
    ImageLock(image, image, &pixels, &pixels, &pitch, &pitch);
    for (int32_t y = 0; y < image->height; y++)
        for (int32_t x = 0; x < image->width; x++)
            pixels[y * pitch + x] = static_cast<uint32_t>(x * 0x010203 + y * 0x030201) & 0xFFFFFF;
    ImageUnlock(image, image);
}

static constexpr size_t kFrameBytes = 640 * 480 * sizeof(uint32_t);

static void BM_DisplayShowFrame(benchmark::State& state)
{
    startDummyPlatform();
    fillFrame(&ScreenImage);
    // SDL's software renderer simulates vsync by sleeping; the work alone is
    // measured here.
    SDL_RenderSetVSync(DisplayRenderer, 0);
    for (auto _ : state)
        DisplayShow();
    SDL_RenderSetVSync(DisplayRenderer, 1);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_DisplayShowFrame)->Unit(benchmark::kMicrosecond);

static void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<uint32_t> from(kFrameBytes / 4, 0x123456), to(kFrameBytes / 4);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

// The whole Present, with its wait for the display: one refresh per frame.
static void BM_PresentPaced(benchmark::State& state)
{
    startDummyPlatform();
    for (auto _ : state)
        Present(&ScreenImage);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PresentPaced)->Unit(benchmark::kMillisecond)->Iterations(60)->UseRealTime();
