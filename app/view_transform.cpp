#include "app/view_transform.h"

#include <GL/gl.h>

#include "app/keys.h"
#include "sitemap/gl_state.h"

void drawInView(const ViewState& view, const std::function<void()>& draw) {
    glLoadIdentity();
    const MatrixStack viewKept(GL_MODELVIEW);
    // Scale first, translate second: the pan is in raster pixels.
    glScalef(view.zoom, view.zoom, 1.0f);
    glTranslatef(view.panX, view.panY, 0.0f);
    draw();
}
