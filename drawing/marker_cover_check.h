#pragma once

// What a check of the context against the program's prediction found. One
// that could not run, the viewport being too small for what it draws, stays
// pending and runs again at a later frame; only a disagreement rules the
// prediction out.
enum class ContextCheck { Pending, Agrees, Differs };

// Draws a few markers with the context itself, at window positions on and
// beside the rasterizer's ties, in a corner of the viewport, and compares
// the pixels they light with their MarkerCover. The corner's pixels are put
// back. Pending where the viewport is under 32 pixels either way. Needs GL 1.4.
ContextCheck checkMarkerCover();
