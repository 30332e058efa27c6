#include "tools/bench/bench_table.h"

#include <cmath>
#include <cstdio>

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// "100" only when every one counted; otherwise rounded down, so that a
// handful of wrong pixels among a million still shows.
std::string percent(long long part, long long whole) {
    if (whole <= 0) {
        return "-";
    }
    if (part == whole) {
        return "100";
    }
    return fixed(std::floor(100000.0 * part / whole) / 1000.0, 3);
}

std::string pixelShare(const Agreement& agreement) {
    return percent(agreement.agreeingPixels, agreement.checkedPixels);
}

std::string markerShare(const Agreement& agreement) {
    return percent(agreement.visibleMarkers, agreement.markersInWindow);
}

std::string milliseconds(double value) {
    return fixed(value, 1);
}

void printRow(std::ostream& out, const std::vector<std::string>& cells) {
    out << '|';
    for (const std::string& cell : cells) {
        out << ' ' << cell << " |";
    }
    out << '\n';
}

}  // namespace

void printTable(std::ostream& out, const std::vector<PathHeading>& paths,
                const std::vector<SceneResult>& scenes) {
    std::vector<std::string> header = {"scene", "sites", "extraction ms"};
    for (const PathHeading& path : paths) {
        if (path.prepares) {
            header.push_back(path.name + " preparation ms");
        }
        header.insert(header.end(), {path.name + " frame ms (median)", "min - max", "frames",
                                     "agreement %", "markers %"});
    }
    printRow(out, header);
    std::vector<std::string> rule;
    for (std::size_t column = 0; column < header.size(); ++column) {
        rule.push_back(column == 0 ? "---" : "--:");
    }
    printRow(out, rule);

    bool anyShortened = false;
    for (const SceneResult& scene : scenes) {
        std::vector<std::string> cells = {
            scene.name, std::to_string(scene.siteCount),
            scene.extractionMs ? milliseconds(*scene.extractionMs) : "-"};
        for (std::size_t index = 0; index < paths.size() && index < scene.paths.size(); ++index) {
            const PathResult& path = scene.paths[index];
            if (paths[index].prepares) {
                cells.push_back(path.preparationMs ? milliseconds(*path.preparationMs) : "-");
            }
            const FrameStatistics& frames = path.frames;
            anyShortened = anyShortened || frames.shortened;
            cells.insert(cells.end(),
                         {milliseconds(frames.medianMs),
                          milliseconds(frames.minMs) + " - " + milliseconds(frames.maxMs),
                          std::to_string(frames.frames) + (frames.shortened ? "*" : ""),
                          pixelShare(path.agreement), markerShare(path.agreement)});
        }
        printRow(out, cells);
    }
    if (anyShortened) {
        out << "\n* fewer frames than asked for: one frame of this scene took more than "
            << fixed(kSlowFrameMs / 1000.0, 0) << " s.\n";
    }
}

std::string summaryLine(const SceneResult& keyOneScene, std::size_t pathIndex) {
    const PathResult& path = keyOneScene.paths.at(pathIndex);
    return "summary: key-1 frame " + milliseconds(path.frames.medianMs) + " ms, agreement " +
           pixelShare(path.agreement) + "%, markers " + markerShare(path.agreement) + "%";
}
