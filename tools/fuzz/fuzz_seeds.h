#pragma once

#include <string>

// Writes small valid pictures in the formats FreeImage writes here, and a
// small raster, into `folder`; the same bytes on every run.
void writeFuzzSeeds(const std::string& folder);
