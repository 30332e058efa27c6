#include "app/frame.h"

#include <GL/freeglut.h>

#include "app/keys.h"
#include "sitemap/height_map.h"

namespace {

template <typename DrawCones>
void drawFrameWith(HeightMap& map, const ViewState& view, DrawCones drawCones) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glPushMatrix();
    glLoadIdentity();
    // Scale first, translate second: the pan is in raster pixels.
    glScalef(view.zoom, view.zoom, 1.0f);
    glTranslatef(view.panX, view.panY, 0.0f);
    drawCones(map.size / 2);
    glPopMatrix();
}

}  // namespace

void drawFrame(HeightMap& map, const ViewState& view) {
    drawFrameWith(map, view, [&](int radius) { map.drawCones(radius, true); });
}

void FrameRenderer::drawFrame(HeightMap& map, const ViewState& view, ConeDrawing drawing) {
    if (drawing == ConeDrawing::Reference) {
        ::drawFrame(map, view);
        return;
    }
    drawFrameWith(map, view, [&](int radius) {
        if (!filled.draw(map, radius, true)) {
            map.drawCones(radius, true);
        }
    });
}

void FrameRenderer::prepare(HeightMap& map) {
    filled.update(map, map.size / 2);
}

bool FrameRenderer::Inputs::operator==(const Inputs& other) const {
    return sites == other.sites && size == other.size && zoom == other.zoom && panX == other.panX &&
           panY == other.panY && frontMode == other.frontMode && culling == other.culling &&
           viewport[0] == other.viewport[0] && viewport[1] == other.viewport[1] &&
           viewport[2] == other.viewport[2] && viewport[3] == other.viewport[3];
}

FrameRenderer::Inputs FrameRenderer::currentInputs(const HeightMap& map, const ViewState& view) {
    Inputs inputs{SiteListIdentity::of(map),
                  map.size,
                  view.zoom,
                  view.panX,
                  view.panY,
                  GL_FILL,
                  false,
                  {0, 0, 0, 0}};
    GLint polygonModes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonModes);
    inputs.frontMode = polygonModes[0];
    inputs.culling = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
    glGetIntegerv(GL_VIEWPORT, inputs.viewport);
    return inputs;
}

void FrameRenderer::render(HeightMap& map, const ViewState& view) {
    const Inputs inputs = currentInputs(map, view);
    const int* viewport = inputs.viewport;
    retained = inputs == retainedInputs &&
               retainedFrame.show(viewport[0], viewport[1], viewport[2], viewport[3]);
    if (retained) {
        return;
    }
    drawFrame(map, view, inputs.frontMode == GL_FILL ? ConeDrawing::Fast : ConeDrawing::Reference);
    retainedInputs = inputs;
    retainedFrame.keep(viewport[0], viewport[1], viewport[2], viewport[3]);
}

FrameRenderer& windowFrameRenderer() {
    static FrameRenderer renderer;
    return renderer;
}
