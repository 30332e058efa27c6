#pragma once

#include "cells/window_to_raster.h"
#include "outline/cone_outline.h"

// The window-to-raster mapping under the current matrices, viewport and
// depth range. False when the view shows no area (zoom 0).
bool currentWindowToRaster(int radius, WindowToRaster& mapping);

// The current matrices and viewport, for a buffer as wide and as high as the
// viewport reaches (its width into `bufferWidth`).
OutlineView viewportOutlineView(int& bufferWidth);
