// replay_bench.cpp -- what recording every game costs: the work a frame adds
// (its input kept, a checkpoint now and then) beside the 16.7 ms a frame has
// at 60 Hz and the 6.9 ms it has at 144 Hz, the file a ten-minute game makes
// at both rates, and the one-off compression when the game ends.
//
// The frame times are modelled on a trace of a real game's (under Xvfb): most
// within a few tens of microseconds of the refresh period, one in three
// further off, a few by milliseconds. They are kept exactly, so this jitter
// is most of a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "flow/Recorder.h"
#include "flow/ScoreTable.h"
#include "player/ReplayFile.h"
#include "rules/Board.h"
#include "rules/GameState.h"

namespace {

constexpr int32_t kTenMinutes = 600;

struct Noise {
    uint32_t state = 12345;
    uint32_t next() { return state = state * 1664525u + 1013904223u, state >> 8; }
};

// A ten-minute game at this rate: frame times with jitter, the arrows held
// in runs, a shot every second or so, now and then the mouse.
Replay tenMinuteGame(int32_t hertz)
{
    Noise noise;
    Replay replay;
    replay.table.assign(kReplayTableSize, ' ');
    const int32_t period = 1000000 / hertz;
    const int32_t frames = kTenMinutes * hertz;
    for (int32_t f = 0; f < frames; f++) {
        FrameInput in;
        const uint32_t r = noise.next();
        const int32_t jitter = r % 3 != 0    ? int32_t(r >> 4 & 63) - 32
                               : r % 97 == 0 ? int32_t(r >> 4 & 4095)
                                             : int32_t(r >> 4 & 511) - 256;
        in.elapsed = period + jitter;
        in.held = (f / (hertz / 2)) % 4 == 1 ? HeldLeft : (f / (hertz / 2)) % 4 == 3 ? HeldRight : 0;
        in.character = f % hertz == 0 ? ' ' : 0;
        in.aim = f % (hertz * 7) < hertz / 4 ? 1200 + f % 200 : kNoAim;
        replay.frames.push_back(in);
        if (uint32_t(f) % kCheckpointFrames == 0)
            replay.checkpoints.push_back({uint32_t(f), f * 3, f / 20000, uint32_t(noise.next())});
    }
    return replay;
}

void BM_RecordFrame(benchmark::State& state)
{
    FrameInput in;
    in.elapsed = 16667;
    int64_t kept = 0;
    for (auto _ : state) {
        if (kept++ % 200000 == 0) {
            state.PauseTiming();
            RecorderBegin();  // a fresh game, so that memory stays that of one long game
            state.ResumeTiming();
        }
        RecordFrame(in);
        RecordCheckpoint();
    }
    // Seconds a frame over 1/100 of the 16.7 ms a 60 Hz frame has: per cent of a frame.
    state.counters["pct_of_60Hz_frame"] =
        benchmark::Counter(16667e-6 / 100, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordFrame);

void BM_TenMinuteFile(benchmark::State& state)
{
    const Replay replay = tenMinuteGame(int32_t(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state)
        bytes = ReplayEncode(replay).size();
    state.counters["file_bytes"] = double(bytes);
    state.counters["frames"] = double(replay.frames.size());
}
BENCHMARK(BM_TenMinuteFile)->Arg(60)->Arg(144)->Unit(benchmark::kMillisecond);

}  // namespace
