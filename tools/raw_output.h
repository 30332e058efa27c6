#pragma once

#include <string>

#include "tools/grey_raster.h"

// Writes the samples as a headerless RAW file, creating missing parent
// folders; an existing file is replaced only by a complete one. On failure
// returns false and says why in `problem`.
bool writeRawFile(const GreyRaster& raster, const std::string& path, std::string& problem);
