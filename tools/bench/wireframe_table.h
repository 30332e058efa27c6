#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/bench_results.h"

// The wire-frame view of every scene that has one, as a Markdown table.
void printWireframeTable(std::ostream& out, const std::vector<SceneResult>& scenes);

// One line on the first scene's wire-frame view.
std::string wireframeSummaryLine(const std::vector<SceneResult>& scenes);
