#include "drawing/current_view.h"

#include <GL/gl.h>

bool currentWindowToRaster(int radius, WindowToRaster& mapping) {
    ViewMatrices view;
    glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, view.projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    glGetDoublev(GL_DEPTH_RANGE, view.depthRange);
    return windowToRasterOf(view, radius, mapping);
}
