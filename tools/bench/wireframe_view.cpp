#include "tools/bench/wireframe_view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/frame.h"
#include "app/view_transform.h"
#include "outline/outline_edge.h"
#include "sitemap/height_map.h"
#include "tools/bench/display_mode_state.h"
#include "tools/bench/frame_timing.h"
#include "tools/bench/outline_ties.h"
#include "tools/bench/reference_prediction.h"

namespace {

// A wire-frame picture of a few sites, untimed: the renderer checks the
// context against its line rule the first time.
void warmUp(FrameRenderer& renderer, int edge, const ViewState& view) {
    HeightMap sites;
    sites.size = edge;
    for (int index = 0; index < 8; ++index) {
        addSite(sites, edge * 0.1 * index, edge * 0.5, 255, 255, 255);
    }
    renderer.renderFinished(sites, view);
    renderer.forgetRetainedFrame();
}

}  // namespace

std::vector<WireframeResult> measureWireframe(HeightMap& map, const std::vector<BenchView>& views,
                                              int rounds) {
    const DisplayModeState glState(true, GL_LINE);
    std::vector<WireframeResult> results;
    for (const BenchView& benchView : views) {
        const ViewState& view = benchView.view;
        WireframeResult result;
        result.view = benchView.name;
        // One renderer a view, as the window has one.
        FrameRenderer renderer;
        warmUp(renderer, map.size, view);
        std::vector<double> pictureMs;
        for (int round = 0; round < rounds; ++round) {
            renderer.forgetRetainedFrame();
            double totalMs = 0.0;
            result.passes = 0;
            do {
                const double passMs = timedGlWorkMs([&] { renderer.render(map, view); });
                totalMs += passMs;
                result.longestPassMs = std::max(result.longestPassMs, passMs);
                ++result.passes;
            } while (!renderer.pictureFinished());
            pictureMs.push_back(totalMs);
            if (totalMs > kSlowFrameMs) {
                break;
            }
        }
        result.pictureMs = summariseFrames(pictureMs, rounds);
        const RgbPicture picture = readPicture(map.size, map.size);
        const double predictedMs = predictReferenceMs(map, view);
        if (predictedMs > kLongestOnePassMs) {
            result.predictedOnePassMs = predictedMs;
        } else {
            result.onePassMs = summariseFrames(
                {timedGlWorkMs([&] { renderer.drawFrame(map, view, ConeDrawing::Reference); })}, 1);
            const RgbPicture onePass = readPicture(map.size, map.size);
            OutlineView outlineView{};
            drawInView(view, [&] {
                glGetFloatv(GL_MODELVIEW_MATRIX, outlineView.modelview);
                glGetFloatv(GL_PROJECTION_MATRIX, outlineView.projection);
                glGetIntegerv(GL_VIEWPORT, outlineView.viewport);
            });
            outlineView.bufferHeight = map.size;
            result.differences = classifyOutlineDifferences(onePass, picture, map, outlineView);
        }
        results.push_back(result);
    }
    return results;
}
