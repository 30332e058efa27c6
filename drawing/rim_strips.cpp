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

// Where along the rim edge from `from` to `to` (0 at from, 1 at to) it lies
// within `box`: false where it misses it.
bool edgeWithin(const float* from, const float* to, const float* box, float& first, float& last) {
    first = 0.0f;
    last = 1.0f;
    for (int axis = 0; axis < 2; ++axis) {
        const float step = to[axis] - from[axis];
        const float low = box[axis] - from[axis];
        const float high = box[2 + axis] - from[axis];
        if (step == 0.0f) {
            if (low > 0.0f || high < 0.0f) {
                return false;
            }
            continue;
        }
        const float enter = std::min(low / step, high / step);
        const float leave = std::max(low / step, high / step);
        first = std::max(first, enter);
        last = std::min(last, leave);
    }
    return first <= last;
}

// A strip facet drawn as one triangle: the rim edge, and an inner corner
// (x, y from the site) placed so that the triangle is at least the strip
// wide along the part of the edge that can show. Within a facet, the line
// from the site through either end leans towards the other, so a corner
// straight in from an end holds the facet's own pixels there. False where
// the part reaches both ends, or the triangle would be about as large as the
// facet's quad: then the quad draws.
bool taperedCorner(const float* from, const float* to, float first, float last, float* corner) {
    const float alongX = to[0] - from[0];
    const float alongY = to[1] - from[1];
    const float length = std::hypot(alongX, alongY);
    const float width = static_cast<float>(kRimStrip);
    float cornerAlong = 0.0f;
    float height = 0.0f;
    if (first <= 0.0f && last >= 1.0f) {
        return false;
    }
    if (first <= 0.0f) {
        height = width / (1.0f - last);
    } else if (last >= 1.0f) {
        cornerAlong = length;
        height = width / first;
    } else {
        cornerAlong = 0.5f * (first + last) * length;
        height = width * std::max(0.5f * (first + last) / first,
                                  (1.0f - 0.5f * (first + last)) / (1.0f - last));
    }
    if (!(height < 1.8f * width)) {
        return false;
    }
    // Inwards is to the left of the rim edge, which runs counter-clockwise.
    corner[0] = from[0] + (alongX * cornerAlong - alongY * height) / length;
    corner[1] = from[1] + (alongY * cornerAlong + alongX * height) / length;
    return true;
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
    const auto vertex = [](const ConeOutlines::Cone& cone, const float* corner) {
        float clip[4];
        ConeOutlines::clipOf(cone, corner[0], corner[1], 0.0f, clip);
        glVertex4fv(clip);
    };
    glBegin(GL_TRIANGLES);
    for (const Strip& strip : strips) {
        const std::uint32_t facets = facetsShown(strip, rim, spare, window);
        if (facets == 0) {
            continue;
        }
        ConeOutlines::Cone cone;
        cones.cone(strip.x, strip.y, cone);
        glColor4ubv(reinterpret_cast<const GLubyte*>(&strip.colour));
        glTexCoord2f(strip.x, strip.y);
        // Where its rim can show, from the site, with room for the strip's
        // width and the pixels' own.
        const float shows[4] = {std::max(strip.reach[0], window[0]) - strip.x - spare - 1.0f,
                                std::max(strip.reach[1], window[1]) - strip.y - spare - 1.0f,
                                std::min(strip.reach[2], window[2]) - strip.x + spare + 1.0f,
                                std::min(strip.reach[3], window[3]) - strip.y + spare + 1.0f};
        for (int facet = 0; facet < kConeSlices; ++facet) {
            if ((facets >> facet & 1u) == 0) {
                continue;
            }
            const int next = (facet + 1) % kConeSlices;
            const float* from = &rim[2 * facet];
            const float* to = &rim[2 * next];
            float first = 0.0f;
            float last = 0.0f;
            if (!edgeWithin(from, to, shows, first, last)) {
                continue;
            }
            // The rim edge first, from and to as the full cone has it, so
            // that the rasterizer rounds it alike.
            vertex(cone, from);
            vertex(cone, to);
            float corner[2];
            if (taperedCorner(from, to, first, last, corner)) {
                vertex(cone, corner);
                continue;
            }
            const float innerTo[2] = {inner * to[0], inner * to[1]};
            const float innerFrom[2] = {inner * from[0], inner * from[1]};
            vertex(cone, innerTo);
            vertex(cone, from);
            vertex(cone, innerTo);
            vertex(cone, innerFrom);
        }
    }
    glEnd();
}
