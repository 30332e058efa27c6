#pragma once

#include <cstdint>

// Rounds the quotient down, as the rasterizer's fixed-point steps do.
inline std::int64_t floorDivide(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) {
        --quotient;
    }
    return quotient;
}

// A one-pixel line as the rasterizer draws it (rasterLine in
// rasterizer_rules.h): its snapped ends, and the pixels whose centres lie in
// the band of height (x-major) or width (y-major) one pixel about them.
// Coordinates are the rasterizer's: x to the right, y down from the top of
// the window.
struct RasterLine {
    // Line ends are held in this many steps a pixel.
    static constexpr std::int64_t kSubpixels = 256;

    bool xMajor = true;
    // The major-axis pixels drawn, first <= last; none when last < first.
    // Lines are clipped to the viewport first, so 32 bits hold every
    // coordinate, in 1/256 pixel too, up to 8 million pixels out: half the
    // memory for the many lines kept while a picture is worked out.
    std::int32_t first = 0;
    std::int32_t last = -1;
    // The snapped line, major and minor coordinates in 1/256 pixel with the
    // pixel centres on whole pixels, from the lower major end to the upper.
    std::int32_t lowMajor = 0;
    std::int32_t lowMinor = 0;
    std::int32_t highMajor = 0;
    std::int32_t highMinor = 0;
    // Whether a pixel centre on the band's lower-minor edge is drawn (the
    // other edge then takes none).
    bool lowEdgeDrawn = false;

    bool empty() const { return last < first; }
    // Whether the two light the same pixels.
    bool samePixels(const RasterLine& other) const {
        return xMajor == other.xMajor && first == other.first && last == other.last &&
               lowMajor == other.lowMajor && lowMinor == other.lowMinor &&
               highMajor == other.highMajor && highMinor == other.highMinor &&
               lowEdgeDrawn == other.lowEdgeDrawn;
    }
    // The minor-axis pixel drawn at major-axis pixel `major`.
    std::int64_t minorAt(std::int64_t major) const;
};

// Steps along a line's pixels from `major` on, one major-axis pixel at a
// time either way, without a division per pixel.
class RasterLineWalk {
public:
    // A leap is this many steps.
    static constexpr std::int64_t kLeapSteps = 8;

    RasterLineWalk() = default;
    // Inline, so that the walk's state can live in registers.
    RasterLineWalk(const RasterLine& line, std::int64_t major) {
        const std::int64_t majorSpan = line.highMajor - line.lowMajor;
        const std::int64_t minorSpan = line.highMinor - line.lowMinor;
        divisor = majorSpan * RasterLine::kSubpixels;
        const std::int64_t lowEdge = (line.lowMinor - RasterLine::kSubpixels / 2) * majorSpan +
                                     (major * RasterLine::kSubpixels - line.lowMajor) * minorSpan -
                                     (line.lowEdgeDrawn ? 1 : 0);
        quotient = floorDivide(lowEdge, divisor);
        remainder = lowEdge - quotient * divisor;
        ++quotient;
        const std::int64_t step = minorSpan * RasterLine::kSubpixels;
        stepQuotient = floorDivide(step, divisor);
        stepRemainder = step - stepQuotient * divisor;
        leapQuotient = floorDivide(step * kLeapSteps, divisor);
        leapRemainder = step * kLeapSteps - leapQuotient * divisor;
    }
    std::int64_t minor() const { return quotient; }
    // One step towards higher major coordinates, and back.
    void next() { forward(stepQuotient, stepRemainder); }
    void previous() { back(stepQuotient, stepRemainder); }
    void leap() { forward(leapQuotient, leapRemainder); }
    void leapBack() { back(leapQuotient, leapRemainder); }

private:
    void forward(std::int64_t stepWhole, std::int64_t stepPart) {
        quotient += stepWhole;
        remainder += stepPart;
        if (remainder >= divisor) {
            remainder -= divisor;
            ++quotient;
        }
    }
    void back(std::int64_t stepWhole, std::int64_t stepPart) {
        quotient -= stepWhole;
        remainder -= stepPart;
        if (remainder < 0) {
            remainder += divisor;
            --quotient;
        }
    }

    std::int64_t quotient = 0;
    std::int64_t remainder = 0;
    std::int64_t divisor = 1;
    std::int64_t stepQuotient = 0;
    std::int64_t stepRemainder = 0;
    std::int64_t leapQuotient = 0;
    std::int64_t leapRemainder = 0;
};
