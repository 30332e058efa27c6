#include "tools/bench/frame_timing.h"

#include <GL/freeglut.h>

#include <chrono>
#include <vector>

#include "measure/pixel_readback.h"

namespace {

// Waits for the GL to finish everything issued so far, then reads the clock.
std::chrono::steady_clock::time_point finishedNow() {
    glFinish();
    return std::chrono::steady_clock::now();
}

FrameStatistics timeFrameCount(const std::function<void()>& drawOneFrame, int frameCount,
                               int requestedFrames) {
    std::vector<double> frameMs;
    for (int frame = 0; frame < frameCount; ++frame) {
        frameMs.push_back(timedGlWorkMs(drawOneFrame));
    }
    return summariseFrames(frameMs, requestedFrames);
}

}  // namespace

double timedGlWorkMs(const std::function<void()>& work) {
    const auto start = finishedNow();
    work();
    const auto stop = finishedNow();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

FrameStatistics timeFrames(const std::function<void()>& drawOneFrame, int requestedFrames) {
    const double warmUpMs = timedGlWorkMs(drawOneFrame);
    return timeFrameCount(drawOneFrame, timedFrameCount(warmUpMs, requestedFrames),
                          requestedFrames);
}

FrameStatistics timeEveryFrame(const std::function<void()>& drawOneFrame, int requestedFrames) {
    timedGlWorkMs(drawOneFrame);
    return timeFrameCount(drawOneFrame, requestedFrames, requestedFrames);
}

RgbPicture readPicture(int width, int height) {
    RgbPicture picture(width, height);
    picture.bytes = readRgbPixels(width, height);
    return picture;
}

Rgb readBackground() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return readPicture(1, 1).at(0, 0);
}
