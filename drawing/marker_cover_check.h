#pragma once

#include "outline/cone_outline.h"

// The current matrices and viewport, for a buffer as wide and as high as the
// viewport reaches (its width into `bufferWidth`).
OutlineView viewportOutlineView(int& bufferWidth);

// Draws a few markers with the context itself, at window positions on and
// beside the rasterizer's ties, in a corner of the viewport, and compares
// the pixels they light with their MarkerCover. The corner's pixels are put
// back. Needs GL 1.4.
bool markerCoverAgrees();
