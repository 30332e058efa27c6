#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/keys.h"

class HeightMap;

// One way of drawing a frame of the diagram; the table gets one group of
// columns per path.
struct DrawingPath {
    std::string name;
    // Work done once per scene before its first frame, if any (GL work
    // finished before it returns).
    std::function<void(HeightMap&)> prepare;
    std::function<void(HeightMap&, const ViewState&)> drawFrame;
};

// Fresh paths for one scene: nothing they keep carries over from a scene
// whose sites happen to sit at the same addresses.
std::vector<DrawingPath> drawingPaths();

// The path whose key 1 frame the summary line quotes: the drawing the
// window's display shows, in full, whenever anything changed.
constexpr int kSummaryPath = 1;
