#pragma once

#include <vector>

// A high-key photo as key 1 meets it: a bright print whose large white areas
// (samples of 255) cover about half of it, with ragged borders and grey
// shading between them; the same picture on every run. About 490,000 of
// the 996 x 996 raster's pixels are 255.
std::vector<unsigned char> brightPhotoRaster(int edge);
