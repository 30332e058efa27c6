#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/bench_results.h"

// A Markdown table, one row per scene and view, followed by notes on the
// marks it uses.
void printTable(std::ostream& out, const std::vector<SceneResult>& scenes);

// "summary: key-1 frame <ms> ms, extents <ms> ms, reference <ms> ms, speedup
// <x>x, retained <ms> ms, non-tie differences <n>": the medians of the first view of the
// first scene, and the non-tie differences of every scene and view.
std::string summaryLine(const std::vector<SceneResult>& scenes);

// One line per scene: the median of its views' extents beside the CPU peer's
// transform of the same sites, and its fast frame at zoom 1 (the first view)
// and at most in the other views.
std::vector<std::string> peerSummaryLines(const std::vector<SceneResult>& scenes);

// "worst summary: ...": the slowest median wire-frame picture and the slowest
// median fast frame over every scene and view, each with its scene and view
// and beside the CPU peer's transform of that scene's sites.
std::string worstSummaryLine(const std::vector<SceneResult>& scenes);
