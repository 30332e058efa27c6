#pragma once

#include "cells/window_to_raster.h"

// The window-to-raster mapping under the current matrices, viewport and
// depth range. False when the view shows no area (zoom 0).
bool currentWindowToRaster(int radius, WindowToRaster& mapping);
