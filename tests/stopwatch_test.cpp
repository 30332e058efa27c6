#include "measure/stopwatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

namespace {

// Clocks the test sets by hand. The stopwatch takes plain function pointers,
// so the readings live in globals of this file.
std::int32_t g_ticks = 0;
std::time_t g_seconds = 0;

std::int32_t manualTicks() {
    return g_ticks;
}
std::time_t manualTime() {
    return g_seconds;
}

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_ticks = 5000;
        g_seconds = 1700000000;
    }
    // Advances both clocks together, as real time would.
    void wait(std::int32_t milliseconds) {
        g_ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_ticks) + milliseconds);
        g_seconds += milliseconds / 1000;
    }
    Stopwatch stopwatch{manualTicks, manualTime};
};

TEST_F(StopwatchTest, ReportsMillisecondSpansInSeconds) {
    stopwatch.start();
    wait(1500);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 1.5);
}

TEST_F(StopwatchTest, SecondStartIsIgnored) {
    stopwatch.start();
    wait(700);
    stopwatch.start();
    wait(300);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 1.0);
}

TEST_F(StopwatchTest, ElapsedAfterStopStillCounts) {
    stopwatch.start();
    wait(250);
    stopwatch.stop();
    wait(2000);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 2.25);
    EXPECT_FALSE(stopwatch.running);
}

TEST_F(StopwatchTest, StopOnAStoppedWatchKeepsItsReadings) {
    stopwatch.start();
    stopwatch.stop();
    const auto startClock = stopwatch.startClock;
    const auto startTime = stopwatch.startTime;
    wait(100);
    stopwatch.stop();
    EXPECT_FALSE(stopwatch.running);
    EXPECT_EQ(stopwatch.startClock, startClock);
    EXPECT_EQ(stopwatch.startTime, startTime);
}

TEST_F(StopwatchTest, UnderAnHourUsesTheTickCounterWithItsFraction) {
    stopwatch.start();
    wait(3599 * 1000 + 999);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 3599.999);
}

TEST_F(StopwatchTest, FromAnHourOnReportsWholeCalendarSeconds) {
    stopwatch.start();
    g_ticks += 3600 * 1000 + 400;
    g_seconds += 3600;
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 3600.0);
    g_seconds += 4000;
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 7600.0);
}

TEST_F(StopwatchTest, TickCounterWrapAroundStillGivesTheSpan) {
    g_ticks = INT32_MAX - 200;
    stopwatch.start();
    wait(700);
    EXPECT_LT(g_ticks, 0);
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), 0.7);
}

TEST_F(StopwatchTest, NeverStartedMeasuresFromTheEpoch) {
    EXPECT_DOUBLE_EQ(stopwatch.elapsed(), static_cast<double>(g_seconds));
}

TEST(WallClockTicks, CountsWallClockMilliseconds) {
    Stopwatch stopwatch;
    const std::int32_t before = wallClockTicks();
    stopwatch.start();
    const std::timespec pause{0, 120 * 1000 * 1000};
    nanosleep(&pause, nullptr);  // sleeping burns no processor time
    const double seconds = stopwatch.elapsed();
    EXPECT_GE(seconds, 0.119);
    EXPECT_GE(wallClockTicks() - before, 119);
}

}  // namespace
