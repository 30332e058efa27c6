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
