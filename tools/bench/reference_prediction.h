#pragma once

class HeightMap;
struct ViewState;

// One full-cone frame of sites spread evenly over the list, scaled to all
// of them: a site's cone costs what it covers of the window, and the list's
// order runs over the whole raster, so every stretch of it is represented.
// Drawn in the GL state as it is (filled or outlined). 0 for a short list.
double predictReferenceMs(HeightMap& map, const ViewState& view);
