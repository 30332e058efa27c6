#pragma once

#include <cstdint>
#include <ctime>

// Times one span for the extraction report: milliseconds from a wall-clock
// tick counter for spans under an hour, whole calendar seconds beyond.
class Stopwatch {
public:
    using TickReader = std::int32_t (*)();  // wall-clock milliseconds from a fixed point
    using TimeReader = std::time_t (*)();   // calendar seconds since the epoch

    bool running;
    std::int32_t startClock;  // tick reading at the last effective start(); wraps around
    std::time_t startTime;    // calendar reading at the same moment

    Stopwatch();
    // Lets tests supply the clocks, so an hour-long span needs no hour.
    Stopwatch(TickReader readTicks, TimeReader readTime);

    void start();
    void stop();
    double elapsed() const;

private:
    TickReader readTicks;
    TimeReader readTime;
};

// Milliseconds of a steady clock since the process started, cut to 32 bits.
std::int32_t wallClockTicks();
std::time_t calendarTime();
