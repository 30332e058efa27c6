#include "tools/bench/wireframe_table.h"

#include <algorithm>
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
    out << "| scene | sites | view | picture ms | renders | longest render ms | one pass ms | "
           "speed-up | differing px | at ties | not at ties |\n"
        << "| --- | --: | --- | --: | --: | --: | --: | --: | --: | --: | --: |\n";
    bool anySkipped = false;
    for (const SceneResult& scene : scenes) {
        bool first = true;
        for (const WireframeResult& view : scene.wireframe) {
            std::string onePass = "-", speedUp = "-", differing = "-", ties = "-", untied = "-";
            if (view.onePassMs) {
                onePass = fixed(view.onePassMs->medianMs, 1);
                speedUp = fixed(view.onePassMs->medianMs / view.pictureMs.medianMs, 1) + "x";
            } else if (view.predictedOnePassMs) {
                onePass = "skipped (" + fixed(*view.predictedOnePassMs / 1000.0, 0) + " s)";
                anySkipped = true;
            }
            if (view.differences) {
                differing = std::to_string(view.differences->differing);
                ties = std::to_string(view.differences->atTies);
                untied = std::to_string(view.differences->notAtTies);
            }
            out << "| " << (first ? scene.name : "") << " | "
                << (first ? std::to_string(scene.siteCount) : "") << " | " << view.view << " | "
                << roundsMs(view.pictureMs) << " | " << view.passes << " | "
                << fixed(view.longestPassMs, 1) << " | " << onePass << " | " << speedUp << " | "
                << differing << " | " << ties << " | " << untied << " |\n";
            first = false;
        }
    }
    if (anySkipped) {
        out << "\n\"skipped (N s)\" under one pass: the full cones would take about N s "
               "(timed for 200 sites and scaled), more than "
            << fixed(kLongestOnePassMs / 1000.0, 0) << " s, so they were not drawn.\n";
    }
}

std::string wireframeSummaryLine(const std::vector<SceneResult>& scenes) {
    if (scenes.empty() || scenes.front().wireframe.empty()) {
        return "wire-frame summary: -";
    }
    const WireframeResult& view = scenes.front().wireframe.front();
    long long untied = 0;
    double longest = 0.0;
    for (const SceneResult& scene : scenes) {
        for (const WireframeResult& each : scene.wireframe) {
            untied += each.differences ? each.differences->notAtTies : 0;
            longest = std::max(longest, each.longestPassMs);
        }
    }
    return "wire-frame summary: key-1 picture " + fixed(view.pictureMs.medianMs, 1) +
           " ms, one pass " + (view.onePassMs ? fixed(view.onePassMs->medianMs, 1) : "-") +
           " ms, longest render " + fixed(longest, 1) + " ms, non-tie differences " +
           std::to_string(untied);
}
