#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/bench/bench_results.h"

// The wire-frame views of every scene, as a Markdown table.
void printWireframeTable(std::ostream& out, const std::vector<SceneResult>& scenes);

// One line on the first scene's first wire-frame view, and the differences
// not at ties over all of them.
std::string wireframeSummaryLine(const std::vector<SceneResult>& scenes);
