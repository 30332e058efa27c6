#include "outline/settled_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// A rectangle of more pixels is seldom settled all over.
constexpr double kMostBoxPixels = 1024.0;

// Every key below this holds less than any fragment of depth `depth` or
// more; so does a marker's pixel, where `markers` is set, even at depth 0,
// where the first band starts: a fragment's key never has a zero low half.
FragmentKey keyBelow(float depth, bool markers = false) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &depth, sizeof bits);
    return (static_cast<FragmentKey>(bits) << 32) | (markers ? 1u : 0u);
}

bool nearWindow(double coordinate, int size) {
    return coordinate > -2.0 * size && coordinate < 3.0 * size;
}

}  // namespace

bool SettledPixels::along(double apexX, double apexY, double spread, double rayX, double rayY,
                          double nearDistance, double farDistance, double endDistance, float low,
                          Markers markers, double mostColumns, std::size_t& columnsPassed) const {
    if (!(nearWindow(apexX + rayX * endDistance, width) &&
          nearWindow(apexY + rayY * endDistance, height))) {
        return false;
    }
    // A depth's column lies within a column of its distance, and nothing
    // lies past the edge's end.
    const double column = 1.0 / std::max(std::fabs(rayX), std::fabs(rayY));
    const double from = std::max(nearDistance - column, 0.0);
    const double to = std::min(farDistance + column, endDistance);
    if (!(from <= to)) {
        return true;
    }
    // The depth grows from the apex's 0 to the end's 0.5.
    const double perDistance = 0.5 / endDistance;
    return nearWindow(apexX, width) && nearWindow(apexY, height) &&
           betweenWithin({apexX + rayX * from, apexY + rayY * from, from * perDistance},
                         {apexX + rayX * to, apexY + rayY * to, to * perDistance}, low, markers,
                         spread, mostColumns, columnsPassed);
}

bool SettledPixels::between(const LinePoint& start, const LinePoint& end, float low) const {
    std::size_t columnsPassed = 0;
    return betweenWithin(start, end, low, Markers::Unsettled, 0.0, kMostColumns, columnsPassed);
}

bool SettledPixels::betweenWithin(const LinePoint& start, const LinePoint& end, float low,
                                  Markers markers, double spread, double mostColumns,
                                  std::size_t& columnsPassed) const {
    const double fromX = start.x;
    const double fromY = start.y;
    const double toX = end.x;
    const double toY = end.y;
    if (!(nearWindow(fromX, width) && nearWindow(toX, width) && nearWindow(fromY, height) &&
          nearWindow(toY, height))) {
        return false;
    }
    // Below this a pixel keeps what it holds against the line's fragment of
    // depth `depth` or more.
    const auto settledBelow = [low, markers](double depth) {
        return keyBelow(std::max(low, static_cast<float>(depth)), markers == Markers::Settled);
    };
    // The pixels the line lights taking x, or y, for its major axis.
    const auto settledTaking = [&](bool xMajor, bool alongDepth) {
        const double fromMajor = xMajor ? fromX : fromY;
        const double toMajor = xMajor ? toX : toY;
        const double fromMinor = xMajor ? fromY : fromX;
        const double span = toMajor - fromMajor;
        if (!(std::fabs(span) > 1e-9)) {
            return false;
        }
        // Column centres lit only within half a pixel (the diamond rule) of
        // the lines' ends.
        const double lowCentre = std::min(fromMajor, toMajor) - 0.51 - spread;
        const double highCentre = std::max(fromMajor, toMajor) + 0.51 + spread;
        if (highCentre - lowCentre > mostColumns) {
            return false;
        }
        const std::int64_t majorSize = xMajor ? width : height;
        const std::int64_t minorSize = xMajor ? height : width;
        const auto first =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::ceil(lowCentre - 0.5)));
        const auto last = std::min<std::int64_t>(
            majorSize - 1, static_cast<std::int64_t>(std::floor(highCentre - 0.5)));
        const double slope = ((xMajor ? toY : toX) - fromMinor) / span;
        // The line's depth at a column centre, less a hundredth of a column's
        // worth and a float's rounding; a line `spread` further along it is
        // shallower by that many columns' worth.
        const double depthPerColumn = alongDepth ? (end.depth - start.depth) / span : 0.0;
        const double depthFrom = alongDepth
                                     ? start.depth - (0.01 + spread) * std::fabs(depthPerColumn) -
                                           1e-6 - fromMajor * depthPerColumn
                                     : 0.0;
        // A pixel is lit where its centre lies within half a pixel across of
        // the line; the margin covers the snapping of the ends and the
        // clipper's floats. A line `spread` aside, or along and so across by
        // the slope, is up to that much further across.
        const double across = 0.05 + spread * (1.0 + std::fabs(slope));
        const std::int64_t majorPixels = xMajor ? 1 : width;
        const std::int64_t minorPixels = xMajor ? width : 1;
        const PixelLayers::Reader picture = pixels.reader();
        // The rows whose centres lie within half a pixel and the margin of
        // the line, rounded down by truncation: every coordinate lies above
        // -bias.
        const auto bias = static_cast<std::int64_t>(2 * (width + height) + 2);
        const double biased = fromMinor + static_cast<double>(bias);
        // From the `to` end: a ray's far end, where an unsettled pixel is
        // likelier.
        const std::int64_t step = span > 0.0 ? -1 : 1;
        const std::int64_t firstMajor = span > 0.0 ? last : first;
        // Stepped along from column to column: the rounding that gathers
        // over the window's width is far below the margins.
        double minor = biased + (static_cast<double>(firstMajor) + 0.5 - fromMajor) * slope;
        double depth = depthFrom + (static_cast<double>(firstMajor) + 0.5) * depthPerColumn;
        const double minorStep = static_cast<double>(step) * slope;
        const double depthStep = static_cast<double>(step) * depthPerColumn;
        for (std::int64_t major = firstMajor; major >= first && major <= last;
             major += step, minor += minorStep, depth += depthStep, ++columnsPassed) {
            // For a line of its own, the rows lie within 1.1 pixels: one or
            // two of them.
            const std::int64_t lowest = std::max<std::int64_t>(
                0, static_cast<std::int64_t>(minor - 1.0 - across) + 1 - bias);
            const std::int64_t highest = std::min<std::int64_t>(
                minorSize - 1, static_cast<std::int64_t>(minor + across) - bias);
            const FragmentKey settled = settledBelow(depth);
            for (std::int64_t row = lowest; row <= highest; ++row) {
                if (!(picture.at(static_cast<std::size_t>(major * majorPixels +
                                                          row * minorPixels)) < settled)) {
                    return false;
                }
            }
        }
        return true;
    };
    // Near a diagonal the rounding of the line's ends decides its major
    // axis: the pixels of either are looked at, against `low` alone, as the
    // depth at a pixel goes by the column or the row.
    const double lead = std::fabs(toX - fromX) - std::fabs(toY - fromY);
    const double tie = 1e-3 * (std::fabs(toX - fromX) + std::fabs(toY - fromY));
    if (lead > tie) {
        return settledTaking(true, true);
    }
    if (lead < -tie) {
        return settledTaking(false, true);
    }
    return settledTaking(true, false) && settledTaking(false, false);
}

bool SettledPixels::within(double left, double top, double right, double bottom, float low) const {
    if (!((right - left + 1.0) * (bottom - top + 1.0) <= kMostBoxPixels)) {
        return false;
    }
    // Clamped before they are cast: the rectangle may lie far outside.
    const auto firstColumn = static_cast<int>(std::clamp(std::ceil(left - 0.5), 0.0, width + 0.0));
    const auto lastColumn =
        static_cast<int>(std::clamp(std::floor(right - 0.5), -1.0, width - 1.0));
    const auto firstRow = static_cast<int>(std::clamp(std::ceil(top - 0.5), 0.0, height + 0.0));
    const auto lastRow = static_cast<int>(std::clamp(std::floor(bottom - 0.5), -1.0, height - 1.0));
    const FragmentKey settled = keyBelow(low);
    const PixelLayers::Reader picture = pixels.reader();
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::size_t line = static_cast<std::size_t>(row) * width;
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (!(picture.at(line + column) < settled)) {
                return false;
            }
        }
    }
    return true;
}
