#include "outline/whole_points.h"

#include <algorithm>
#include <cmath>

namespace {

// Larger boxes are not held: a bit per point.
constexpr std::int64_t kMostPoints = std::int64_t{1} << 28;
constexpr float kWholeLimit = 16777216.0f;  // 2^24: sites beyond are not held
constexpr float kWholeFrom = 8388608.0f;    // 2^23: floats from here on are all whole

// Whether a magnitude is whole and below kWholeLimit (NaN is not): adding
// kWholeFrom rounds a fraction away, so taking it off again gives back only
// whole ones. Without floor, which made up most of a pass over a million
// sites, and the pass runs twice a picture.
bool wholeMagnitude(float magnitude) {
    return magnitude < kWholeLimit &&
           (magnitude >= kWholeFrom || (magnitude + kWholeFrom) - kWholeFrom == magnitude);
}

}  // namespace

bool WholePoints::fit(const std::vector<OutlineSite>& sites, std::int64_t margin) {
    columns = 0;
    rows = 0;
    bits.clear();
    if (sites.empty()) {
        return false;
    }
    bool allWhole = true;
    float lowX = sites.front().x;
    float highX = lowX;
    float lowY = sites.front().y;
    float highY = lowY;
    for (const OutlineSite& site : sites) {
        allWhole &= wholeMagnitude(std::fabs(site.x)) & wholeMagnitude(std::fabs(site.y));
        lowX = std::min(lowX, site.x);
        highX = std::max(highX, site.x);
        lowY = std::min(lowY, site.y);
        highY = std::max(highY, site.y);
    }
    if (!allWhole) {
        return false;
    }
    return fitBox(static_cast<std::int64_t>(lowX), static_cast<std::int64_t>(lowY),
                  static_cast<std::int64_t>(highX), static_cast<std::int64_t>(highY), margin);
}

bool WholePoints::fitBox(std::int64_t lowX, std::int64_t lowY, std::int64_t highX,
                         std::int64_t highY, std::int64_t margin) {
    columns = 0;
    rows = 0;
    bits.clear();
    const std::int64_t wide = highX - lowX + 1 + 2 * margin;
    const std::int64_t high = highY - lowY + 1 + 2 * margin;
    if (wide > kMostPoints / high) {
        return false;
    }
    left = lowX - margin;
    top = lowY - margin;
    columns = wide;
    rows = high;
    // A word more, for the runs that reach into the last one.
    bits.assign(static_cast<std::size_t>((columns * rows + 63) / 64) + 1, 0);
    return true;
}
