// Frame timer and stopwatch on a counter the test moves by hand.
#include <climits>

#include "platform_support.h"

namespace {

class TimingTest : public ::testing::Test {
protected:
    void SetUp() override { ManualClock::install(); }
    void TearDown() override
    {
        QueryCounter = savedCounter;
        QueryFrequency = savedFrequency;
    }
    int64_t (*savedCounter)() = QueryCounter;
    int64_t (*savedFrequency)() = QueryFrequency;
};

TEST_F(TimingTest, IntervalsTruncateAndReadsDoNotRestart)
{
    ManualClock::ticks = 5000;
    EXPECT_EQ(FrameTimer(0), 0);
    int64_t watch = 0;
    EXPECT_EQ(Stopwatch(&watch, 0), 0);
    EXPECT_EQ(watch, 5000);

    ManualClock::ticks += 16667;
    EXPECT_EQ(FrameTimer(1), 16667);
    EXPECT_EQ(Stopwatch(&watch, 1), 16);  // 16.667 ms truncated
    EXPECT_EQ(watch, 5000) << "a read leaves the stored value alone";

    ManualClock::ticks += 10000;
    EXPECT_EQ(FrameTimer(1), 26667) << "a second read measures from the same start";
    EXPECT_EQ(Stopwatch(&watch, 1), 26);

    // Any rate: a 3 MHz counter, 7 ticks short of 1 ms.
    ManualClock::rate = 3000000;
    ManualClock::ticks = 100;
    FrameTimer(0);
    ManualClock::ticks += 2993;
    EXPECT_EQ(FrameTimer(1), 997);
}

TEST_F(TimingTest, WithoutCounterFrameIs14msAndStopwatchIsZero)
{
    ManualClock::ticks = 777;
    FrameTimer(0);
    ManualClock::rate = 0;
    ManualClock::ticks = 5000000;
    EXPECT_EQ(FrameTimer(0), kFallbackFrameTime);
    EXPECT_EQ(FrameTimer(1), kFallbackFrameTime);
    int64_t watch = 0;
    EXPECT_EQ(Stopwatch(&watch, 0), 0);
    EXPECT_EQ(watch, 0) << "no start is stored without a counter";
    EXPECT_EQ(Stopwatch(&watch, 1), 0);

    // The frame start was not touched by the fallback calls.
    ManualClock::rate = 1000000;
    EXPECT_EQ(FrameTimer(1), 5000000 - 777);
}

// A nanosecond counter a few weeks after boot: tick differences times a
// million no longer fit in 64 bits. Long intervals saturate instead of
// wrapping into nonsense (or overflowing).
TEST_F(TimingTest, LongIntervalsSaturateWithoutOverflow)
{
    ManualClock::rate = 1000000000;
    ManualClock::ticks = 1;
    FrameTimer(0);
    ManualClock::ticks = 3'000'000'000'000'000LL;  // about 35 days
    EXPECT_EQ(FrameTimer(1), INT32_MAX);
    int64_t watch = 0;
    Stopwatch(&watch, 0);
    ManualClock::ticks += 2'500'000'000'000LL;  // 2500 s: fits in milliseconds
    EXPECT_EQ(Stopwatch(&watch, 1), 2'500'000);
    ManualClock::ticks += 3'000'000'000'000'000LL;
    EXPECT_EQ(Stopwatch(&watch, 1), INT32_MAX);

    // A counter that went backwards gives a negative interval, not garbage.
    ManualClock::ticks = 1'000'000'000'000LL;
    FrameTimer(0);
    ManualClock::ticks -= 2000;
    EXPECT_EQ(FrameTimer(1), -2);
}

}  // namespace
