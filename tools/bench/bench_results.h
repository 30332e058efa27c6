#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/bench/frame_comparison.h"
#include "tools/bench/frame_statistics.h"
#include "tools/bench/picture_agreement.h"
#include "tools/bench/wireframe_view.h"

// What one view of one scene cost and showed.
struct ViewResult {
    std::string name;
    // Working the cut cones out for the scene's sites, once, in a renderer
    // of its own.
    double extentMs = 0;
    // The full cones, every frame; none where the reference was not drawn.
    std::optional<FrameStatistics> reference;
    // Where it was skipped for taking too long: what one frame would take.
    std::optional<double> predictedReferenceMs;
    // The cut cones drawn afresh every frame, extents already known: what a
    // frame costs after a change.
    FrameStatistics fast;
    std::string fastDrawing;  // which drawing the renderer chose
    // The display callback's render with nothing changed.
    FrameStatistics retained;
    // Renders after the first that drew instead of showing the retained copy.
    int retainedMisses = 0;
    // The fast frame against the reference frame, where that was drawn.
    std::optional<FrameDifferences> differences;
    // The window's frame against the exact diagram.
    Agreement agreement;
};

struct SceneResult {
    std::string name;
    int siteCount = 0;
    std::optional<double> extractionMs;
    // The CPU peer's whole nearest-site transform of the scene's sites: the
    // median of a few runs.
    double peerMs = 0;
    std::vector<ViewResult> views;           // in the order of benchViews
    std::vector<WireframeResult> wireframe;  // the wire-frame views
};
