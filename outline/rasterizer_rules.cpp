#include "outline/rasterizer_rules.h"

#include <cmath>
#include <utility>

namespace {

constexpr std::int64_t kSubpixels = RasterLine::kSubpixels;

float signOf(float value) {
    return value < 0.0f ? -1.0f : 1.0f;
}

// Round half away from zero, as the rasterizer snaps. Below 2^52, a float
// times 256 plus or minus a half is either exact or rounded without reaching
// the next whole number, so truncating it gives what llround does, cheaper.
std::int64_t snappedLineEnd(float value) {
    const double scaled = static_cast<double>(value) * kSubpixels;
    if (std::fabs(scaled) < 0x1p52) {
        return static_cast<std::int64_t>(scaled < 0.0 ? scaled - 0.5 : scaled + 0.5);
    }
    return static_cast<std::int64_t>(std::llround(scaled));
}

// std::floor, without the call to the library: below 2^23 a float converts
// to a whole number exactly, and above it is one already. Zeros keep their
// sign.
float floorOf(float value) {
    if (!(std::fabs(value) < 0x1p23f) || value == 0.0f) {
        return value;
    }
    const auto whole = static_cast<float>(static_cast<std::int32_t>(value));
    return whole > value ? whole - 1.0f : whole;
}

// Where the diamond-exit rule wants the line's ends drawn, and where the band
// of the plain end points would put them; the two disagree for ends that lie
// inside a pixel's diamond or beside it. All of it in the rasterizer's float
// arithmetic, as the decisions at the diamonds' edges depend on it.
struct EndRule {
    bool drawStart;
    bool drawEnd;
    bool bandDrawsStart;
    bool bandDrawsEnd;
};

// u is the major axis, w the minor one; du, dw run from the second vertex to
// the first.
EndRule xMajorEnds(float w1, float w2, float u1diff, float w1diff, float u2diff, float w2diff,
                   float du, float dw, float slope) {
    EndRule rule{};
    if (w2diff == -0.5f && dw < 0) {
        w2diff = 0.5f;
    }
    if (std::fabs(u1diff) + std::fabs(w1diff) < 0.5f) {
        rule.drawStart = true;
    } else if (signOf(u1diff) == signOf(-du)) {
        rule.drawStart = false;
    } else if (signOf(-w1diff) != signOf(dw)) {
        rule.drawStart = true;
    } else {
        const float intercept = (w1 - floorOf(w1)) + u1diff * slope;
        rule.drawStart = intercept < 1.0f && intercept > 0.0f;
    }
    if (std::fabs(u2diff) + std::fabs(w2diff) < 0.5f) {
        rule.drawEnd = false;
    } else if (signOf(u2diff) != signOf(-du)) {
        rule.drawEnd = false;
    } else if (signOf(-w2diff) == signOf(dw)) {
        rule.drawEnd = true;
    } else {
        const float intercept = (w2 - floorOf(w2)) + u2diff * slope;
        rule.drawEnd = intercept < 1.0f && intercept > 0.0f;
    }
    rule.bandDrawsStart = signOf(-u1diff) != signOf(du);
    rule.bandDrawsEnd = signOf(u2diff) == signOf(-du) || u2diff == 0;
    return rule;
}

EndRule yMajorEnds(float w1, float w2, float u1diff, float w1diff, float u2diff, float w2diff,
                   float du, float dw, float slope) {
    EndRule rule{};
    if (w2diff == -0.5f && dw < 0) {
        w2diff = 0.5f;
    }
    if (std::fabs(u1diff) + std::fabs(w1diff) < 0.5f) {
        rule.drawStart = true;
    } else if (signOf(-u1diff) == signOf(du)) {
        rule.drawStart = false;
    } else if (signOf(w1diff) != signOf(-dw)) {
        rule.drawStart = true;
    } else {
        const float intercept = (w1 - floorOf(w1)) + u1diff * slope;
        rule.drawStart = intercept < 1.0f && intercept > 0.0f;
    }
    if (std::fabs(u2diff) + std::fabs(w2diff) < 0.5f) {
        rule.drawEnd = false;
    } else if (signOf(-u2diff) != signOf(du)) {
        rule.drawEnd = false;
    } else if (signOf(w2diff) == signOf(-dw)) {
        rule.drawEnd = true;
    } else {
        const float intercept = (w2 - floorOf(w2)) + u2diff * slope;
        rule.drawEnd = intercept < 1.0f && intercept >= 0.0f;
    }
    rule.bandDrawsStart = signOf(u1diff) == signOf(du);
    rule.bandDrawsEnd = signOf(-u2diff) == signOf(du) || u2diff == 0;
    return rule;
}

// The view volume's six planes in the order the clipper takes them: x, y
// and z each at w and then at -w. The order matters where an edge leaves
// the volume at both ends: the second cut starts from the first one's
// vertex. A vertex's distance from plane `plane` is the one coordinate,
// either way, plus w: the clipper's dot product with the plane adds zeros
// besides, which change at most the sign of a zero sum, and nothing after
// depends on that.
constexpr int kPlanes = 6;

float planeDistance(const float* c, int plane) {
    const float coordinate = c[plane / 2];
    return (plane % 2 == 0 ? -coordinate : coordinate) + c[3];
}

// From one vertex towards the other, by t.
ClipVertex towards(float t, const ClipVertex& from, const ClipVertex& to) {
    ClipVertex made{};
    for (int axis = 0; axis < 4; ++axis) {
        made.c[axis] = from.c[axis] + t * (to.c[axis] - from.c[axis]);
    }
    made.madeByClipper = true;
    return made;
}

// Where the edge from `outside` (at plane distance outDistance < 0) to
// `inside` crosses the plane: worked out from whichever end lies nearer the
// plane, as the triangle clipper does.
ClipVertex cut(float outDistance, float inDistance, const ClipVertex& outside,
               const ClipVertex& inside) {
    const float fromOutside = outDistance / (outDistance - inDistance);
    if (fromOutside <= 0.5f) {
        return towards(fromOutside, outside, inside);
    }
    return towards(inDistance / (inDistance - outDistance), inside, outside);
}

}  // namespace

void translatedMatrix(const float* matrix, float x, float y, float* result) {
    for (int index = 0; index < 16; ++index) {
        result[index] = matrix[index];
    }
    for (int row = 0; row < 4; ++row) {
        result[12 + row] =
            matrix[row] * x + matrix[4 + row] * y + matrix[8 + row] * 0.0f + matrix[12 + row];
    }
}

void multipliedMatrix(const float* a, const float* b, float* product) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            product[column * 4 + row] = a[row] * b[column * 4] + a[4 + row] * b[column * 4 + 1] +
                                        a[8 + row] * b[column * 4 + 2] +
                                        a[12 + row] * b[column * 4 + 3];
        }
    }
}

bool clipEdge(ClipVertex& from, ClipVertex& to) {
    for (int plane = 0; plane < kPlanes; ++plane) {
        const float first = planeDistance(from.c, plane);
        const float second = planeDistance(to.c, plane);
        if (first < 0 && second < 0) {
            return false;
        }
        if (first < 0) {
            from = cut(first, second, from, to);
        } else if (second < 0) {
            to = cut(second, first, to, from);
        }
    }
    return true;
}

float viewportCoordinate(const ClipVertex& vertex, float normalized, float scale, float offset) {
    return vertex.madeByClipper ? normalized * scale + offset
                                : std::fmaf(normalized, scale, offset);
}

RasterLine rasterLine(float fromX, float fromY, float toX, float toY) {
    RasterLine line;
    const float dx = fromX - toX;
    const float dy = fromY - toY;
    if (dx * dx + dy * dy == 0.0f) {
        return line;
    }
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    float u1 = xMajor ? fromX : fromY;
    float w1 = xMajor ? fromY : fromX;
    float u2 = xMajor ? toX : toY;
    float w2 = xMajor ? toY : toX;
    const float du = xMajor ? dx : dy;
    const float dw = xMajor ? dy : dx;
    const float slope = dw / du;
    const float u1diff = u1 - floorOf(u1) - 0.5f;
    const float w1diff = w1 - floorOf(w1) - 0.5f;
    const float u2diff = u2 - floorOf(u2) - 0.5f;
    const float w2diff = w2 - floorOf(w2) - 0.5f;
    const EndRule rule = xMajor ? xMajorEnds(w1, w2, u1diff, w1diff, u2diff, w2diff, du, dw, slope)
                                : yMajorEnds(w1, w2, u1diff, w1diff, u2diff, w2diff, du, dw, slope);
    // x-major lines are set up from left to right, y-major ones from bottom
    // to top; the ends are moved to the pixel border that includes or
    // leaves out their pixel.
    const bool swapped = xMajor ? du < 0 : du > 0;
    const float border = xMajor != swapped ? 0.5f : -0.5f;
    float firstOffset = 0.0f;
    float secondOffset = 0.0f;
    if (rule.bandDrawsStart != rule.drawStart) {
        firstOffset = -u1diff + border;
    }
    if (rule.bandDrawsEnd != rule.drawEnd) {
        secondOffset = -u2diff + border;
    }
    if (swapped) {
        std::swap(u1, u2);
        std::swap(w1, w2);
        std::swap(firstOffset, secondOffset);
    }
    std::int64_t majorA = snappedLineEnd((u1 + firstOffset) - 0.5f);
    std::int64_t majorB = snappedLineEnd((u2 + secondOffset) - 0.5f);
    std::int64_t minorA = snappedLineEnd((w1 + firstOffset * slope) - 0.5f);
    std::int64_t minorB = snappedLineEnd((w2 + secondOffset * slope) - 0.5f);
    if (majorA == majorB) {
        return line;
    }
    if (majorA > majorB) {
        std::swap(majorA, majorB);
        std::swap(minorA, minorB);
    }
    line.xMajor = xMajor;
    line.lowMajor = static_cast<std::int32_t>(majorA);
    line.lowMinor = static_cast<std::int32_t>(minorA);
    line.highMajor = static_cast<std::int32_t>(majorB);
    line.highMinor = static_cast<std::int32_t>(minorB);
    // The band's ends: an x-major band takes its left end and leaves its
    // right, a y-major one takes its bottom (larger y) and leaves its top.
    if (xMajor) {
        line.first = static_cast<std::int32_t>(-floorDivide(-majorA, kSubpixels));
        line.last = static_cast<std::int32_t>(-floorDivide(-majorB, kSubpixels) - 1);
    } else {
        line.first = static_cast<std::int32_t>(floorDivide(majorA, kSubpixels) + 1);
        line.last = static_cast<std::int32_t>(floorDivide(majorB, kSubpixels));
    }
    // The left edge of a band is drawn; so is the bottom one where it is level.
    line.lowEdgeDrawn = xMajor ? minorB < minorA : true;
    return line;
}

std::int64_t snappedPoint(float window) {
    return static_cast<std::int64_t>(std::floor(static_cast<double>(window) * kSubpixels + 0.5));
}

// The first column whose centre (column + 1/2) lies above snapped x - 2:
// 256 column > x - 640.
int pointFirstColumn(std::int64_t x) {
    const std::int64_t above = x - 640;
    return static_cast<int>((above >= 0 ? above / 256 : -((-above + 255) / 256)) + 1);
}

// The first row whose centre lies at or above snapped y - 2:
// 256 row >= y - 640.
int pointFirstRow(std::int64_t y) {
    const std::int64_t above = y - 640;
    return static_cast<int>(above >= 0 ? (above + 255) / 256 : -(-above / 256));
}
