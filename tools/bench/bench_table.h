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
