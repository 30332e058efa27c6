#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/frame_statistics.h"
#include "tools/bench/picture_agreement.h"

// What one drawing path did with one scene.
struct PathResult {
    std::optional<double> preparationMs;  // for paths that prepare
    FrameStatistics frames;
    Agreement agreement;
};

struct PathHeading {
    std::string name;
    bool prepares = false;  // gets a column for its preparation time
};

struct SceneResult {
    std::string name;
    int siteCount = 0;
    std::optional<double> extractionMs;
    std::vector<PathResult> paths;  // in the order of the path names
};

// A Markdown table, one row per scene and one group of columns per drawing
// path, followed by a note on scenes that got fewer frames.
void printTable(std::ostream& out, const std::vector<PathHeading>& paths,
                const std::vector<SceneResult>& scenes);

// "summary: key-1 frame <median ms> ms, agreement <percent>%, markers <percent>%"
// for the given path of the given scene.
std::string summaryLine(const SceneResult& keyOneScene, std::size_t pathIndex);
