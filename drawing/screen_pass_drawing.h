#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "cells/marker_points.h"
#include "cells/site_list_identity.h"
#include "drawing/marker_cover_check.h"
#include "drawing/rim_strips.h"
#include "nearest/lattice_cells.h"
#include "outline/marker_cover.h"

class HeightMap;
struct WindowToRaster;

// How the cells' pass meets the markers: not at all; lighting their pixels
// from their cover itself, at the least depth, for rim strips drawn after
// it; behind them, drawn first; or lighting them with nothing drawn after
// it, leaving the depth as it finds it.
enum class CellPass { Plain, CoveringMarkers, BehindMarkers, LightingMarkers };

// Draws the cells of the full cones with one quad over the part of the
// window their grid covers: each pixel looks its raster point up in the site
// candidates and takes the nearest of the few listed there, with that cone's
// colour and depth. The cost follows the pixels, not the sites. Right at the
// rims, strips of the cones draw. Needs GL 4.3 and GLSL 4.30.
class ScreenPassDrawing {
public:
    ScreenPassDrawing() = default;
    ~ScreenPassDrawing();
    ScreenPassDrawing(const ScreenPassDrawing&) = delete;
    ScreenPassDrawing& operator=(const ScreenPassDrawing&) = delete;

    // Whether the context can run the pass; compiles it on the first call.
    bool available();
    // Works the candidates out and uploads them when the sites or the
    // radius differ from the last time. Needs the GL context. Throws
    // std::bad_alloc when memory (or GL's) runs out; draw then rebuilds.
    void update(const HeightMap& map, int radius);
    // update, then the cells and, when markSites is set, every site's red
    // marker over them, under the current matrices; the colours are those
    // the full cones and drawSiteMarkers leave. Leaves the GL state as it
    // found it. False, drawing nothing, where the
    // context cannot run the pass or the view shows no area.
    bool draw(const HeightMap& map, int radius, bool markSites);

    // What the last rebuild cost (candidates and upload) in milliseconds.
    double lastRebuildMilliseconds() const { return rebuildMilliseconds; }

private:
    // Into `corners`, in normalized device coordinates (left, bottom, right,
    // top), the quad over the grid's part of the viewport; false where the
    // grid lies outside it, and then nothing shows.
    bool quadOverGrid(const WindowToRaster& mapping, float* corners) const;
    void drawCells(const WindowToRaster& mapping, const float* corners, int radius, CellPass pass);
    // The quad with those corners under `program`, with the buffer textures bound
    // and the markers' cover's uniforms set, after setUniforms; with
    // depthKept, it neither writes depth nor passes where markers drawn
    // before it did.
    void drawQuad(unsigned int program, const float* corners, bool depthKept,
                  const std::function<void()>& setUniforms);
    // The markers' cover under the current view, into its buffer.
    void uploadMarkerCover();
    // Attaches buffer `index`, as uploaded, to its texture in `format`.
    void viewAsTexture(int index, unsigned int format);
    // Every marker as a GL point, where the context lights them otherwise
    // than their cover says.
    void drawMarkers();

    // The candidates are worked out on both cores.
    static constexpr int kThreads = 2;
    // Buffers the pass reads, as textures: the candidates' (three for the
    // tree, two for the lattice) and the markers' cover. A software
    // renderer fetches texels for a block of pixels at once, where it reads
    // storage buffers lane by lane: the pass took twice as long so.
    static constexpr int kBufferTextures = 4;

    bool triedCompile = false;
    // Each cell pass for the general candidate tree, then for sites on
    // integer points, then the markers' cover alone.
    static constexpr int kCellPasses = 4;
    unsigned int programs[2 * kCellPasses + 1] = {};
    // Sites, nodes and candidates of the general tree (the lattice's cells,
    // inner then far, and longer lists), the markers' cover, the lattice's
    // marker points.
    unsigned int buffers[5] = {0, 0, 0, 0, 0};
    unsigned int textures[kBufferTextures] = {};
    // Whether the context's points light what their cover says.
    ContextCheck markerCheck = ContextCheck::Pending;
    MarkerCover markerCover;
    int coverColumnWords = 0;
    int coverBufferHeight = 0;
    bool onLattice = false;
    bool built = false;
    SiteListIdentity builtFor;
    int builtRadius = 0;
    double rebuildMilliseconds = 0.0;
    float gridOrigin[2] = {0.0f, 0.0f};
    float cellSize = 1.0f;
    int gridSize[2] = {0, 0};
    // The lattice's unit cells: left, bottom, right and top (one past).
    int innerCells[4] = {0, 0, 0, 0};
    int latticeCellSize = 1;
    // Where the far cells follow the inner ones in their buffer.
    int farStart = 0;
    int latticeFarCellSize = 1;
    // The buffer of marker positions for drawing them as points; the
    // lattice's sorted points go into it only when they are drawn so.
    unsigned int markerBuffer = 0;
    bool markerPointsUploaded = false;
    int markerCount = 0;
    int markerStride = 0;
    RimStrips rimStrips;
    // Kept between updates, so that its arrays' memory is used again.
    LatticeCandidates lattice;
    std::vector<MarkerPoint> markerPoints;
};
