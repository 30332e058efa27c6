#pragma once

#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "outline/raster_line.h"

// The rules by which the context turns the cones' edges and the sites'
// markers into pixels and depths, as probing its software rasterizer
// showed. The wire-frame picture follows these and nothing else, and each
// of them moves pixels:
// - A vertex goes through the matrices in 32-bit floats: glTranslatef's
//   product into the modelview, the product of projection and modelview,
//   then that times the vertex.
// - An edge that crosses the view volume is clipped plane by plane, x, y
//   and z each at w and then at -w, each cut worked out from whichever end
//   lies nearer the plane.
// - The viewport's scale and offset go on with a fused multiply-add for the
//   vertices it transforms itself, without one for those the clipper made.
// - A line's ends move by up to half a pixel along it so that its first and
//   last pixels follow the diamond-exit rule, then snap to 1/256 pixel, half
//   away from zero; it lights, per pixel along its major axis, the pixel
//   whose centre lies in the band one pixel across about it, with the tie
//   rules of rasterLine.
// - Depth is interpolated along the line's major axis between its ends and
//   clamped to the depth range; the depth test keeps the later of two equal
//   depths (GL_LEQUAL).
// - A point 4 pixels wide snaps to 1/256 pixel, half up, and lights the four
//   columns whose centres lie above its x - 2 (not at it) and the four rows,
//   counted from the top, whose centres lie at or above its y - 2; a point
//   outside the view volume lights nothing.
// - The cone's rim is the solid cone's circle table (coneRim).
// Before the outlines are trusted, the context draws cones across a corner
// of the window and a few markers, and both must light what these rules say.

// The transforms, as GL multiplies: glTranslatef(x, y, 0) into `matrix`, and
// a times b, column-major.
void translatedMatrix(const float* matrix, float x, float y, float* result);
void multipliedMatrix(const float* a, const float* b, float* product);

// A vertex in clip space; whether the clipper made it.
struct ClipVertex {
    float c[4];
    bool madeByClipper;
};
// Clips the edge between the two vertices to the view volume, in place;
// false where nothing of it lies inside.
bool clipEdge(ClipVertex& from, ClipVertex& to);
// The viewport's mapping of a normalized coordinate, as it treats the vertex.
float viewportCoordinate(const ClipVertex& vertex, float normalized, float scale, float offset);

// The line the rasterizer draws from (fromX, fromY) to (toX, toY), given in
// the floats it receives, rows from the top. The direction matters at the
// ends.
RasterLine rasterLine(float fromX, float fromY, float toX, float toY);

// The depth the buffer receives.
inline float clampedDepth(double depth) {
#ifdef __SSE2__
    // Without branches: maxsd and minsd keep their second operand unless the
    // first is greater (lesser), as the comparisons below do.
    const __m128d clamped =
        _mm_min_sd(_mm_set_sd(1.0), _mm_max_sd(_mm_setzero_pd(), _mm_set_sd(depth)));
    return static_cast<float>(_mm_cvtsd_f64(clamped));
#else
    return static_cast<float>(depth < 0.0 ? 0.0 : depth > 1.0 ? 1.0 : depth);
#endif
}

// Whether a fragment of depth `depth` from the cone drawn `order`th passes
// the depth test against what a pixel holds: less depth, or equal depth from
// a cone drawn later.
inline bool passesDepthTest(float depth, std::int32_t order, float heldDepth,
                            std::int32_t heldOrder) {
    return depth < heldDepth || (depth == heldDepth && order > heldOrder);
}

// A point's window coordinate in 1/256 pixel, and the first column and the
// first row from the top of the 4 x 4 pixels it lights.
constexpr int kPointPixels = 4;
std::int64_t snappedPoint(float window);
int pointFirstColumn(std::int64_t x);
int pointFirstRow(std::int64_t y);
