#pragma once

#include "tools/grey_raster.h"

// Puts the picture in the middle of an edge x edge raster of zeros; parts
// that do not fit are cut off evenly on both sides.
GreyRaster placeCentred(const GreyRaster& picture, int edge);
