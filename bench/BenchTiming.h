// BenchTiming.h -- the benchmarks' side-by-side timing: one run of a piece of
// work in seconds, and the median of many.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double median(std::vector<double>& v)
{
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

template <class F>
double timed(F&& f)
{
    auto t0 = BenchClock::now();
    f();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(BenchClock::now() - t0).count();
}
