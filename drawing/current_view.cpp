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

OutlineView viewportOutlineView(int& bufferWidth) {
    OutlineView view{};
    glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    view.bufferHeight = view.viewport[1] + view.viewport[3];
    bufferWidth = view.viewport[0] + view.viewport[2];
    return view;
}
