#pragma once

#include "app/retained_frame.h"
#include "sitemap/cut_cone_drawing.h"

struct ViewState;
class HeightMap;

// How a frame's cones are drawn: every cone whole (the reference), or cut
// down to its site's cell.
enum class ConeDrawing { Reference, Fast };

// Draws one complete frame of the diagram into the current draw buffer with
// the full cones: clear, view transform (zoom, then pan), the cones and the
// markers. Leaves the modelview matrix as identity. The reference that the
// fast drawing is held against.
void drawFrame(HeightMap& map, const ViewState& view);

// Draws the window's frames: the cut cones when polygons are filled, the
// full cones when they are outlined (cut cones would outline other shapes),
// and a copy of the last frame when nothing it depends on has changed.
class FrameRenderer {
public:
    // One frame drawn from scratch as drawFrame does, with the cones drawn
    // the given way; the cut cones are worked out first if the sites changed
    // since the last time. No retained copy is used or made.
    void drawFrame(HeightMap& map, const ViewState& view, ConeDrawing drawing);

    // The frame for the window's back buffer.
    void render(HeightMap& map, const ViewState& view);

    // Works the cut cones out now if the sites changed, so that the next
    // frame does not.
    void prepare(HeightMap& map);
    // What working the cut cones out cost the last time, in milliseconds.
    double lastExtentMilliseconds() const { return cutCones.lastRebuildMilliseconds(); }
    // Whether the last render showed the retained copy.
    bool lastFrameRetained() const { return retained; }
    // Makes the next render draw.
    void forgetRetainedFrame() { retainedFrame.forget(); }

private:
    // Everything the picture depends on besides the constant set-up.
    struct Inputs {
        const void* sites;
        int siteCount;
        int size;
        float zoom;
        float panX;
        float panY;
        int frontMode;
        bool culling;
        int viewport[4];
        bool operator==(const Inputs& other) const;
    };
    static Inputs currentInputs(const HeightMap& map, const ViewState& view);

    CutConeDrawing cutCones;
    RetainedFrame retainedFrame;
    Inputs retainedInputs{};
    bool retained = false;
};

// The renderer of the program's window.
FrameRenderer& windowFrameRenderer();
