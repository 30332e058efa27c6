#pragma once

struct ViewState;
class HeightMap;

// Draws one complete frame of the diagram into the current draw buffer:
// clear, view transform (zoom, then pan), the cones and the markers. Leaves
// the modelview matrix as identity. Used by the display callback and the
// benchmark alike.
void drawFrame(HeightMap& map, const ViewState& view);
