#pragma once

#include "drawing/marker_cover_check.h"

// Whether the GL state is the one the outlines assume besides the matrices
// and the viewport: what keys c and v and the start-up leave.
bool outlineStateAsAssumed();

// Draws a few overlapping cones with the context itself, depth-tested, and
// compares the pixels it lights and the depths it leaves with the outlines',
// which follow rasterizer_rules.h. They are drawn into a square in the
// viewport's top-left corner, whose rows count from the buffer's top as the
// window's do, and they cross its edges, so that the clipping is checked
// too. Pending where the viewport is under 16 pixels either way.
ContextCheck checkOutlines();
