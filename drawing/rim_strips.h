#pragma once

#include <cstdint>
#include <vector>

#include "drawing/cone_depth_program.h"

struct WindowToRaster;

// Thin strips of the full cones right at their rims, where the screen pass
// leaves the band to them. Each runs along facets of one cone's rim, with
// the very vertices the full cone has there, so that the rasterizer rounds
// its outer edge alike; it draws only the facets that reach into the box
// where its site's rim can show, and where only part of a facet does, a
// triangle that narrows away from that part. All strips are one draw.
class RimStrips {
public:
    void clear() { strips.clear(); }
    bool empty() const { return strips.empty(); }
    // A strip of the cone at (x, y), in `colour` (its bytes red, green, blue,
    // alpha), along the facets whose bits `facets` sets. Its rim shows nowhere
    // outside `reach` (the raster's left, bottom, right, top), or anywhere
    // where that is nullptr.
    void add(float x, float y, std::uint32_t colour, std::uint32_t facets, const float* reach);

    // Whether a facet drawn may cover a pixel of the viewport: its box in the
    // raster plane against the viewport's, with a pixel to spare.
    bool inWindow(const WindowToRaster& mapping, int radius) const;
    // The strips of cones of the radius, under the current matrices, each
    // pixel at the full cone's depth. Leaves the GL state as it found it but
    // the current colour.
    void draw(const WindowToRaster& mapping, int radius);

private:
    struct Strip {
        float x;
        float y;
        std::uint32_t colour;
        std::uint32_t facets;
        float reach[4];
    };
    // The strip's facets that reach into its reach and into `window`, the
    // viewport's box in the raster plane: a long, thin facet crosses many
    // pixels where other sites are nearer, and at small zooms half the
    // strips lie past the window's edges.
    static std::uint32_t facetsShown(const Strip& strip, const std::vector<float>& rim, float spare,
                                     const float* window);

    std::vector<Strip> strips;
    ConeDepthProgram depth;
};
