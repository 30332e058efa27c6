#pragma once

#include "app/retained_frame.h"
#include "sitemap/filled_cone_drawing.h"
#include "sitemap/site_list_identity.h"

struct ViewState;
class HeightMap;

// How a frame's cones are drawn: every cone whole (the reference), or only
// what shows of them (cut cones or the screen pass, whichever is cheaper).
enum class ConeDrawing { Reference, Fast };

// Draws one complete frame of the diagram into the current draw buffer with
// the full cones: clear, view transform (zoom, then pan), the cones and the
// markers. Leaves the modelview matrix as identity. The reference that the
// fast drawing is held against.
void drawFrame(HeightMap& map, const ViewState& view);

// Draws the window's frames: the filled drawing when polygons are filled,
// the full cones when they are outlined (cut cones would outline other shapes),
// and a copy of the last frame when nothing it depends on has changed.
class FrameRenderer {
public:
    // Up to cutConeSiteLimit sites the filled frames are cut cones.
    explicit FrameRenderer(int cutConeSiteLimit = FilledConeDrawing::kCutConeSiteLimit)
        : filled(cutConeSiteLimit) {}

    // One frame drawn from scratch as drawFrame does, with the cones drawn
    // the given way; the cut cones are worked out first if the sites changed
    // since the last time. No retained copy is used or made. Where the fast
    // drawings cannot run, the full cones.
    void drawFrame(HeightMap& map, const ViewState& view, ConeDrawing drawing);

    // The frame for the window's back buffer.
    void render(HeightMap& map, const ViewState& view);

    // Works out now what the filled drawing needs if the sites changed, so
    // that the next frame does not.
    void prepare(HeightMap& map);
    // What that cost the last time, in milliseconds.
    double lastExtentMilliseconds() const { return filled.lastPreparationMilliseconds(); }
    // Which drawing gave the last filled frame.
    FilledDrawingPath lastFilledPath() const { return filled.lastPath(); }
    // Whether the last render showed the retained copy.
    bool lastFrameRetained() const { return retained; }
    // Makes the next render draw.
    void forgetRetainedFrame() { retainedFrame.forget(); }

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
    };
    static Inputs currentInputs(const HeightMap& map, const ViewState& view);

    FilledConeDrawing filled;
    RetainedFrame retainedFrame;
    Inputs retainedInputs{};
    bool retained = false;
};

// The renderer of the program's window.
FrameRenderer& windowFrameRenderer();
