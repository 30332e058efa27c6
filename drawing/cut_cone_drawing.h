#pragma once

#include <cstddef>

#include "cells/site_list_identity.h"
#include "drawing/cone_depth_program.h"

class HeightMap;
struct Site;

// Draws the same picture as HeightMap::drawCones, faster: every cone is cut
// down to a fan around its site that still covers the site's cell, each
// pixel gets the full cone's depth there, and all fans go to GL in one draw
// call from a buffer object. The fans are worked out again only when the
// sites or the radius change.
class CutConeDrawing {
public:
    explicit CutConeDrawing(double areaPerRay = kDefaultAreaPerRay);
    ~CutConeDrawing();
    CutConeDrawing(const CutConeDrawing&) = delete;
    CutConeDrawing& operator=(const CutConeDrawing&) = delete;

    // The overdraw (square raster pixels) that one more fan triangle must
    // save: smaller values hug the cells more closely with more triangles;
    // from 16 to 128 the frame costs about the same on a software rasterizer.
    static constexpr double kDefaultAreaPerRay = 32.0;

    // Works the fans out again when the sites or the radius differ from the
    // last time. Needs the GL context; true when it rebuilt.
    bool update(const HeightMap& map, int radius);

    // update, then the cones and, when markSites is set, every site's red
    // marker over all cones, as drawCones leaves them. Leaves the GL state as
    // it found it. False, drawing nothing, where GL cannot run the depth
    // program or the view shows no area: the full cones are needed there.
    bool draw(HeightMap& map, int radius, bool markSites);

    // What the last rebuild cost (extents, mesh and upload) in milliseconds.
    double lastRebuildMilliseconds() const { return rebuildMilliseconds; }
    std::size_t triangleCount() const { return indexCount / 3; }

private:
    double areaPerRay;
    bool built = false;
    SiteListIdentity builtFor;
    int builtRadius = 0;
    double rebuildMilliseconds = 0.0;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    std::size_t indexCount = 0;
    ConeDepthProgram depthProgram;
};
