#pragma once

#include <vector>

// A frame that takes longer than this is slow enough to time fewer frames.
constexpr double kSlowFrameMs = 5000.0;

// Timed frames for a scene after its warm-up frame: the requested count, or,
// when the warm-up took longer than kSlowFrameMs, as many as fit in about
// four slow frames' worth of time, at least one.
int timedFrameCount(double warmUpMs, int requestedFrames);

struct FrameStatistics {
    int frames = 0;
    double medianMs = 0;
    double minMs = 0;
    double maxMs = 0;
    bool shortened = false;  // fewer frames than requested (slow scene)
};

FrameStatistics summariseFrames(std::vector<double> frameMs, int requestedFrames);
