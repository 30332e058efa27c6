#define GL_GLEXT_PROTOTYPES
#include "app/sliced_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>

#include "app/frame.h"
#include "sitemap/full_cones.h"
#include "sitemap/height_map.h"
#include "sitemap/site_markers.h"

namespace {

std::chrono::steady_clock::time_point finishedNow() {
    glFinish();
    return std::chrono::steady_clock::now();
}

}  // namespace

void SlicedFrame::start(const HeightMap& map) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    nextSite = map.sites;
    started = true;
    budget.restart();
}

bool SlicedFrame::drawNextSlice(HeightMap& map, const ViewState& view) {
    if (!started) {
        return false;
    }
    const int cones = budget.nextConeCount();
    GLfloat savedColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_CURRENT_COLOR, savedColour);
    const auto sliceStart = finishedNow();
    drawInView(view, [&] {
        nextSite = drawFullCones(nextSite, cones, map.size / 2);
        if (!nextSite) {
            drawSiteMarkers(map.sites);
        }
    });
    lastSliceMs = std::chrono::duration<double, std::milli>(finishedNow() - sliceStart).count();
    glColor4fv(savedColour);
    budget.record(cones, lastSliceMs);
    started = nextSite != nullptr;
    return started;
}

void showBackBuffer(const int viewport[4]) {
    GLint savedReadBuffer = GL_BACK;
    GLint savedDrawBuffer = GL_BACK;
    glGetIntegerv(GL_READ_BUFFER, &savedReadBuffer);
    glGetIntegerv(GL_DRAW_BUFFER, &savedDrawBuffer);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_FRONT);
    const int right = viewport[0] + viewport[2];
    const int top = viewport[1] + viewport[3];
    glBlitFramebuffer(viewport[0], viewport[1], right, top, viewport[0], viewport[1], right, top,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glDrawBuffer(static_cast<GLenum>(savedDrawBuffer));
    glReadBuffer(static_cast<GLenum>(savedReadBuffer));
    glFlush();
}
