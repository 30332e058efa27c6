#include "tools/bench/frame_statistics.h"

#include <algorithm>

int timedFrameCount(double warmUpMs, int requestedFrames) {
    if (warmUpMs <= kSlowFrameMs) {
        return requestedFrames;
    }
    const int affordable = static_cast<int>(4.0 * kSlowFrameMs / warmUpMs);
    return std::clamp(affordable, 1, requestedFrames);
}

FrameStatistics summariseFrames(std::vector<double> frameMs, int requestedFrames) {
    FrameStatistics statistics;
    statistics.frames = static_cast<int>(frameMs.size());
    statistics.shortened = statistics.frames < requestedFrames;
    if (frameMs.empty()) {
        return statistics;
    }
    std::sort(frameMs.begin(), frameMs.end());
    const std::size_t middle = frameMs.size() / 2;
    statistics.medianMs =
        frameMs.size() % 2 == 1 ? frameMs[middle] : (frameMs[middle - 1] + frameMs[middle]) / 2;
    statistics.minMs = frameMs.front();
    statistics.maxMs = frameMs.back();
    return statistics;
}
