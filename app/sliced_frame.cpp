#define GL_GLEXT_PROTOTYPES
#include "app/sliced_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>

#include "app/view_transform.h"
#include "sitemap/full_cones.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"
#include "sitemap/site_markers.h"

namespace {

std::chrono::steady_clock::time_point finishedNow() {
    glFinish();
    return std::chrono::steady_clock::now();
}

}  // namespace

void SlicedFrame::start(const Site* sites) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    firstSite = sites;
    nextCone = sites;
    nextMarker = nullptr;
    started = true;
    coneBudget.restart();
}

bool SlicedFrame::drawNextSlice(HeightMap& map, const ViewState& view) {
    if (!started) {
        return false;
    }
    const bool cones = nextCone != nullptr;
    SliceBudget& budget = cones ? coneBudget : markerBudget;
    const int count = budget.nextCount();
    const CurrentColour colourKept;
    const auto sliceStart = finishedNow();
    drawInView(view, [&] {
        if (cones) {
            nextCone = drawFullCones(nextCone, count, map.size / 2);
        } else {
            nextMarker = drawSiteMarkers(nextMarker, count);
        }
    });
    lastSliceMs = std::chrono::duration<double, std::milli>(finishedNow() - sliceStart).count();
    budget.record(count, lastSliceMs);
    if (cones && !nextCone) {
        nextMarker = firstSite;
        markerBudget.restart();
    }
    started = nextCone || nextMarker;
    return started;
}

void showBackBuffer(const int viewport[4]) {
    const ColourBufferChoice buffersKept;
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_FRONT);
    const int right = viewport[0] + viewport[2];
    const int top = viewport[1] + viewport[3];
    glBlitFramebuffer(viewport[0], viewport[1], right, top, viewport[0], viewport[1], right, top,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glFlush();
}
