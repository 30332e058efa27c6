#pragma once

#include <functional>

#include "tools/bench/frame_statistics.h"
#include "tools/bench/picture_agreement.h"

// Draws one warm-up frame, then as many timed frames as timedFrameCount
// allows, each from glFinish to glFinish on a steady clock. The last frame
// stays in the draw buffer.
FrameStatistics timeFrames(const std::function<void()>& drawOneFrame, int requestedFrames);

// The same with exactly the requested number of timed frames, however long
// they take.
FrameStatistics timeEveryFrame(const std::function<void()>& drawOneFrame, int requestedFrames);

// Milliseconds of some GL work, from glFinish to glFinish on a steady clock.
double timedGlWorkMs(const std::function<void()>& work);

// The draw buffer's pixels, bottom row first.
RgbPicture readPicture(int width, int height);

// What a cleared frame reads back as.
Rgb readBackground();
