#pragma once

#include "app/keys.h"

#include <cstddef>

struct HeightMap;

// Carries out one keyboard command on the globals, with its console lines.
void runKeyCommand(KeyCommand command);

// The most sites one extraction key takes from the map's raster: those of
// key 2's range, which holds key 1's value.
std::size_t mostSitesOfAKey(const HeightMap& map);
