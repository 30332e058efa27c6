#include "app/frame.h"

#include <GL/freeglut.h>

#include <iostream>

#include "app/keys.h"
#include "app/view_transform.h"
#include "sitemap/height_map.h"

void drawFrame(HeightMap& map, const ViewState& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawInView(view, [&] { map.drawCones(map.size / 2, true); });
}

bool FrameRenderer::drawFastFrame(HeightMap& map, const ViewState& view) {
    bool drawn = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawInView(view, [&] { drawn = filled.draw(map, map.size / 2, true); });
    return drawn;
}

void FrameRenderer::drawFrame(HeightMap& map, const ViewState& view, ConeDrawing drawing) {
    if (drawing == ConeDrawing::Reference || !drawFastFrame(map, view)) {
        ::drawFrame(map, view);
    }
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

bool FrameRenderer::upToDate(const HeightMap& map, const ViewState& view) const {
    return pictureStarted && pictureFinished() && currentInputs(map, view) == retainedInputs;
}

bool FrameRenderer::startOutlines(HeightMap& map, const ViewState& view) {
    bool started = false;
    drawInView(view, [&] {
        started = outlines.usable() && outlines.start(map, map.size / 2, glutGet(GLUT_WINDOW_WIDTH),
                                                      glutGet(GLUT_WINDOW_HEIGHT));
    });
    return started;
}

bool FrameRenderer::finishOutlines(HeightMap& map, const ViewState& view, bool wait) {
    // A frame waits a little for the picture: the window answers keys
    // between frames, and a frame that finds it unfinished costs the work a
    // core.
    constexpr double kFrameWaitMs = 15.0;
    if (wait) {
        outlines.wait();
    } else if (!outlines.waitFor(kFrameWaitMs)) {
        return false;
    }
    outlinePending = false;
    if (!outlines.worked()) {
        std::cout << OutlineDrawing::kOutOfMemory << std::endl;
        slicedFrame.start(map);
        return false;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawInView(view, [&] { outlines.draw(); });
    return true;
}

void FrameRenderer::keepFrame(const int* viewport) {
    retainedFrame.keep(viewport[0], viewport[1], viewport[2], viewport[3]);
    outlinesRetained = false;
}

bool FrameRenderer::showRetained(const ViewState& view, const int* viewport) {
    if (!outlinesRetained) {
        return retainedFrame.show(viewport[0], viewport[1], viewport[2], viewport[3]);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawInView(view, [&] { outlines.draw(); });
    return true;
}

void FrameRenderer::render(HeightMap& map, const ViewState& view) {
    renderPass(map, view, false);
}

void FrameRenderer::renderFinished(HeightMap& map, const ViewState& view) {
    renderPass(map, view, true);
}

void FrameRenderer::saveWhenDrawn(HeightMap& map, const ViewState& view,
                                  std::function<void()> save) {
    if (!pendingSave) {
        renderPass(map, view, false);
        if (outlinePending) {
            pendingSave = PendingSave{view, std::move(save)};
            return;
        }
    }
    renderFinished(map, view);
    save();
}

void FrameRenderer::renderPass(HeightMap& map, const ViewState& view, bool wholePicture) {
    if (pendingSave) {
        // The saved state's picture first, whatever the state is now.
        const bool outlined = finishOutlines(map, pendingSave->view, wholePicture);
        if (!outlined && outlinePending) {
            return;
        }
        // Where memory ran out for the outlines, the full cones draw it.
        while (!outlined && slicedFrame.drawNextSlice(map, pendingSave->view)) {
        }
        const PendingSave done = std::move(*pendingSave);
        pendingSave.reset();
        outlinePending = false;
        const int* viewport = retainedInputs.viewport;
        keepFrame(viewport);
        done.save();
    }
    const Inputs inputs = currentInputs(map, view);
    const int* viewport = inputs.viewport;
    const bool samePicture = pictureStarted && inputs == retainedInputs;
    retained = samePicture && pictureFinished() && showRetained(view, viewport);
    if (retained) {
        return;
    }
    if (!samePicture || pictureFinished()) {
        retainedInputs = inputs;
        pictureStarted = true;
        outlinePending = false;
        if (inputs.frontMode == GL_FILL && drawFastFrame(map, view)) {
            slicedFrame.abandon();
            keepFrame(viewport);
            return;
        }
        if (inputs.frontMode == GL_LINE && startOutlines(map, view)) {
            slicedFrame.abandon();
            outlinePending = true;
        } else {
            slicedFrame.start(map);
        }
    }
    if (outlinePending && finishOutlines(map, view, wholePicture)) {
        outlinesRetained = true;
        return;
    }
    if (outlinePending) {
        return;
    }
    while (slicedFrame.drawNextSlice(map, view) && wholePicture) {
    }
    if (slicedFrame.finished()) {
        keepFrame(viewport);
    } else {
        showBackBuffer(viewport);
    }
}

namespace {

// Made on first use and released only while the window's context exists: at
// exit the context is gone, and GL calls then have nothing to act on.
FrameRenderer* windowRenderer = nullptr;

}  // namespace

FrameRenderer& windowFrameRenderer() {
    if (!windowRenderer) {
        windowRenderer = new FrameRenderer();
    }
    return *windowRenderer;
}

void releaseWindowFrameRenderer() {
    delete windowRenderer;
    windowRenderer = nullptr;
}
