#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "app/keys.h"
#include "app/retained_frame.h"
#include "app/sliced_frame.h"
#include "cells/site_list_identity.h"
#include "drawing/filled_cone_drawing.h"
#include "drawing/outline_drawing.h"

class HeightMap;

// How a frame's cones are drawn: every cone whole (the reference), or only
// what shows of them (cut cones or the screen pass, whichever is cheaper).
enum class ConeDrawing { Reference, Fast };

// Draws one complete frame of the diagram into the current draw buffer with
// the full cones: clear, view transform (zoom, then pan), the cones and the
// markers. Leaves the modelview matrix as identity. The reference that the
// fast drawing is held against.
void drawFrame(HeightMap& map, const ViewState& view);

// Draws the window's frames: the filled drawing (cut cones or the screen
// pass) when polygons are filled, the full cones when they are outlined (cut
// cones would outline other shapes) or the filled drawing cannot run, and a
// copy of the last frame when nothing it depends on has changed. The full
// cones are drawn a slice per frame, so that no frame keeps the window from
// answering for long: into the back buffer, which is not swapped until the
// picture is finished, and copied to the front buffer after every slice.
// Drawing them into an offscreen buffer instead would not do: the driver
// rasterizes some edges there a pixel apart from the window's.
class FrameRenderer {
public:
    // Each slice of full cones aims at sliceBudgetMs of GL work; up to
    // cutConeSiteLimit sites the filled frames are cut cones.
    explicit FrameRenderer(double sliceBudgetMs = SliceBudget::kDefaultBudgetMs,
                           int cutConeSiteLimit = FilledConeDrawing::kCutConeSiteLimit)
        : filled(cutConeSiteLimit), slicedFrame(sliceBudgetMs) {}

    // One frame drawn from scratch as drawFrame does, in one pass, with the
    // cones drawn the given way (the full ones where the filled drawing
    // cannot run); what the filled drawing needs is worked out first if the
    // sites changed since the last time. No retained copy is used or made.
    void drawFrame(HeightMap& map, const ViewState& view, ConeDrawing drawing);

    // The window's next frame: after a change the fast picture, or the first
    // slice of the full cones; then the next slice, until the picture is
    // finished; then the retained copy. The back buffer is to be swapped
    // only when the picture is finished; until then it holds the slices so
    // far, which the render has shown in the front buffer.
    void render(HeightMap& map, const ViewState& view);
    // render, with all outstanding slices drawn first: the finished picture.
    void renderFinished(HeightMap& map, const ViewState& view);
    // Calls `save` with the finished picture of the current state in the
    // back buffer: at once, or, where the outlines are still being worked
    // out or the full cones drawn in slices, from the render that finishes
    // it, so that the window keeps answering meanwhile. Later states, and
    // later saves, wait for that picture; keys pressed meanwhile change
    // nothing of it.
    void saveWhenDrawn(HeightMap& map, const ViewState& view, std::function<void()> save);
    // Whether a save waits for its picture.
    bool savePending() const { return !pendingSaves.empty(); }
    // Takes the pending saves a step further (one slice, or a short wait for
    // the outlines), as a render would, without the current state's picture.
    void advanceSaves(HeightMap& map) { drawSaves(map, false); }
    // Finishes the pending saves, waiting for their pictures.
    void finishSaves(HeightMap& map) { drawSaves(map, true); }
    // The picture last drawn, as a frame in memory of width x height pixels
    // (see measure/frame_capture.h) that the window shows it in: for a
    // window that is gone. Empty but for a wire-frame picture worked out in
    // memory.
    std::vector<unsigned char> pictureInMemory(int width, int height);
    // Whether the picture the last render showed is finished.
    bool pictureFinished() const { return pictureDone() && pendingSaves.empty(); }
    // Whether the next render would show the finished picture it showed last.
    bool upToDate(const HeightMap& map, const ViewState& view) const;

    // Compiles the filled drawing's programs now, for a program's start-up.
    void compilePrograms() { filled.compilePrograms(); }
    // Works out now what the filled drawing needs if the sites changed, so
    // that the next frame does not.
    void prepare(HeightMap& map);
    // What that cost the last time, in milliseconds.
    double lastExtentMilliseconds() const { return filled.lastPreparationMilliseconds(); }
    // Which drawing gave the last filled frame.
    FilledDrawingPath lastFilledPath() const { return filled.lastPath(); }
    // The GL work of the last slice of full cones, in milliseconds.
    double lastSliceMilliseconds() const { return slicedFrame.lastSliceMilliseconds(); }
    // Whether the last render showed the retained copy.
    bool lastFrameRetained() const { return lastShownRetained; }
    // Makes the next render start a new picture.
    void forgetRetainedFrame() { stage = Stage::NotStarted; }
    // The window changed size: the window system leaves its new area unset,
    // so a picture still being worked out has the next render show the
    // background meanwhile, though the size may be back to what it was.
    void windowReshaped() { reshaped = true; }

private:
    // Everything the picture depends on besides the constant set-up.
    struct Inputs {
        SiteListIdentity sites;
        int size;
        float zoom;
        float panX;
        float panY;
        int frontMode;
        bool culling;
        int viewport[4];
        bool operator==(const Inputs& other) const;
        ViewState view() const { return {zoom, panX, panY}; }
    };
    static Inputs currentInputs(const HeightMap& map, const ViewState& view);

    void renderPass(HeightMap& map, const ViewState& view, bool wholePicture);
    // Draws the pending saves' pictures, each in the GL state it was asked
    // in, and saves them; false while the first is unfinished.
    bool drawSaves(HeightMap& map, bool wholePicture);
    // The picture of the inputs: shown again, continued, or started; then
    // the next slice or all of them. Whether it is finished.
    bool drawPicture(HeightMap& map, const Inputs& inputs, bool wholePicture);
    // Starts the picture of the inputs; whether it is finished already.
    bool startPicture(HeightMap& map, const Inputs& inputs);
    bool pictureDone() const { return stage != Stage::WorkingOut && stage != Stage::Slicing; }
    // The filled drawing's frame into the current draw buffer; false, with
    // the buffer cleared, where it cannot run.
    bool drawFastFrame(HeightMap& map, const ViewState& view);
    // Starts the outlines' picture of the cones in GL_LINE mode; false where
    // they cannot stand in for the full cones.
    bool startOutlines(const HeightMap& map, const Inputs& inputs);
    // Draws the outlines' picture once it is worked out, waiting for it at
    // most `waitMs` unless `wait`; whether it was drawn. Where memory ran out
    // for it, says so and starts the full cones in slices instead.
    bool finishOutlines(const ViewState& view, bool wait);
    // Keeps a copy of the finished picture in the viewport.
    void keepFrame(const int* viewport);
    // Shows the finished picture of the retained inputs again; false where
    // nothing of it is kept.
    bool showRetained(const ViewState& view, const int* viewport);

    FilledConeDrawing filled;
    RetainedFrame retainedFrame;
    SlicedFrame slicedFrame;
    OutlineDrawing outlines;
    // Where the picture of retainedInputs stands: none yet, its outlines
    // being worked out, its full cones being drawn in slices, or finished.
    enum class Stage { NotStarted, WorkingOut, Slicing, Finished };
    Stage stage = Stage::NotStarted;
    bool reshaped = false;
    // How a finished picture is shown again: a copy of it, or the outlines'
    // image drawn again, which costs what copying the picture out and back
    // would.
    enum class Kept { Copy, OutlineImage };
    Kept kept = Kept::Copy;
    Inputs retainedInputs{};
    // A save waiting for the picture of the state it was asked in.
    struct PendingSave {
        Inputs inputs;
        std::function<void()> save;
    };
    std::deque<PendingSave> pendingSaves;
    bool lastShownRetained = false;
};

// The renderer of the program's window.
FrameRenderer& windowFrameRenderer();
// Releases its GL objects; the window's context must be current. The next
// windowFrameRenderer() makes a new one.
void releaseWindowFrameRenderer();
