#pragma once

// How a fragment finds the raster point under its pixel centre and the
// full cone's depth there, under the current matrices, viewport and depth
// range: raster = matrix * windowPosition + origin, and
// depth = depthAtDistance[0] + depthAtDistance[1] * 32-gon distance.
struct WindowToRaster {
    float matrix[4];  // column-major 2 x 2
    float origin[2];
    float depthAtDistance[2];
    // The other way: window = toWindow * raster + windowOrigin.
    float toWindow[4];  // column-major 2 x 2
    float windowOrigin[2];
};

// False when the view shows no area (zoom 0) and there is no inverse.
bool currentWindowToRaster(int radius, WindowToRaster& mapping);
