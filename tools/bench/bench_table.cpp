#include "tools/bench/bench_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/bench/view_measurement.h"

namespace {

constexpr const char* kNone = "-";

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "100" only when every one counted; otherwise rounded down, so that a
// handful of wrong pixels among a million still shows.
std::string percent(long long part, long long whole) {
    if (whole <= 0) {
        return kNone;
    }
    if (part == whole) {
        return "100";
    }
    return fixed(std::floor(100000.0 * part / whole) / 1000.0, 3);
}

std::string milliseconds(double value) {
    return fixed(value, 1);
}

// The median, with the spread when there was more than one frame.
std::string frameMs(const FrameStatistics& frames) {
    if (frames.frames == 0) {
        return kNone;
    }
    if (frames.frames == 1) {
        return milliseconds(frames.medianMs);
    }
    return milliseconds(frames.medianMs) + " (" + milliseconds(frames.minMs) + " - " +
           milliseconds(frames.maxMs) + ")";
}

std::optional<double> speedUp(const ViewResult& view) {
    if (!view.reference || view.fast.medianMs <= 0) {
        return std::nullopt;
    }
    return view.reference->medianMs / view.fast.medianMs;
}

std::string speedUpText(const ViewResult& view) {
    const std::optional<double> ratio = speedUp(view);
    return ratio ? fixed(*ratio, 1) + "x" : kNone;
}

void printRow(std::ostream& out, const std::vector<std::string>& cells) {
    out << '|';
    for (const std::string& cell : cells) {
        out << ' ' << cell << " |";
    }
    out << '\n';
}

// How many times the CPU peer's whole transform the extents took.
std::string peerRatio(double extentMs, double peerMs) {
    return peerMs > 0 ? fixed(extentMs / peerMs, 2) : kNone;
}

std::vector<std::string> viewCells(const ViewResult& view, double peerMs) {
    std::vector<std::string> cells = {view.name, milliseconds(view.extentMs),
                                      peerRatio(view.extentMs, peerMs)};
    if (view.reference) {
        cells.insert(cells.end(),
                     {frameMs(*view.reference), std::to_string(view.reference->frames) +
                                                    (view.reference->shortened ? "*" : "")});
    } else if (view.predictedReferenceMs) {
        cells.insert(cells.end(),
                     {"skipped (" + fixed(*view.predictedReferenceMs / 1000.0, 0) + " s)", kNone});
    } else {
        cells.insert(cells.end(), {kNone, kNone});
    }
    cells.insert(cells.end(), {view.fastDrawing, frameMs(view.fast),
                               frameMs(view.retained) + (view.retainedMisses > 0 ? " !" : ""),
                               speedUpText(view)});
    if (view.differences) {
        cells.insert(cells.end(), {std::to_string(view.differences->differingPixels),
                                   std::to_string(view.differences->atTies),
                                   std::to_string(view.differences->notAtTies)});
    } else {
        cells.insert(cells.end(), {kNone, kNone, kNone});
    }
    cells.insert(cells.end(),
                 {percent(view.agreement.agreeingPixels, view.agreement.checkedPixels),
                  percent(view.agreement.visibleMarkers, view.agreement.markersInWindow)});
    return cells;
}

}  // namespace

void printTable(std::ostream& out, const std::vector<SceneResult>& scenes) {
    const std::vector<std::string> header = {
        "scene",       "sites",          "extraction ms", "peer ms",      "view",
        "extents ms",  "extents / peer", "reference ms",  "frames",       "fast drawing",
        "fast ms",     "retained ms",    "speed-up",      "differing px", "at ties",
        "not at ties", "agreement %",    "markers %"};
    printRow(out, header);
    std::vector<std::string> rule;
    for (std::size_t column = 0; column < header.size(); ++column) {
        rule.push_back(column == 0 || column == 4 ? "---" : "--:");
    }
    printRow(out, rule);

    bool anyShortened = false;
    bool anyWithoutReference = false;
    bool anySkipped = false;
    bool anyMissed = false;
    for (const SceneResult& scene : scenes) {
        bool firstView = true;
        for (const ViewResult& view : scene.views) {
            // The extraction ran once per scene: its figure stands in the
            // scene's first row only.
            std::vector<std::string> cells = {scene.name, std::to_string(scene.siteCount),
                                              !firstView ? ""
                                              : scene.extractionMs
                                                  ? milliseconds(*scene.extractionMs)
                                                  : kNone,
                                              firstView ? milliseconds(scene.peerMs) : ""};
            const std::vector<std::string> measured = viewCells(view, scene.peerMs);
            cells.insert(cells.end(), measured.begin(), measured.end());
            printRow(out, cells);
            firstView = false;
            anyShortened = anyShortened || (view.reference && view.reference->shortened);
            anyWithoutReference =
                anyWithoutReference || (!view.reference && !view.predictedReferenceMs);
            anySkipped = anySkipped || view.predictedReferenceMs;
            anyMissed = anyMissed || view.retainedMisses > 0;
        }
    }
    if (anyShortened) {
        out << "\n\\* fewer reference frames than asked for: one frame took more than "
            << fixed(kSlowFrameMs / 1000.0, 0) << " s.\n";
    }
    if (anyWithoutReference) {
        out << "\n\"-\" under reference: not drawn in that view, to keep the run short; "
               "--all-references draws it in every view.\n";
    }
    if (anySkipped) {
        out << "\n\"skipped (N s)\" under reference: one full-cone frame would take about N s "
               "(timed for 200 sites spread over the list and scaled), more than "
            << fixed(kLongestReferenceMs / 1000.0, 0) << " s, so it was not drawn.\n";
    }
    if (anyMissed) {
        out << "\n! some timed renders drew the frame instead of showing the retained copy.\n";
    }
}

std::string summaryLine(const std::vector<SceneResult>& scenes) {
    long long notAtTies = 0;
    for (const SceneResult& scene : scenes) {
        for (const ViewResult& view : scene.views) {
            notAtTies += view.differences ? view.differences->notAtTies : 0;
        }
    }
    std::string keyOneFrame = kNone, extents = kNone, reference = kNone, speedup = kNone,
                retained = kNone;
    if (!scenes.empty() && !scenes.front().views.empty()) {
        const ViewResult& keyOne = scenes.front().views.front();
        keyOneFrame = milliseconds(keyOne.fast.medianMs);
        extents = milliseconds(keyOne.extentMs);
        retained = milliseconds(keyOne.retained.medianMs);
        if (keyOne.reference) {
            reference = milliseconds(keyOne.reference->medianMs);
        }
        if (const std::optional<double> ratio = speedUp(keyOne)) {
            speedup = fixed(*ratio, 1);
        }
    }
    return "summary: key-1 frame " + keyOneFrame + " ms, extents " + extents + " ms, reference " +
           reference + " ms, speedup " + speedup + "x, retained " + retained +
           " ms, non-tie differences " + std::to_string(notAtTies);
}

std::vector<std::string> peerSummaryLines(const std::vector<SceneResult>& scenes) {
    std::vector<std::string> lines;
    for (const SceneResult& scene : scenes) {
        if (scene.views.empty()) {
            continue;
        }
        std::vector<double> extents;
        double slowestElsewhere = 0.0;
        for (const ViewResult& view : scene.views) {
            extents.push_back(view.extentMs);
            if (&view != &scene.views.front()) {
                slowestElsewhere = std::max(slowestElsewhere, view.fast.medianMs);
            }
        }
        std::sort(extents.begin(), extents.end());
        const double median = extents[extents.size() / 2];
        lines.push_back(
            "peer summary: " + scene.name + ", " + std::to_string(scene.siteCount) +
            " sites: extents " + milliseconds(median) + " ms (median of the views), peer " +
            milliseconds(scene.peerMs) + " ms, " + peerRatio(median, scene.peerMs) +
            " x the peer; fast frame " + milliseconds(scene.views.front().fast.medianMs) +
            " ms at zoom 1, at most " + milliseconds(slowestElsewhere) + " ms in the other views");
    }
    return lines;
}

std::string worstSummaryLine(const std::vector<SceneResult>& scenes) {
    const auto quoted = [](double ms, const SceneResult* scene, const std::string& view) {
        if (!scene) {
            return std::string(kNone);
        }
        return milliseconds(ms) + " ms (" + scene->name + ", " + view + "), peer " +
               milliseconds(scene->peerMs) + " ms, " + peerRatio(ms, scene->peerMs) + " x the peer";
    };
    double pictureMs = 0.0, frameMs = 0.0;
    const SceneResult *pictureScene = nullptr, *frameScene = nullptr;
    std::string pictureView, frameView;
    for (const SceneResult& scene : scenes) {
        for (const WireframeResult& view : scene.wireframe) {
            if (!pictureScene || view.pictureMs.medianMs > pictureMs) {
                pictureMs = view.pictureMs.medianMs;
                pictureScene = &scene;
                pictureView = view.view;
            }
        }
        for (const ViewResult& view : scene.views) {
            if (!frameScene || view.fast.medianMs > frameMs) {
                frameMs = view.fast.medianMs;
                frameScene = &scene;
                frameView = view.name;
            }
        }
    }
    return "worst summary: wire-frame picture " + quoted(pictureMs, pictureScene, pictureView) +
           "; filled frame " + quoted(frameMs, frameScene, frameView);
}
