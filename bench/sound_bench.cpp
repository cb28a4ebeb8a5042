// sound_bench.cpp -- the limiter on the mixed output: its time per 512-frame
// stereo buffer at 22050 Hz (what the mixer hands its post-mix hook, 23.2 ms
// of sound), on a mix it leaves alone and on one it must keep turning down.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "sound/Limiter.h"

static void BM_LimiterBuffer512(benchmark::State& state)
{
    constexpr int kFrames = 512, kBuffers = 64;
    // Tones and a touch of noise, at -20 dBFS (never limited) or near full scale (always).
    const double level = state.range(0) ? 0.9 : 0.1;
    std::vector<int16_t> mix(2 * kFrames * kBuffers);
    uint32_t noise = 1;
    for (size_t i = 0; i < mix.size() / 2; i++) {
        noise = noise * 1664525u + 1013904223u;
        double v =
            0.6 * std::sin(double(i) * 0.11) + 0.3 * std::sin(double(i) * 0.73) + 0.1 * (noise / 4294967296.0 - 0.5);
        mix[2 * i] = mix[2 * i + 1] = int16_t(std::lround(32767 * level * v));
    }
    static Limiter limiter;
    LimiterReset(&limiter, 22050, 2);
    std::vector<int16_t> buffer(2 * kFrames);
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(buffer.data(), mix.data() + next * buffer.size(), buffer.size() * sizeof(int16_t));
        LimiterProcess(&limiter, buffer.data(), kFrames);
        benchmark::DoNotOptimize(buffer.data());
        next = (next + 1) % kBuffers;
    }
    state.SetLabel(state.range(0) ? "limiting; of a 23.2 ms buffer" : "quiet; of a 23.2 ms buffer");
}
BENCHMARK(BM_LimiterBuffer512)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
