#pragma once

#include <vector>

#include "cells/drawn_sites.h"

// For each position, the others that can bound its cell: those whose
// positions are Euclidean Voronoi neighbours of its own, and the others that
// round to its own grid point.
std::vector<std::vector<int>> cellNeighbours(const std::vector<Position>& positions);
