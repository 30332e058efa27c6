#pragma once

#include "cells/cone_geometry.h"

// The edges that glutSolidCone(radius, 1, 32, 1) draws in GL_LINE mode, in
// the window, through the pipeline as rasterizer_rules.h has it: vertices
// through the matrices in floats, clipped to the view volume, then through
// the viewport.

// The GL state the outlines depend on: the matrices as GL holds them (the
// modelview before a site's translation), the viewport and the height of the
// window's buffer, whose rows the rasterizer counts from the top.
struct OutlineView {
    float modelview[16];
    float projection[16];
    int viewport[4];
    int bufferHeight;
};

// A point of an edge: x to the right and y down from the buffer's top, in
// the floats the rasterizer receives, and its depth.
struct OutlinePoint {
    float x;
    float y;
    float z;
};

// The cone's 32 facets are triangles (rim vertex j, apex, rim vertex j + 1),
// rim vertices clockwise, each drawn as its three edges in this order.
enum class OutlineEdge { Inward, Outward, Rim };

class ConeOutlines {
public:
    ConeOutlines(const OutlineView& view, float radius);

    // The cone of the site at (siteX, siteY): the product of projection and
    // modelview that its vertices go through.
    struct Cone {
        float matrix[16];
    };
    void cone(float siteX, float siteY, Cone& cone) const;

    // The edge of facet `facet` of the kind given: Inward runs from rim
    // vertex `facet` to the apex, Outward from the apex to rim vertex
    // facet + 1, Rim from rim vertex facet + 1 to rim vertex facet. False
    // when nothing of it lies in the view volume.
    bool edge(const Cone& cone, int facet, OutlineEdge kind, OutlinePoint& from,
              OutlinePoint& to) const;
    // Where a vertex of the cone lands in clip space (0 the apex, 1 + j rim
    // vertex j), and in the window when nothing clips it.
    void clip(const Cone& cone, int vertex, float* clip) const;
    // Where the point (x, y, z) of the cone's own frame lands in clip space,
    // as GL transforms a vertex given under the cone's matrices.
    static void clipOf(const Cone& cone, float x, float y, float z, float* clip);
    OutlinePoint window(const Cone& cone, int vertex) const;
    // Where the point glVertex2f(x, y) lands under the view, as a site's
    // marker does; false when it lies outside the view volume and is not drawn.
    bool point(float x, float y, OutlinePoint& window) const;
    // Whether the view neither turns nor shears the plane nor puts it in
    // perspective, and the plane lies within the view volume's depth: then
    // point()'s window x follows from x alone, and its y from y alone.
    bool separable() const;
    // Under such a view, point()'s window coordinate on one axis (0 for x, 1
    // for y); false when the point lies outside the view volume on that axis.
    bool pointOnAxis(int axis, float value, float& window) const;
    // Whether a cone's apex lands at a window x that follows from the site's
    // x alone, and a y from its y alone, to the same floats but for the sign
    // of a zero: where neither matrix turns or shears the plane or puts it in
    // perspective, and their entries are small enough that a coordinate of
    // at most kMostSeparableCoordinate times them stays far from overflow.
    bool separableApexes() const;
    static constexpr float kMostSeparableCoordinate = 1.0e6f;
    // Under such a view, window pixels per unit along an axis; negative
    // where the view mirrors it.
    float pixelsPerUnit(int axis) const {
        return viewMatrix[5 * axis] / viewMatrix[15] * scale[axis];
    }

private:
    float viewMatrix[16];  // projection times modelview
    ConeRim rim;
    OutlineView view;
    float scale[3];
    float offset[3];
};
