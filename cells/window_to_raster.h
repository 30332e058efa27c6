#pragma once

// How a fragment finds the raster point under its pixel centre and the
// full cone's depth there: raster = matrix * windowPosition + origin, and
// depth = depthAtDistance[0] + depthAtDistance[1] * 32-gon distance.
struct WindowToRaster {
    float matrix[4];  // column-major 2 x 2
    float origin[2];
    float depthAtDistance[2];
    // The other way: window = toWindow * raster + windowOrigin.
    float toWindow[4];  // column-major 2 x 2
    float windowOrigin[2];
};

// The view as GL holds it: column-major matrices, the viewport and the
// depth range.
struct ViewMatrices {
    double modelview[16];
    double projection[16];
    int viewport[4];
    double depthRange[2];
};

// The mapping for cones of the given radius under the view. False when the
// view shows no area (zoom 0) and there is no inverse.
bool windowToRasterOf(const ViewMatrices& view, int radius, WindowToRaster& mapping);
