#pragma once

#include <string>

#include "tools/grey_raster.h"

// Reads any picture FreeImage can read, makes it grey (the luminance of its
// colours) and scales it, keeping its proportions, until its longer side is
// `longerSide` pixels. On failure returns false and says why in `problem`.
bool readScaledGreyImage(const std::string& path, int longerSide, GreyRaster& picture,
                         std::string& problem);
