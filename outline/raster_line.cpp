#include "outline/raster_line.h"

std::int64_t RasterLine::minorAt(std::int64_t major) const {
    const std::int64_t majorSpan = highMajor - lowMajor;
    const std::int64_t minorSpan = highMinor - lowMinor;
    const std::int64_t lowEdge = (lowMinor - kSubpixels / 2) * majorSpan +
                                 (major * kSubpixels - lowMajor) * minorSpan -
                                 (lowEdgeDrawn ? 1 : 0);
    return floorDivide(lowEdge, majorSpan * kSubpixels) + 1;
}
