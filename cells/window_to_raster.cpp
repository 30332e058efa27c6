#include "cells/window_to_raster.h"

#include <cmath>

namespace {

// Window position and depth of raster point (x, y) at cone height z.
struct WindowPoint {
    double x;
    double y;
    double depth;
};

class ViewTransform {
public:
    explicit ViewTransform(const ViewMatrices& view) : view(view) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                double sum = 0.0;
                for (int inner = 0; inner < 4; ++inner) {
                    sum += view.projection[inner * 4 + row] * view.modelview[column * 4 + inner];
                }
                combined[column * 4 + row] = sum;
            }
        }
    }

    WindowPoint toWindow(double x, double y, double z) const {
        double clip[4];
        for (int row = 0; row < 4; ++row) {
            clip[row] = combined[row] * x + combined[4 + row] * y + combined[8 + row] * z +
                        combined[12 + row];
        }
        const double ndcX = clip[0] / clip[3];
        const double ndcY = clip[1] / clip[3];
        const double ndcZ = clip[2] / clip[3];
        const int* viewport = view.viewport;
        const double* depthRange = view.depthRange;
        return {viewport[0] + (ndcX + 1.0) / 2.0 * viewport[2],
                viewport[1] + (ndcY + 1.0) / 2.0 * viewport[3],
                depthRange[0] + (ndcZ + 1.0) / 2.0 * (depthRange[1] - depthRange[0])};
    }

private:
    const ViewMatrices& view;
    double combined[16];
};

}  // namespace

// The view maps raster points to window points by an affine map; the
// fragments need its inverse.
bool windowToRasterOf(const ViewMatrices& view, int radius, WindowToRaster& mapping) {
    const ViewTransform transform(view);
    const WindowPoint origin = transform.toWindow(0.0, 0.0, 1.0);
    const WindowPoint alongX = transform.toWindow(1.0, 0.0, 1.0);
    const WindowPoint alongY = transform.toWindow(0.0, 1.0, 1.0);
    const WindowPoint onRim = transform.toWindow(0.0, 0.0, 0.0);
    const double xx = alongX.x - origin.x;
    const double xy = alongX.y - origin.y;
    const double yx = alongY.x - origin.x;
    const double yy = alongY.y - origin.y;
    const double determinant = xx * yy - yx * xy;
    if (!std::isfinite(determinant) || determinant == 0.0) {
        return false;
    }
    // Columns of the inverse of [[xx, yx], [xy, yy]].
    mapping.matrix[0] = static_cast<float>(yy / determinant);
    mapping.matrix[1] = static_cast<float>(-xy / determinant);
    mapping.matrix[2] = static_cast<float>(-yx / determinant);
    mapping.matrix[3] = static_cast<float>(xx / determinant);
    mapping.origin[0] = static_cast<float>(-(yy * origin.x - yx * origin.y) / determinant);
    mapping.origin[1] = static_cast<float>(-(-xy * origin.x + xx * origin.y) / determinant);
    mapping.toWindow[0] = static_cast<float>(xx);
    mapping.toWindow[1] = static_cast<float>(xy);
    mapping.toWindow[2] = static_cast<float>(yx);
    mapping.toWindow[3] = static_cast<float>(yy);
    mapping.windowOrigin[0] = static_cast<float>(origin.x);
    mapping.windowOrigin[1] = static_cast<float>(origin.y);
    // Height z = 1 - distance / radius.
    mapping.depthAtDistance[0] = static_cast<float>(origin.depth);
    mapping.depthAtDistance[1] = static_cast<float>((onRim.depth - origin.depth) / radius);
    return true;
}
