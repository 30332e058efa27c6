#include "drawing/outline_drawing.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "drawing/current_view.h"
#include "drawing/marker_cover_check.h"
#include "drawing/outline_check.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"

namespace {

const std::uint32_t kMarkerRed = packedColour(255, 0, 0);
constexpr int kPaintThreads = 2;

OutlineView currentOutlineView(int bufferHeight) {
    int viewportRight = 0;
    OutlineView view = viewportOutlineView(viewportRight);
    view.bufferHeight = bufferHeight;
    return view;
}

}  // namespace

OutlineDrawing::OutlineDrawing() = default;

OutlineDrawing::~OutlineDrawing() {
    // The job stops between the stages of its picture, its bands and its
    // rows, a few hundred milliseconds at most; `job` waits for it.
    const std::lock_guard<std::mutex> lock(shared.mutex);
    shared.pending = false;
    shared.cancel = true;
}

bool OutlineDrawing::usable() {
    if (check == ContextCheck::Pending) {
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        try {
            ContextCheck found = renderer && std::strstr(renderer, "llvmpipe")
                                     ? checkOutlines()
                                     : ContextCheck::Differs;
            if (found == ContextCheck::Agrees) {
                found = checkMarkerCover();
            }
            check = found;
        } catch (const std::bad_alloc&) {
            // Checked again when the next picture starts.
            std::cout << kOutOfMemory << std::endl;
            return false;
        }
    }
    return check == ContextCheck::Agrees && outlineStateAsAssumed();
}

bool OutlineDrawing::start(const SiteListIdentity& sites, int radius, int bufferWidth,
                           int bufferHeight) {
    try {
        makeRequest(sites, radius, bufferWidth, bufferHeight);
        return true;
    } catch (const std::bad_alloc&) {
        std::cout << kOutOfMemory << std::endl;
        return false;
    }
}

OutlineDrawing::SiteCopy OutlineDrawing::sitesOf(const SiteListIdentity& list) {
    if (copiedSites && copiedFor == list) {
        return copiedSites;
    }
    SiteCopy copy;
    {
        // Where no request holds the last copy any more, its memory is
        // refilled: fresh pages cost more than the copying. Requests let
        // their copies go under the lock.
        const std::lock_guard<std::mutex> lock(shared.mutex);
        if (copiedSites.use_count() == 1) {
            copy = std::move(copiedSites);
        }
        copiedSites.reset();
    }
    if (!copy) {
        copy = std::make_shared<std::vector<OutlineSite>>();
    }
    copy->clear();
    // Room for all at once: growing it site by site costs copies and fresh
    // pages on the GL thread.
    reserveLarge(*copy, countSites(list.head));
    for (const Site* site = list.head; site; site = site->next) {
        copy->push_back({static_cast<float>(site->x), static_cast<float>(site->y),
                         packedColour(site->r, site->g, site->b)});
    }
    copiedSites = copy;
    copiedFor = list;
    return copy;
}

void OutlineDrawing::makeRequest(const SiteListIdentity& sites, int radius, int bufferWidth,
                                 int bufferHeight) {
    Request next;
    next.view = currentOutlineView(bufferHeight);
    next.radius = static_cast<float>(radius);
    next.width = bufferWidth;
    next.height = bufferHeight;
    next.sites = sitesOf(sites);
    bool startJob = false;
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.request = std::move(next);
        shared.pending = true;
        shared.cancel = true;
        ++shared.requested;
        startJob = !shared.running;
        shared.running = true;
    }
    if (startJob) {
        job = BackgroundJob([this] { drain(); });
    }
}

bool OutlineDrawing::finished() {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.done == shared.requested;
}

bool OutlineDrawing::worked() {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.made;
}

void OutlineDrawing::wait() {
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.wake.wait(lock, [this] { return shared.done == shared.requested; });
}

bool OutlineDrawing::waitFor(double milliseconds) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    return shared.wake.wait_for(lock, std::chrono::duration<double, std::milli>(milliseconds),
                                [this] { return shared.done == shared.requested; });
}

double OutlineDrawing::lastComputeMilliseconds() {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    return shared.computeMs;
}

void OutlineDrawing::paint(const Request& request, const std::atomic<bool>& cancel,
                           Workspace& work) {
    OutlinePicture& picture = work.picture;
    MarkerCover& markers = work.markers;
    std::vector<std::uint8_t>& marked = work.marked;
    std::vector<std::uint8_t>& painted = work.painted;
    const int width = std::max(request.width, 0);
    const int height = std::max(request.height, 0);
    // The markers go over the picture, so nothing of it is worked out where
    // they lie.
    markers.compute(*request.sites, request.view, width, height);
    markers.litPixels(marked);
    picture.compute(*request.sites, request.view, request.radius, width, height, marked, &cancel);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    reserveLarge(painted, pixels * 4);
    painted.resize(pixels * 4);
    const std::vector<std::int32_t>& winners = picture.winners();
    // Each thread paints every other row, and notes the rectangle of the lit
    // pixels among them.
    LitBox litRows[kPaintThreads];
    onThreads(kPaintThreads, [&](int thread) {
        LitBox lit = {width, height, 0, 0};
        for (int row = thread; row < height; row += kPaintThreads) {
            // GL's rows run from the bottom.
            const int glRow = height - 1 - row;
            std::uint8_t* out = &painted[static_cast<std::size_t>(glRow) * width * 4];
            const std::int32_t* in = &winners[static_cast<std::size_t>(row) * width];
            const std::uint8_t* marker = &marked[static_cast<std::size_t>(row) * width];
            int firstLit = width;
            int lastLit = -1;
            for (int column = 0; column < width; ++column) {
                std::uint32_t colour = 0;
                if (marker[column]) {
                    colour = kMarkerRed;
                } else if (in[column] >= 0) {
                    colour = (*request.sites)[static_cast<std::size_t>(in[column])].colour;
                }
                std::memcpy(out + column * 4, &colour, 4);
                if (colour != 0) {
                    firstLit = std::min(firstLit, column);
                    lastLit = column;
                }
            }
            if (lastLit >= 0) {
                lit = {std::min(lit.left, firstLit), std::min(lit.bottom, glRow),
                       std::max(lit.right, lastLit + 1), std::max(lit.top, glRow + 1)};
            }
        }
        litRows[thread] = lit;
    });
    LitBox& lit = work.paintedLit;
    lit = {width, height, 0, 0};
    for (const LitBox& rows : litRows) {
        lit = {std::min(lit.left, rows.left), std::min(lit.bottom, rows.bottom),
               std::max(lit.right, rows.right), std::max(lit.top, rows.top)};
    }
}

void OutlineDrawing::drain() {
    for (;;) {
        Request request;
        std::uint64_t number = 0;
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            if (!shared.pending) {
                shared.running = false;
                return;
            }
            request = std::move(shared.request);
            shared.pending = false;
            shared.cancel = false;
            number = shared.requested;
        }
        const auto begin = std::chrono::steady_clock::now();
        bool worked = true;
        try {
            paint(request, shared.cancel, workspace);
        } catch (const std::exception&) {
            std::vector<std::uint8_t>().swap(workspace.painted);
            worked = false;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count();
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            request.sites.reset();
            if (shared.cancel) {
                continue;  // a picture nobody waits for
            }
            shared.image.swap(workspace.painted);
            shared.imageWidth = worked ? std::max(request.width, 0) : 0;
            shared.imageHeight = worked ? std::max(request.height, 0) : 0;
            shared.imageLit = workspace.paintedLit;
            shared.made = worked;
            shared.done = number;
            shared.computeMs = ms;
        }
        shared.wake.notify_all();
    }
}

void OutlineDrawing::draw() {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    const LitBox& lit = shared.imageLit;
    if (shared.imageWidth <= 0 || shared.imageHeight <= 0 || lit.right <= lit.left ||
        lit.top <= lit.bottom) {
        return;
    }
    const AttribGroups kept(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_PIXEL_MODE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    // Pixels no edge reaches keep what the buffer holds.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glPixelZoom(1.0f, 1.0f);
    const BufferBinding drawFromMemory(GL_PIXEL_UNPACK_BUFFER, 0);
    const PixelStore unpackRows(GL_UNPACK_ALIGNMENT, 1);
    // Only the rectangle that holds lit pixels: the rasterizer pays for every
    // pixel drawn, and at small zooms the picture fills a corner.
    const PixelStore wholeRows(GL_UNPACK_ROW_LENGTH, shared.imageWidth);
    const PixelStore skippedColumns(GL_UNPACK_SKIP_PIXELS, lit.left);
    const PixelStore skippedRows(GL_UNPACK_SKIP_ROWS, lit.bottom);
    glWindowPos2i(lit.left, lit.bottom);
    glDrawPixels(lit.right - lit.left, lit.top - lit.bottom, GL_RGBA, GL_UNSIGNED_BYTE,
                 shared.image.data());
}

void OutlineDrawing::drawInto(std::vector<std::uint8_t>& frame, int width, int height) {
    const std::lock_guard<std::mutex> lock(shared.mutex);
    const int columns = std::min(shared.imageWidth, width);
    const int rows = std::min(shared.imageHeight, height);
    for (int row = 0; row < rows; ++row) {
        const std::uint8_t* in =
            &shared.image[static_cast<std::size_t>(row) * shared.imageWidth * 4];
        std::uint8_t* out = &frame[static_cast<std::size_t>(row) * width * 3];
        for (int column = 0; column < columns; ++column, in += 4, out += 3) {
            if (in[3] > 0) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
}
