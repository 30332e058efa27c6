#pragma once

#include <vector>

#include "cells/cell_extents.h"

// One vertex of a cut cone: raster position, height on the cone (1 at the
// apex, 0 on the full cone's rim), the site's position and colour.
struct ConeVertex {
    float x;
    float y;
    float z;
    float siteX;
    float siteY;
    unsigned char r;
    unsigned char g;
    unsigned char b;
    unsigned char a;
};

// The cut cones of all drawn sites as one triangle list. Each site's cone is
// a fan around its apex whose vertices lie on the full cone at the levels of
// its rays (a triangle spanning facets cuts below the cone; the drawing
// gives every pixel the cone's own depth). Triangles wind counter-clockwise
// seen from +z, the side the viewer is on.
struct CutConeMesh {
    std::vector<ConeVertex> vertices;
    std::vector<unsigned int> indices;  // three per triangle
};

CutConeMesh buildCutConeMesh(const CellExtents& extents, int radius);
