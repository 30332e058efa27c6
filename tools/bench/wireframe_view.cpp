#include "tools/bench/wireframe_view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/keys.h"
#include "sitemap/height_map.h"
#include "tools/bench/bench_scenes.h"
#include "tools/bench/display_mode_state.h"
#include "tools/bench/frame_timing.h"

namespace {

// A figure of /proc/self/status, in MB.
double statusMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(field.size())) / 1024.0;
        }
    }
    return 0.0;
}

// How far the process's resident memory rises above what it holds now
// while `work` runs: the peak is started afresh from the current figure.
double peakRiseMb(const std::function<void()>& work) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = statusMb("VmRSS:");
    work();
    return statusMb("VmHWM:") - before;
}

long long differingPixels(const RgbPicture& first, const RgbPicture& second) {
    long long differing = 0;
    for (int row = 0; row < first.height; ++row) {
        for (int column = 0; column < first.width; ++column) {
            differing += first.at(column, row) != second.at(column, row);
        }
    }
    return differing;
}

// A sliced picture of a few sites, untimed: the driver compiles the drawing
// and allocates the buffers the first time they are used.
void warmUp(FrameRenderer& renderer, int edge, const ViewState& view) {
    HeightMap sites;
    sites.size = edge;
    for (int index = 0; index < 4 * SliceBudget::kFirstSliceSize; ++index) {
        addSite(sites, edge * 0.05 * index, edge * 0.5, 255, 255, 255);
    }
    do {
        renderer.render(sites, view);
    } while (!renderer.pictureFinished());
    renderer.forgetRetainedFrame();
}

}  // namespace

WireframeResult measureWireframe(HeightMap& map, int rounds) {
    const DisplayModeState glState(true, GL_LINE);
    const ViewState view{1.0f, 0.0f, 0.0f};
    WireframeResult result;
    std::vector<double> slicedMs;
    std::vector<double> onePassMs;
    RgbPicture sliced;
    RgbPicture onePass;
    // One renderer, as the window has.
    FrameRenderer renderer;
    warmUp(renderer, map.size, view);
    for (int round = 0; round < rounds; ++round) {
        renderer.forgetRetainedFrame();
        double totalMs = 0.0;
        result.passes = 0;
        const double slicedRiseMb = peakRiseMb([&] {
            do {
                const double passMs = timedGlWorkMs([&] { renderer.render(map, view); });
                totalMs += passMs;
                result.longestPassMs = std::max(result.longestPassMs, passMs);
                ++result.passes;
            } while (!renderer.pictureFinished());
        });
        slicedMs.push_back(totalMs);
        result.slicedPeakMb = std::max(result.slicedPeakMb, slicedRiseMb);
        sliced = readPicture(map.size, map.size);
        if (totalMs >= kLongestOnePassMs) {
            continue;
        }
        const double onePassRiseMb = peakRiseMb([&] {
            onePassMs.push_back(
                timedGlWorkMs([&] { renderer.drawFrame(map, view, ConeDrawing::Reference); }));
        });
        result.onePassPeakMb = std::max(result.onePassPeakMb, onePassRiseMb);
        onePass = readPicture(map.size, map.size);
    }
    result.slicedMs = summariseFrames(slicedMs, rounds);
    if (!onePassMs.empty()) {
        result.onePassMs = summariseFrames(onePassMs, rounds);
        result.differingPixels = differingPixels(sliced, onePass);
    }
    return result;
}
