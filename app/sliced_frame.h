#pragma once

#include "app/slice_budget.h"

class HeightMap;
struct Site;
struct ViewState;

// A picture of full cones drawn a slice of cones at a time into the current
// draw buffer, so that no single frame has to draw them all: the same clear,
// view transform, cones in list order and markers last as drawFrame, with
// the depth test carrying over from slice to slice, so the finished picture
// is the one drawFrame gives there. The markers come in slices of their own
// after the last cone: hundreds of thousands take a while too. The buffer
// must keep its colour and depth from one slice to the next. Each slice's GL
// work is finished before the next, which keeps the driver from holding a
// whole picture's geometry, and timed, which sizes the next slice.
class SlicedFrame {
public:
    explicit SlicedFrame(double sliceBudgetMs = SliceBudget::kDefaultBudgetMs)
        : coneBudget(sliceBudgetMs), markerBudget(sliceBudgetMs) {}

    // Clears the draw buffer for a new picture of the list's sites.
    void start(const Site* sites);
    // Draws the next slice of cones, or of markers once the cones are done,
    // under the view, with the map's cone radius. The view must be the one of
    // the whole picture. True while slices are outstanding.
    bool drawNextSlice(HeightMap& map, const ViewState& view);
    bool finished() const { return !started; }
    // Leaves the picture as it stands; the next one starts afresh.
    void abandon() { started = false; }
    // The GL work of the last slice, in milliseconds.
    double lastSliceMilliseconds() const { return lastSliceMs; }

private:
    SliceBudget coneBudget;
    SliceBudget markerBudget;
    bool started = false;
    const Site* firstSite = nullptr;
    const Site* nextCone = nullptr;
    const Site* nextMarker = nullptr;
    double lastSliceMs = 0.0;
};

// Copies the back buffer's viewport rectangle to the front buffer, so that
// the window shows a picture that is not finished without a buffer swap,
// which would leave the back buffer undefined.
void showBackBuffer(const int viewport[4]);
