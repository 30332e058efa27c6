#define GL_GLEXT_PROTOTYPES
#include "drawing/rim_strips.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/cone_geometry.h"
#include "cells/window_to_raster.h"
#include "drawing/current_view.h"
#include "nearest/candidate_grid.h"
#include "outline/cone_outline.h"
#include "sitemap/gl_state.h"

namespace {

constexpr float kNoEnd = std::numeric_limits<float>::infinity();

// The full cone's rim vertices, counter-clockwise from +x as the facets are
// numbered here (x, y, x, ...).
std::vector<float> rimOffsets(int radius) {
    const ConeRim rim = coneRim(static_cast<float>(radius));
    std::vector<float> offsets;
    for (int place = 0; place < kConeSlices; ++place) {
        offsets.push_back(rim.x[ConeRim::drawnAt(place)]);
        offsets.push_back(rim.y[ConeRim::drawnAt(place)]);
    }
    return offsets;
}

// Raster units a window pixel may span, with one to spare: the facets'
// inner corners lie within it of their rim ones, and their pixels' centres
// within it of their raster box.
float rasterSpare(const WindowToRaster& mapping) {
    return 1.0f + std::fabs(mapping.matrix[0]) + std::fabs(mapping.matrix[1]) +
           std::fabs(mapping.matrix[2]) + std::fabs(mapping.matrix[3]);
}

// A facet's box in the raster plane (left, bottom, right, top), with the spare.
void facetBox(float siteX, float siteY, const std::vector<float>& rim, int facet, float spare,
              float* box) {
    const int next = (facet + 1) % kConeSlices;
    box[0] = siteX + std::min(rim[2 * facet], rim[2 * next]) - spare;
    box[1] = siteY + std::min(rim[2 * facet + 1], rim[2 * next + 1]) - spare;
    box[2] = siteX + std::max(rim[2 * facet], rim[2 * next]) + spare;
    box[3] = siteY + std::max(rim[2 * facet + 1], rim[2 * next + 1]) + spare;
}

bool boxesMeet(const float* a, const float* b) {
    return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
}

// The viewport's box in the raster plane (left, bottom, right, top).
void viewportBox(const WindowToRaster& mapping, float* window) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    window[0] = window[1] = std::numeric_limits<float>::max();
    window[2] = window[3] = std::numeric_limits<float>::lowest();
    for (int corner = 0; corner < 4; ++corner) {
        const float windowX = static_cast<float>(viewport[0] + (corner & 1) * viewport[2]);
        const float windowY = static_cast<float>(viewport[1] + (corner >> 1) * viewport[3]);
        for (int axis = 0; axis < 2; ++axis) {
            const float raster = mapping.matrix[axis] * windowX +
                                 mapping.matrix[2 + axis] * windowY + mapping.origin[axis];
            window[axis] = std::min(window[axis], raster);
            window[2 + axis] = std::max(window[2 + axis], raster);
        }
    }
}

}  // namespace

void RimStrips::add(float x, float y, std::uint32_t colour, std::uint32_t facets,
                    const float* reach) {
    Strip strip{x, y, colour, facets, {-kNoEnd, -kNoEnd, kNoEnd, kNoEnd}};
    if (reach) {
        std::copy(reach, reach + 4, strip.reach);
    }
    strips.push_back(strip);
}

bool RimStrips::inWindow(const WindowToRaster& mapping, int radius) const {
    if (strips.empty()) {
        return false;
    }
    float window[4];
    viewportBox(mapping, window);
    const float spare = rasterSpare(mapping);
    const std::vector<float> rim = rimOffsets(radius);
    return std::any_of(strips.begin(), strips.end(), [&](const Strip& strip) {
        return facetsShown(strip, rim, spare, window) != 0;
    });
}

std::uint32_t RimStrips::facetsShown(const Strip& strip, const std::vector<float>& rim, float spare,
                                     const float* window) {
    std::uint32_t shown = 0;
    for (int facet = 0; facet < kConeSlices; ++facet) {
        float box[4];
        facetBox(strip.x, strip.y, rim, facet, spare, box);
        if ((strip.facets >> facet & 1u) != 0 && boxesMeet(box, strip.reach) &&
            boxesMeet(box, window)) {
            shown |= 1u << facet;
        }
    }
    return shown;
}

void RimStrips::draw(const WindowToRaster& mapping, int radius) {
    if (strips.empty()) {
        return;
    }
    const ProgramBinding programKept;
    if (!depth.use(radius)) {
        return;
    }
    const std::vector<float> rim = rimOffsets(radius);
    const float inner = static_cast<float>((radius - kRimStrip) / radius);
    const float spare = rasterSpare(mapping);
    float window[4];
    viewportBox(mapping, window);
    // Each strip's vertices go to GL in clip space, as the matrices with the
    // site's translation would put them, under identity matrices, which keep
    // them as they are: all the strips are then one draw, where a matrix
    // change per strip would make each a draw of its own.
    int bufferWidth = 0;
    const ConeOutlines cones(viewportOutlineView(bufferWidth), static_cast<float>(radius));
    const MatrixStack projectionKept(GL_PROJECTION);
    glLoadIdentity();
    const MatrixStack modelviewKept(GL_MODELVIEW);
    glLoadIdentity();
    glBegin(GL_QUADS);
    for (const Strip& strip : strips) {
        const std::uint32_t facets = facetsShown(strip, rim, spare, window);
        if (facets == 0) {
            continue;
        }
        ConeOutlines::Cone cone;
        cones.cone(strip.x, strip.y, cone);
        glColor4ubv(reinterpret_cast<const GLubyte*>(&strip.colour));
        glTexCoord2f(strip.x, strip.y);
        for (int facet = 0; facet < kConeSlices; ++facet) {
            if ((facets >> facet & 1u) == 0) {
                continue;
            }
            const int next = (facet + 1) % kConeSlices;
            const float corners[4][2] = {{rim[2 * facet], rim[2 * facet + 1]},
                                         {rim[2 * next], rim[2 * next + 1]},
                                         {inner * rim[2 * next], inner * rim[2 * next + 1]},
                                         {inner * rim[2 * facet], inner * rim[2 * facet + 1]}};
            for (const auto& corner : corners) {
                float clip[4];
                ConeOutlines::clipOf(cone, corner[0], corner[1], 0.0f, clip);
                glVertex4fv(clip);
            }
        }
    }
    glEnd();
}
