#include "tools/bench/bench_table.h"

#include <cstdio>

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Shares come as negative numbers when there was nothing to count.
std::string percent(double value) {
    return value < 0 ? "-" : fixed(value, 2);
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
            cells.insert(
                cells.end(),
                {milliseconds(frames.medianMs),
                 milliseconds(frames.minMs) + " - " + milliseconds(frames.maxMs),
                 std::to_string(frames.frames) + (frames.shortened ? "*" : ""),
                 percent(path.agreement.pixelPercent()), percent(path.agreement.markerPercent())});
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
           percent(path.agreement.pixelPercent()) + "%, markers " +
           percent(path.agreement.markerPercent()) + "%";
}
