#pragma once

#include <vector>

#include "measure/diagram_oracle.h"
#include "tools/bench/bench_results.h"
#include "tools/bench/bench_scenes.h"

class HeightMap;

// A reference frame predicted to take longer is not drawn.
constexpr double kLongestReferenceMs = 60000.0;

struct ViewMeasurement {
    int frames = 5;             // timed frames per path after its warm-up
    bool drawReference = true;  // the slow full cones, and the comparison with them
};

// Draws the map's sites in the view every way the benchmark times, in a
// renderer of its own, and compares the pictures: extents, fast frames,
// retained frames and the window picture's agreement with the exact diagram,
// then the reference frames and the fast frame's differences from the last
// of them. Leaves the GL state as it found it.
ViewResult measureView(HeightMap& map, const BenchView& view, const std::vector<OracleSite>& sites,
                       const ViewMeasurement& measurement, Rgb background);
