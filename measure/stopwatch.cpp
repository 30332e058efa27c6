#include "measure/stopwatch.h"

#include <chrono>

namespace {

const auto processStart = std::chrono::steady_clock::now();

}  // namespace

std::int32_t wallClockTicks() {
    const auto sinceStart = std::chrono::steady_clock::now() - processStart;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

std::time_t calendarTime() {
    return std::time(nullptr);
}

Stopwatch::Stopwatch() : Stopwatch(wallClockTicks, calendarTime) {}

Stopwatch::Stopwatch(TickReader readTicks, TimeReader readTime)
    : running(false), startClock(0), startTime(0), readTicks(readTicks), readTime(readTime) {}

void Stopwatch::start() {
    if (running) {
        return;
    }
    running = true;
    startClock = readTicks();
    startTime = readTime();
}

void Stopwatch::stop() {
    running = false;
}

double Stopwatch::elapsed() const {
    const std::int64_t seconds = static_cast<std::int64_t>(readTime()) - startTime;
    if (seconds >= 3600) {
        return static_cast<double>(seconds);
    }
    // Wrap-around difference of the 32-bit counter, computed without overflow.
    const auto ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(readTicks()) -
                                                 static_cast<std::uint32_t>(startClock));
    return ticks / 1000.0;
}
