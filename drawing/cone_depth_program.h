#pragma once

// A GL program for the cut cones that gives each fragment the full cone's
// depth at its pixel centre, worked out from the pixel's raster position and
// the site's, instead of interpolating it across the triangle. The
// rasterizer's interpolation loses precision across long thin triangles,
// enough to swap two sites whose 32-gon distances differ by 1e-3; the
// computed depth is as exact as 32-bit floats allow. The site's position
// comes in as texture coordinate 0, the colour as the vertex colour.
class ConeDepthProgram {
public:
    ConeDepthProgram() = default;
    ~ConeDepthProgram();
    ConeDepthProgram(const ConeDepthProgram&) = delete;
    ConeDepthProgram& operator=(const ConeDepthProgram&) = delete;

    // Makes the program current for cones of this radius under the current
    // matrices and viewport, compiling it on first use; the caller keeps its
    // own program with a ProgramBinding. False, changing nothing, when GL
    // cannot run it or the view shows no area.
    bool use(int radius);

private:
    bool compile();

    unsigned int program = 0;
    bool unusable = false;
    int windowToRasterLocation = -1;
    int rasterOriginLocation = -1;
    int depthLocation = -1;
};
