#include "tools/bench/wireframe_table.h"

#include <cstdio>

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The median, with the spread when there was more than one round.
std::string roundsMs(const FrameStatistics& rounds) {
    const std::string median = fixed(rounds.medianMs, 1);
    if (rounds.frames < 2) {
        return median;
    }
    return median + " (" + fixed(rounds.minMs, 1) + " - " + fixed(rounds.maxMs, 1) + ")";
}

}  // namespace

void printWireframeTable(std::ostream& out, const std::vector<SceneResult>& scenes) {
    out << "| scene | sites | sliced ms | passes | longest pass ms | sliced peak +MB | one pass ms "
           "| one pass peak +MB | sliced / one pass | differing px |\n"
        << "| --- | --: | --: | --: | --: | --: | --: | --: | --: | --: |\n";
    bool anySkipped = false;
    bool anyLeftOut = false;
    for (const SceneResult& scene : scenes) {
        if (!scene.wireframe) {
            anyLeftOut = true;
            continue;
        }
        const WireframeResult& view = *scene.wireframe;
        std::string onePass = "-", onePassPeak = "-", ratio = "-", differing = "-";
        if (view.onePassMs) {
            onePass = roundsMs(*view.onePassMs);
            onePassPeak = fixed(view.onePassPeakMb, 0);
            ratio = fixed(view.slicedMs.medianMs / view.onePassMs->medianMs, 2);
            differing = std::to_string(*view.differingPixels);
        }
        anySkipped = anySkipped || !view.onePassMs;
        out << "| " << scene.name << " | " << scene.siteCount << " | " << roundsMs(view.slicedMs)
            << " | " << view.passes << " | " << fixed(view.longestPassMs, 1) << " | "
            << fixed(view.slicedPeakMb, 0) << " | " << onePass << " | " << onePassPeak << " | "
            << ratio << " | " << differing << " |\n";
    }
    if (anySkipped) {
        out << "\n\"-\" under one pass: not drawn, as the sliced picture took more than "
            << fixed(kLongestOnePassMs / 1000.0, 0) << " s.\n";
    }
    if (anyLeftOut) {
        out << "\nScenes of more than " << kLargestWireframeScene
            << " sites are left out: their outlines take minutes; --wireframe-only measures "
               "the key 1 scene of a raster alone.\n";
    }
}

std::string wireframeSummaryLine(const std::vector<SceneResult>& scenes) {
    if (scenes.empty() || !scenes.front().wireframe) {
        return "wire-frame summary: -";
    }
    const WireframeResult& view = *scenes.front().wireframe;
    long long differing = 0;
    for (const SceneResult& scene : scenes) {
        if (scene.wireframe && scene.wireframe->differingPixels) {
            differing += *scene.wireframe->differingPixels;
        }
    }
    return "wire-frame summary: key-1 sliced " + fixed(view.slicedMs.medianMs, 1) +
           " ms, one pass " + (view.onePassMs ? fixed(view.onePassMs->medianMs, 1) : "-") +
           " ms, longest pass " + fixed(view.longestPassMs, 1) + " ms, peak +" +
           fixed(view.slicedPeakMb, 0) + " MB, differing pixels " + std::to_string(differing);
}
