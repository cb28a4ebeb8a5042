// Timing.h -- the frame timer (microseconds) and caller-owned stopwatches
// (milliseconds) on the performance counter.
//
// Without a performance counter (a frequency of 0) FrameTimer reports 14000
// and Stopwatch reports 0, in every mode.
#pragma once

#include <cstdint>

// Frame length reported when there is no performance counter: 14 ms.
inline constexpr int32_t kFallbackFrameTime = 14000;

// Mode 0 starts the frame timer and returns 0; any other mode returns the
// microseconds since the last start (from counter value 0 before the first),
// without restarting it. Intervals too long for 32 bits read as INT32_MAX.
int32_t FrameTimer(int32_t mode);

// Mode 0 stores the counter in *value and returns 0; any other mode returns
// the milliseconds since *value, leaving it alone. A stored value of 0 means
// "never started" to the multi-click detection.
int32_t Stopwatch(int64_t* value, int32_t mode);

// Where the clocks read the counter and its rate in ticks per second: SDL's
// performance counter by default. Tests put their own clock here; a rate of
// 0 stands for a machine without a performance counter.
extern int64_t (*QueryCounter)();
extern int64_t (*QueryFrequency)();
