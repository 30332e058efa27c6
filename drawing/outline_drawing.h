#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "cells/background_job.h"
#include "cells/site_list_identity.h"
#include "drawing/marker_cover_check.h"
#include "outline/marker_cover.h"
#include "outline/outline_picture.h"

struct Site;

// The full cones' picture in GL_LINE mode without drawing their edges: the
// edge fragment that shows at each pixel is worked out on the processor
// (OutlinePicture), off the GL thread, and put into the draw buffer in one
// go, the markers over it as drawSiteMarkers draws them (MarkerCover). It
// follows the line and point rules of Mesa's software rasterizer, so it is
// used only where a few cones and markers drawn by the context itself come
// out as it predicts.
class OutlineDrawing {
public:
    OutlineDrawing();
    ~OutlineDrawing();
    OutlineDrawing(const OutlineDrawing&) = delete;
    OutlineDrawing& operator=(const OutlineDrawing&) = delete;

    // The line that says memory ran out for a picture.
    static constexpr const char* kOutOfMemory =
        "Could not allocate memory for the wire-frame picture, drawing the full cones";

    // Whether the context draws the cones' outlines and the markers as
    // predicted, and its state is the one they assume (depth test LEQUAL, back faces
    // culled, one-pixel lines, the default depth range). The check of the
    // context draws into the current draw buffer, once, at the first call
    // whose viewport is large enough for it; until then the answer is no.
    bool usable();

    // Starts working out the picture of the list's sites as cones of the
    // radius under the current matrices and viewport, in a window buffer of
    // the given size. Only the last picture started counts: one still being
    // worked out is dropped at its next band. False, after one line, where
    // memory ran out for the request.
    bool start(const SiteListIdentity& sites, int radius, int bufferWidth, int bufferHeight);
    // Whether the picture last started is worked out; wait() waits for it.
    bool finished();
    // Whether the picture last worked out was made; false where memory ran out.
    bool worked();
    void wait();
    // Waits at most `milliseconds` for it; whether it is worked out.
    bool waitFor(double milliseconds);
    // Draws the picture last started, the markers included, into the current
    // draw buffer (only the pixels an edge or a marker reaches; the rest
    // keeps the colour it has). It must be finished.
    void draw();
    // The same into a frame in memory of width x height pixels from the
    // lower left, bottom row first, blue, green, red: what draw() leaves in
    // a window that held that frame.
    void drawInto(std::vector<std::uint8_t>& frame, int width, int height);
    // What working the last picture out cost, in milliseconds.
    double lastComputeMilliseconds();

private:
    using SiteCopy = std::shared_ptr<std::vector<OutlineSite>>;
    // The pixels of an image that an edge or a marker lights lie in these
    // columns and rows (GL's, from the bottom), one past the right and top.
    struct LitBox {
        int left = 0;
        int bottom = 0;
        int right = 0;
        int top = 0;
    };
    struct Request {
        SiteCopy sites;  // never changed while a request holds it
        OutlineView view;
        float radius;
        int width;
        int height;
    };
    // What the drawing and the job working its pictures out share.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        bool pending = false;
        bool running = false;  // a job takes the pending requests on
        Request request;
        std::uint64_t requested = 0;      // requests made
        std::uint64_t done = 0;           // the request whose picture `image` holds
        std::vector<std::uint8_t> image;  // RGBA, bottom row first; alpha 0 where no edge shows
        int imageWidth = 0;
        int imageHeight = 0;
        LitBox imageLit;
        double computeMs = 0.0;
        bool made = true;
        // Set when the picture being worked out is no longer wanted: a newer
        // one was asked for, or the drawing goes.
        std::atomic<bool> cancel{false};
    };
    // What the job works in, kept from one picture to the next.
    struct Workspace {
        OutlinePicture picture;
        MarkerCover markers;
        std::vector<std::uint8_t> marked;
        std::vector<std::uint8_t> painted;
        LitBox paintedLit;
    };
    void makeRequest(const SiteListIdentity& sites, int radius, int bufferWidth, int bufferHeight);
    // The list's sites as the pictures take them, copied only when the list
    // changed: the copy walks a million heap blocks on the GL thread.
    SiteCopy sitesOf(const SiteListIdentity& list);
    // Works the requests out, on a thread of the pool, until none is pending.
    void drain();
    // The picture of the request, markers included, into `painted`, RGBA,
    // bottom row first; the pixels the markers light into `marked` on the way.
    static void paint(const Request& request, const std::atomic<bool>& cancel, Workspace& work);

    ContextCheck check = ContextCheck::Pending;
    Shared shared;
    SiteCopy copiedSites;
    SiteListIdentity copiedFor;
    Workspace workspace;
    // Last, so that it is waited for before what it uses goes.
    BackgroundJob job;
};
