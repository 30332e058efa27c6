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
    std::function<void(HeightMap&, const ViewState&)> drawFrame;
};

std::vector<DrawingPath> drawingPaths();
