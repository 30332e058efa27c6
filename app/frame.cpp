#include "app/frame.h"

#include <GL/freeglut.h>

#include <chrono>
#include <iostream>

#include "app/keys.h"
#include "app/view_transform.h"
#include "app/window_loss.h"
#include "measure/frame_capture.h"
#include "sitemap/height_map.h"

namespace {

// The polygon mode, culling and viewport that a picture was asked in, for
// the time it is drawn; the ones of now again afterwards.
class GlStateOf {
public:
    GlStateOf(int frontMode, bool askedCulling, const int* askedViewport) {
        glGetIntegerv(GL_POLYGON_MODE, modes);
        culling = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
        glGetIntegerv(GL_VIEWPORT, viewport);
        apply(frontMode, askedCulling, askedViewport);
    }
    ~GlStateOf() { apply(modes[0], culling, viewport); }
    GlStateOf(const GlStateOf&) = delete;
    GlStateOf& operator=(const GlStateOf&) = delete;

private:
    static void apply(GLint frontMode, bool culling, const GLint* viewport) {
        glPolygonMode(GL_FRONT, static_cast<GLenum>(frontMode));
        if (culling) {
            glEnable(GL_CULL_FACE);
        } else {
            glDisable(GL_CULL_FACE);
        }
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    }

    GLint modes[2] = {GL_FILL, GL_FILL};
    bool culling = false;
    GLint viewport[4] = {0, 0, 0, 0};
};

bool sameViewport(const int* a, const int* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// The window shows the background while a picture of a new size is worked
// out: what the window system leaves in a window's new part is no picture.
// The software driver takes in a new size only at a swap, so the back
// buffer is swapped once to take it in, and once cleared.
void showBackground() {
    glutSwapBuffers();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}

}  // namespace

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
    return stage != Stage::NotStarted && pictureFinished() &&
           currentInputs(map, view) == retainedInputs;
}

bool FrameRenderer::startOutlines(const HeightMap& map, const Inputs& inputs) {
    bool started = false;
    int width = 0;
    int height = 0;
    windowSize(width, height);
    drawInView(inputs.view(), [&] {
        started = outlines.usable() && outlines.start(inputs.sites, map.size / 2, width, height);
    });
    return started;
}

bool FrameRenderer::finishOutlines(const ViewState& view, bool wait) {
    // A frame waits a little for the picture: the window answers keys
    // between frames, and a frame that finds it unfinished costs the work a
    // core.
    constexpr double kFrameWaitMs = 15.0;
    if (wait) {
        outlines.wait();
    } else if (!outlines.waitFor(kFrameWaitMs)) {
        return false;
    }
    if (!outlines.worked()) {
        std::cout << OutlineDrawing::kOutOfMemory << std::endl;
        slicedFrame.start(retainedInputs.sites.head);
        stage = Stage::Slicing;
        return false;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawInView(view, [&] { outlines.draw(); });
    stage = Stage::Finished;
    kept = Kept::OutlineImage;
    return true;
}

void FrameRenderer::keepFrame(const int* viewport) {
    retainedFrame.keep(viewport[0], viewport[1], viewport[2], viewport[3]);
    stage = Stage::Finished;
    kept = Kept::Copy;
}

bool FrameRenderer::showRetained(const ViewState& view, const int* viewport) {
    if (kept == Kept::Copy) {
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
    // A picture of a few slices, or quickly worked out, is saved at once;
    // for a longer one the window answers keys meanwhile. Nothing is drawn
    // after the save's swap: a software driver takes in a new window size
    // only at a swap.
    constexpr auto kAtOnce = std::chrono::milliseconds(40);
    const auto until = std::chrono::steady_clock::now() + kAtOnce;
    pendingSaves.push_back({currentInputs(map, view), std::move(save)});
    while (!drawSaves(map, false) && std::chrono::steady_clock::now() < until) {
    }
}

void FrameRenderer::renderPass(HeightMap& map, const ViewState& view, bool wholePicture) {
    if (reshaped) {
        reshaped = false;
        if (stage == Stage::WorkingOut) {
            showBackground();
        }
    }
    // The saved states' pictures first, whatever the state is now.
    if (drawSaves(map, wholePicture)) {
        drawPicture(map, currentInputs(map, view), wholePicture);
    }
}

bool FrameRenderer::drawSaves(HeightMap& map, bool wholePicture) {
    while (!pendingSaves.empty()) {
        {
            const Inputs& asked = pendingSaves.front().inputs;
            const GlStateOf askedState(asked.frontMode, asked.culling, asked.viewport);
            if (!drawPicture(map, asked, wholePicture)) {
                return false;
            }
        }
        const std::function<void()> save = std::move(pendingSaves.front().save);
        pendingSaves.pop_front();
        save();
    }
    return true;
}

std::vector<unsigned char> FrameRenderer::pictureInMemory(int width, int height) {
    if (stage != Stage::Finished || kept != Kept::OutlineImage) {
        return {};
    }
    std::vector<unsigned char> frame = backgroundFrame(width, height);
    outlines.drawInto(frame, width, height);
    return frame;
}

bool FrameRenderer::drawPicture(HeightMap& map, const Inputs& inputs, bool wholePicture) {
    const int* viewport = inputs.viewport;
    const bool samePicture = stage != Stage::NotStarted && inputs == retainedInputs;
    lastShownRetained = samePicture && pictureDone() && showRetained(inputs.view(), viewport);
    if (lastShownRetained) {
        return true;
    }
    if ((!samePicture || pictureDone()) && startPicture(map, inputs)) {
        return true;
    }
    const ViewState view = inputs.view();
    if (stage == Stage::WorkingOut && finishOutlines(view, wholePicture)) {
        return true;
    }
    if (stage == Stage::WorkingOut) {
        return false;
    }
    while (slicedFrame.drawNextSlice(map, view) && wholePicture) {
    }
    if (slicedFrame.finished()) {
        keepFrame(viewport);
        return true;
    }
    showBackBuffer(viewport);
    return false;
}

bool FrameRenderer::startPicture(HeightMap& map, const Inputs& inputs) {
    const bool resized =
        stage != Stage::NotStarted && !sameViewport(inputs.viewport, retainedInputs.viewport);
    retainedInputs = inputs;
    // The filled drawing draws the map's sites as they are now; an earlier
    // state of them, which a save may ask for, gets the full cones.
    const bool sitesAsNow = inputs.sites == SiteListIdentity::of(map);
    if (inputs.frontMode == GL_FILL && sitesAsNow && drawFastFrame(map, inputs.view())) {
        slicedFrame.abandon();
        keepFrame(inputs.viewport);
        return true;
    }
    if (inputs.frontMode == GL_LINE && startOutlines(map, inputs)) {
        slicedFrame.abandon();
        stage = Stage::WorkingOut;
        if (resized) {
            showBackground();
        }
    } else {
        slicedFrame.start(inputs.sites.head);
        stage = Stage::Slicing;
    }
    return false;
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
