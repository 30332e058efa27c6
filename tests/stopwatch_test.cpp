#include "measure/stopwatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

namespace {

// Clocks set by hand; the stopwatch takes plain function pointers.
std::int32_t g_ticks = 0;
std::time_t g_seconds = 0;

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_ticks = 5000;
        g_seconds = 1700000000;
    }
    // Advances both clocks together, as real time would.
    static void wait(std::int32_t milliseconds) {
        g_ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_ticks) + milliseconds);
        g_seconds += milliseconds / 1000;
    }
    Stopwatch stopwatch{[] { return g_ticks; }, [] { return g_seconds; }};
};

TEST_F(StopwatchTest, UnderAnHourReportsTheTickSpanWithItsFraction) {
    g_ticks = INT32_MAX - 200;  // the tick counter wraps around on the way
    stopwatch.start();
    wait(1500);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 1.5);
    wait(3598 * 1000 + 499);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 3599.999);
}

TEST_F(StopwatchTest, SecondStartIsIgnoredAndElapsedAfterStopStillCounts) {
    stopwatch.start();
    wait(700);
    stopwatch.start();
    wait(300);
    stopwatch.stop();
    wait(1250);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 2.25);
}

TEST_F(StopwatchTest, FromAnHourOnReportsWholeCalendarSeconds) {
    stopwatch.start();
    g_ticks += 3600 * 1000 + 400;
    g_seconds += 3600;
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 3600.0);
    g_seconds += 4000;
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 7600.0);
}

// clock() counts processor time; a sleep burns none, so only a wall-clock
// counter sees it.
TEST(WallClockTicks, CountSleepingTimeInMilliseconds) {
    Stopwatch stopwatch;
    stopwatch.start();
    const std::timespec pause{0, 120 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    EXPECT_GE(stopwatch.elapsed(), 0.119);
}

}  // namespace
