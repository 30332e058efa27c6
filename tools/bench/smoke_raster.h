#pragma once

#include <string>
#include <vector>

// The smoke run's own raster: small, so its cones are cheap, with a few
// pixels for each extraction.
constexpr int kSmokeEdge = 64;
constexpr int kSmokeRandomSites = 50;

// Row-major samples of edge x edge: a diagonal of 255 (key 1 and key 2) and a
// row of 240 (key 2 only), 0 elsewhere.
std::vector<unsigned char> smokeRaster(int edge);

// Writes smokeRaster(edge) to path as a headerless RAW file.
bool writeSmokeRaster(const std::string& path, int edge);
