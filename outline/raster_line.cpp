#include "outline/raster_line.h"

#include <cmath>
#include <utility>

namespace {

constexpr std::int64_t kSubpixels = 256;

float signOf(float value) {
    return value < 0.0f ? -1.0f : 1.0f;
}

// Round half away from zero, as the rasterizer snaps. Below 2^52, a float
// times 256 plus or minus a half is either exact or rounded without reaching
// the next whole number, so truncating it gives what llround does, cheaper.
std::int64_t snapped(float value) {
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

std::int64_t floorDivide(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
        --quotient;
    }
    return quotient;
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

}  // namespace

std::int64_t RasterLine::minorAt(std::int64_t major) const {
    const std::int64_t majorSpan = highMajor - lowMajor;
    const std::int64_t minorSpan = highMinor - lowMinor;
    const std::int64_t lowEdge = (lowMinor - kSubpixels / 2) * majorSpan +
                                 (major * kSubpixels - lowMajor) * minorSpan -
                                 (lowEdgeDrawn ? 1 : 0);
    return floorDivide(lowEdge, majorSpan * kSubpixels) + 1;
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
    std::int64_t majorA = snapped((u1 + firstOffset) - 0.5f);
    std::int64_t majorB = snapped((u2 + secondOffset) - 0.5f);
    std::int64_t minorA = snapped((w1 + firstOffset * slope) - 0.5f);
    std::int64_t minorB = snapped((w2 + secondOffset * slope) - 0.5f);
    if (majorA == majorB) {
        return line;
    }
    if (majorA > majorB) {
        std::swap(majorA, majorB);
        std::swap(minorA, minorB);
    }
    line.xMajor = xMajor;
    line.lowMajor = majorA;
    line.lowMinor = minorA;
    line.highMajor = majorB;
    line.highMinor = minorB;
    // The band's ends: an x-major band takes its left end and leaves its
    // right, a y-major one takes its bottom (larger y) and leaves its top.
    if (xMajor) {
        line.first = -floorDivide(-majorA, kSubpixels);
        line.last = -floorDivide(-majorB, kSubpixels) - 1;
    } else {
        line.first = floorDivide(majorA, kSubpixels) + 1;
        line.last = floorDivide(majorB, kSubpixels);
    }
    // The left edge of a band is drawn; so is the bottom one where it is level.
    line.lowEdgeDrawn = xMajor ? minorB < minorA : true;
    return line;
}
