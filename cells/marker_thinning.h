#pragma once

#include <vector>

struct Site;

// Where a site's marker point goes: its position as a 32-bit float vertex.
struct MarkerPoint {
    float x;
    float y;
};

// The list's marker points sorted by x, then y, each point once (copies
// draw the same pixels). Extractions leave lists sorted one way or the
// other, which costs a reversal at most.
std::vector<MarkerPoint> sortedMarkerPoints(const Site* head);

// A view that neither turns nor shears: window = scale * raster + offset on
// each axis, onto a viewport that covers the window.
struct MarkerView {
    double scaleX;
    double offsetX;
    double scaleY;
    double offsetY;
    int viewport[4];
};

// Of the sorted marker points, those whose 4 x 4 pixel points cover exactly
// the pixels that all of them cover in the view, into `kept` (emptied first;
// its room is used again, which saves fresh memory on every frame). Far
// fewer where markers crowd: about one in nine where one stands on every
// pixel.
void thinMarkers(const std::vector<MarkerPoint>& sorted, const MarkerView& view,
                 std::vector<MarkerPoint>& kept);
