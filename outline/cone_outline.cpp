#include "outline/cone_outline.h"

#include <algorithm>
#include <cmath>

#include "cells/cone_geometry.h"
#include "outline/rasterizer_rules.h"

ConeOutlines::ConeOutlines(const OutlineView& view, float radius) : view(view) {
    rim = coneRim(radius);
    const float halfWidth = static_cast<float>(view.viewport[2]) / 2.0f;
    const float halfHeight = static_cast<float>(view.viewport[3]) / 2.0f;
    scale[0] = halfWidth;
    offset[0] = halfWidth + static_cast<float>(view.viewport[0]);
    // The window's rows run from the top.
    scale[1] = -halfHeight;
    offset[1] =
        static_cast<float>(view.bufferHeight) - (halfHeight + static_cast<float>(view.viewport[1]));
    scale[2] = 0.5f;
    offset[2] = 0.5f;
    multipliedMatrix(view.projection, view.modelview, viewMatrix);
}

bool ConeOutlines::point(float x, float y, OutlinePoint& window) const {
    float clip[4];
    for (int row = 0; row < 4; ++row) {
        clip[row] = viewMatrix[row] * x + viewMatrix[4 + row] * y + viewMatrix[8 + row] * 0.0f +
                    viewMatrix[12 + row];
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!(std::fabs(clip[axis]) <= clip[3])) {
            return false;
        }
    }
    const float reciprocal = 1.0f / clip[3];
    window = {std::fmaf(clip[0] * reciprocal, scale[0], offset[0]),
              std::fmaf(clip[1] * reciprocal, scale[1], offset[1]),
              std::fmaf(clip[2] * reciprocal, scale[2], offset[2])};
    return true;
}

bool ConeOutlines::separable() const {
    const float* m = viewMatrix;
    return m[1] == 0.0f && m[2] == 0.0f && m[3] == 0.0f && m[4] == 0.0f && m[6] == 0.0f &&
           m[7] == 0.0f && std::fabs(m[14]) <= m[15];
}

bool ConeOutlines::separableApexes() const {
    // A site's other coordinate then enters only through products with a
    // zero entry, which add nothing but a zero's sign.
    constexpr float kLargestEntry = 1.0e6f;
    const float* modelview = view.modelview;
    const float* projection = view.projection;
    for (int entry = 0; entry < 16; ++entry) {
        if (!(std::fabs(modelview[entry]) <= kLargestEntry &&
              std::fabs(projection[entry]) <= kLargestEntry)) {
            return false;
        }
    }
    return modelview[1] == 0.0f && modelview[2] == 0.0f && modelview[3] == 0.0f &&
           modelview[4] == 0.0f && modelview[6] == 0.0f && modelview[7] == 0.0f &&
           projection[1] == 0.0f && projection[3] == 0.0f && projection[4] == 0.0f &&
           projection[7] == 0.0f;
}

// point() with the other axis's terms zero: adding them changes nothing.
bool ConeOutlines::pointOnAxis(int axis, float value, float& window) const {
    const float clip = viewMatrix[5 * axis] * value + viewMatrix[12 + axis];
    if (!(std::fabs(clip) <= viewMatrix[15])) {
        return false;
    }
    window = std::fmaf(clip * (1.0f / viewMatrix[15]), scale[axis], offset[axis]);
    return true;
}

// The translation changes only the modelview's last column, so the product's
// other columns are the view's own; the last is worked out as
// multipliedMatrix works out every column, to the same floats.
void ConeOutlines::cone(float siteX, float siteY, Cone& cone) const {
    float modelview[16];
    translatedMatrix(view.modelview, siteX, siteY, modelview);
    const float* projection = view.projection;
    std::copy(viewMatrix, viewMatrix + 12, cone.matrix);
    for (int row = 0; row < 4; ++row) {
        cone.matrix[12 + row] =
            projection[row] * modelview[12] + projection[4 + row] * modelview[13] +
            projection[8 + row] * modelview[14] + projection[12 + row] * modelview[15];
    }
}

void ConeOutlines::clip(const Cone& cone, int vertex, float* clip) const {
    clipOf(cone, vertex == 0 ? 0.0f : rim.x[vertex - 1], vertex == 0 ? 0.0f : rim.y[vertex - 1],
           vertex == 0 ? 1.0f : 0.0f, clip);
}

void ConeOutlines::clipOf(const Cone& cone, float x, float y, float z, float* clip) {
    const float* matrix = cone.matrix;
    for (int row = 0; row < 4; ++row) {
        clip[row] = matrix[row] * x + matrix[4 + row] * y + matrix[8 + row] * z + matrix[12 + row];
    }
}

OutlinePoint ConeOutlines::window(const Cone& cone, int vertex) const {
    float clip[4];
    this->clip(cone, vertex, clip);
    const float reciprocal = 1.0f / clip[3];
    return {std::fmaf(clip[0] * reciprocal, scale[0], offset[0]),
            std::fmaf(clip[1] * reciprocal, scale[1], offset[1]),
            std::fmaf(clip[2] * reciprocal, scale[2], offset[2])};
}

bool ConeOutlines::edge(const Cone& cone, int facet, OutlineEdge kind, OutlinePoint& from,
                        OutlinePoint& to) const {
    const int here = 1 + facet;
    const int next = 1 + (facet + 1) % kConeSlices;
    const int fromVertex = kind == OutlineEdge::Inward    ? here
                           : kind == OutlineEdge::Outward ? 0
                                                          : next;
    const int toVertex = kind == OutlineEdge::Inward    ? 0
                         : kind == OutlineEdge::Outward ? next
                                                        : here;
    ClipVertex ends[2]{};
    clip(cone, fromVertex, ends[0].c);
    clip(cone, toVertex, ends[1].c);
    if (!clipEdge(ends[0], ends[1])) {
        return false;
    }
    OutlinePoint* points[2] = {&from, &to};
    for (int end = 0; end < 2; ++end) {
        const ClipVertex& vertex = ends[end];
        const float reciprocal = 1.0f / vertex.c[3];
        float window[3];
        for (int axis = 0; axis < 3; ++axis) {
            const float normalized = vertex.c[axis] * reciprocal;
            window[axis] = viewportCoordinate(vertex, normalized, scale[axis], offset[axis]);
        }
        *points[end] = {window[0], window[1], window[2]};
    }
    return true;
}
