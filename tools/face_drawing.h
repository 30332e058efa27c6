#pragma once

#include "tools/grey_raster.h"

// Edge of the raster the demo loads at start-up.
constexpr int kDefaultRasterEdge = 996;

// Brightness of the main strokes, the only pixels the binary extraction takes.
constexpr unsigned char kMainStroke = 255;

// The demo's default raster: a line drawing of a face, row 0 at the top.
// Main strokes are 255; softer details use values from 231 to 254, which only
// the range extraction takes; everything else is 0. Always the same picture.
GreyRaster drawDefaultFace();
