#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/bench/bench_scenes.h"
#include "tools/bench/frame_statistics.h"
#include "tools/bench/outline_differences.h"

class HeightMap;

// One view of one scene in wire-frame mode (key v): the window's renderer
// working the outlines out and drawing them, against the full cones in one
// pass.
struct WireframeResult {
    std::string view;
    // The whole picture, every render from the change to the finished
    // picture, one figure per round.
    FrameStatistics pictureMs;
    int passes = 0;              // renders per picture
    double longestPassMs = 0.0;  // the longest render of any round
    // The one pass, where it was drawn; else what it was predicted to take.
    std::optional<FrameStatistics> onePassMs;
    std::optional<double> predictedOnePassMs;
    std::optional<OutlineDifferences> differences;
};

// A one-pass picture predicted to take longer than this is not drawn.
constexpr double kLongestOnePassMs = 60000.0;

// Draws the map's sites in wire-frame mode in each view: the window's
// renderer `rounds` times (fewer where a picture takes seconds), then the
// full cones once where that is predicted to take less than a minute, and
// compares the pictures. Leaves the GL state as it found it.
std::vector<WireframeResult> measureWireframe(HeightMap& map, const std::vector<BenchView>& views,
                                              int rounds);
