#include "outline/covered_rays.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <limits>

#include "cells/thread_sharing.h"

namespace {

// The sites looked at lie at least this far ahead of the covered one, in
// window pixels along the ray, both by their apexes and by their apexes'
// columns, where depths along parallel edges part: their fragments are then
// clearly the nearer. A fragment's depth goes by its line's ends as floats,
// not as snapped, and two apexes' floats in a window of a few thousand
// pixels part by less than a thousandth of a pixel.
constexpr double kLeastAhead = 0.05;
// The near sets look at every point where kMostSteps raster steps reach this
// much past kLeastAhead (three quarters of a pixel), for choice of sites
// across.
constexpr double kNearSlack = 0.7;
// How far two parallel edges may lie across from where their apexes and the
// ray's direction put them: the ends snapped to 1/256 pixel and the clipper's
// floats come to about a hundredth of a pixel between two edges.
constexpr double kAcrossSlack = 0.04;
// Where a ray's span along x and along y differ by less than this, in
// pixels, the snapping of its ends decides which is its major axis, site by
// site.
constexpr double kEitherAxisSpan = 0.05;
// A site's edge lights a pixel a column or two from its apex less surely.
constexpr double kAfterApexColumns = 2.5;
// Of the sites ahead, the nearest this many are tried in twos and threes,
// and the nearest sets kept.
constexpr std::size_t kMostCandidates = 16;
constexpr std::size_t kMostSets = 12;

// Whether edges at these offsets across from an edge's line light between
// them every pixel it lights: each lights the pixels within half a pixel
// across of its own line, less the slack.
bool covers(std::initializer_list<double> offsets) {
    // Two or three of them, in order.
    double across[3] = {};
    std::size_t count = 0;
    for (const double offset : offsets) {
        std::size_t at = count++;
        for (; at > 0 && across[at - 1] > offset; --at) {
            across[at] = across[at - 1];
        }
        across[at] = offset;
        if (count == 3) {
            break;
        }
    }
    if (!(across[0] < -kAcrossSlack && across[count - 1] > kAcrossSlack)) {
        return false;
    }
    for (std::size_t index = 1; index < count; ++index) {
        if (!(across[index] - across[index - 1] < 1.0 - 2.0 * kAcrossSlack)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void CoveredRays::coveringSets(const std::vector<Ahead>& ahead, double afterApex,
                               std::vector<Set>& found) {
    found.clear();
    const std::size_t count = ahead.size();
    for (std::size_t first = 0; first < count; ++first) {
        for (std::size_t second = first + 1; second < count; ++second) {
            const Ahead& a = ahead[first];
            const Ahead& b = ahead[second];
            // The farther one ahead is the later in the list.
            if (covers({a.across, b.across})) {
                found.push_back(
                    {{{a.x, a.y}, {b.x, b.y}}, 2, std::max(a.passedAt, b.passedAt) + afterApex});
                continue;
            }
            for (std::size_t third = second + 1; third < count; ++third) {
                const Ahead& c = ahead[third];
                if (covers({a.across, b.across, c.across})) {
                    found.push_back({{{a.x, a.y}, {b.x, b.y}, {c.x, c.y}},
                                     3,
                                     std::max({a.passedAt, b.passedAt, c.passedAt}) + afterApex});
                }
            }
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Set& a, const Set& b) { return a.from < b.from; });
    if (found.size() > kMostSets) {
        found.resize(kMostSets);
    }
}

void CoveredRays::aheadOf(const Geometry& geometry, int ray, int stride, int steps, double nearest,
                          std::vector<Ahead>& ahead) {
    ahead.clear();
    const double rayX = geometry.rayX[ray];
    const double rayY = geometry.rayY[ray];
    // Across is measured along the minor axis, as the rasterizer picks a
    // line's pixel in each column (or row) of the major one.
    const bool xMajor = std::fabs(rayX) >= std::fabs(rayY);
    const double major = xMajor ? rayX : rayY;
    const double minor = xMajor ? rayY : rayX;
    const double slope = minor / major;
    // A fragment's depth follows its line's major axis, so parallel edges
    // compare where the covered one reaches a site's column. Where the lines
    // may take either axis, a pixel that the covered edge lights up to half
    // a pixel across from its line lies up to that much over the minor
    // component further along by one axis than by the other, the farther by
    // the side of the line a site ahead lies on: it must lead by kLeastAhead
    // by both axes, and by that much more by the one that leads.
    const bool eitherAxis =
        std::fabs(std::fabs(rayX) - std::fabs(rayY)) * geometry.rayLength[ray] < kEitherAxisSpan;
    const double leadingColumns =
        eitherAxis ? kLeastAhead + (0.5 + kAcrossSlack) / std::fabs(minor) : kLeastAhead;
    for (int stepsY = -steps; stepsY <= steps; ++stepsY) {
        for (int stepsX = -steps; stepsX <= steps; ++stepsX) {
            const double x = static_cast<double>(stepsX) * stride;
            const double y = static_cast<double>(stepsY) * stride;
            const double offsetX = x * geometry.stepX[0] + y * geometry.stepY[0];
            const double offsetY = x * geometry.stepX[1] + y * geometry.stepY[1];
            const double along = offsetX * rayX + offsetY * rayY;
            const double across = xMajor ? offsetY - offsetX * slope : offsetX - offsetY * slope;
            const double columnAlong = along - across * minor;
            // The same by the other axis, where lines may take it.
            const double rowAlong = !eitherAxis ? columnAlong
                                    : xMajor    ? offsetY / rayY
                                                : offsetX / rayX;
            const double least = std::min(columnAlong, rowAlong);
            const double most = std::max(columnAlong, rowAlong);
            if (along >= nearest && least >= kLeastAhead && most >= leadingColumns &&
                along <= CoveredRays::kMostAhead && std::fabs(across) < 1.0 - kAcrossSlack) {
                ahead.push_back({stepsX, stepsY, along, across, std::max(along, most)});
            }
        }
    }
    std::sort(ahead.begin(), ahead.end(),
              [](const Ahead& a, const Ahead& b) { return a.passedAt < b.passedAt; });
    if (ahead.size() > kMostCandidates) {
        ahead.resize(kMostCandidates);
    }
}

namespace {

std::int64_t floorDivided(std::int64_t value, std::int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

constexpr int kThreads = 2;

// floorDivided for many numbers, without a division each: the product with
// the reciprocal is off by at most one below 2^52.
class StrideDivider {
public:
    explicit StrideDivider(std::int64_t divisor)
        : divisor(divisor), reciprocal(1.0 / static_cast<double>(divisor)) {}
    std::int64_t quotient(std::int64_t value) const {
        auto quotient = static_cast<std::int64_t>(static_cast<double>(value) * reciprocal);
        if (quotient * divisor > value) {
            --quotient;
        } else if ((quotient + 1) * divisor <= value) {
            ++quotient;
        }
        return quotient;
    }

private:
    std::int64_t divisor;
    double reciprocal;
};

}  // namespace

void CoveredRays::prepare(const std::vector<OutlineSite>& siteList, const Geometry& geometry) {
    sites = nullptr;
    ready = false;
    nearStrided = false;
    for (int ray = 0; ray < kConeSlices; ++ray) {
        sets[ray].clear();
        farAheadSets[ray].clear();
    }
    const double shorterStep = std::min(std::hypot(geometry.stepX[0], geometry.stepX[1]),
                                        std::hypot(geometry.stepY[0], geometry.stepY[1]));
    // Room about every site for the points its sets look at.
    if (!(shorterStep > 0.0) || !occupied.fit(siteList, kMostSteps)) {
        return;
    }
    for (const OutlineSite& site : siteList) {
        occupied.testAndSet(static_cast<std::int64_t>(site.x), static_cast<std::int64_t>(site.y));
    }
    // Enough raster steps to reach kMostAhead along the shorter step. Where
    // kMostSteps of them fall short of kFarAheadColumns pixels, the far sets
    // take every farStride-th point, enough to reach that many columns along
    // any ray (a column is at most sqrt(2) pixels along one).
    reach = static_cast<int>(
        std::min(std::ceil(CoveredRays::kMostAhead / shorterStep), double{kMostSteps}));
    constexpr double kMostStride = 64.0;
    farStride = kFarAheadColumns > kMostSteps * shorterStep
                    ? static_cast<int>(std::min(
                          std::ceil(kFarAheadColumns * std::sqrt(2.0) / (kMostSteps * shorterStep)),
                          kMostStride))
                    : 1;
    farReach = static_cast<int>(std::min(
        std::ceil(CoveredRays::kMostAhead / (shorterStep * farStride)), double{kMostSteps}));
    // Where kMostSteps raster steps reach hardly past kLeastAhead, no site is
    // far enough ahead to cover: the sets then look at the far sets' points.
    nearStrided = kMostSteps * shorterStep < kLeastAhead + kNearSlack && farStride > 1;
    farPoints.clear();
    if (farStride > 1) {
        // The sites of each class of coordinates modulo the stride, by their
        // coordinates divided by it, each class in the box of all of them.
        const StrideDivider divider(farStride);
        const auto classes = static_cast<std::size_t>(farStride) * farStride;
        farPoints.resize(classes);
        // The sites' box: the occupied points' less their margin.
        const std::int64_t lowX = occupied.firstColumn() + kMostSteps;
        const std::int64_t lowY = occupied.firstRow() + kMostSteps;
        const std::int64_t highX = occupied.lastColumn() - kMostSteps;
        const std::int64_t highY = occupied.lastRow() - kMostSteps;
        for (WholePoints& members : farPoints) {
            if (!members.fitBox(divider.quotient(lowX), divider.quotient(lowY),
                                divider.quotient(highX), divider.quotient(highY), kMostSteps)) {
                return;
            }
        }
        // Read from the occupied points, 64 at a time, rather than from the
        // sites, which may be a million: each thread takes every other row
        // of the classes, so that no two write to the same class.
        onThreads(kThreads, [&](int thread) {
            for (std::int64_t y = lowY; y <= highY; ++y) {
                const std::int64_t row = divider.quotient(y);
                const std::int64_t rowClass = y - row * farStride;
                if (rowClass % kThreads != thread) {
                    continue;
                }
                WholePoints* classes = &farPoints[static_cast<std::size_t>(rowClass * farStride)];
                for (std::int64_t x = lowX; x <= highX; x += 64) {
                    const int count = static_cast<int>(std::min<std::int64_t>(64, highX - x + 1));
                    for (std::uint64_t points = occupied.run(x, y, count); points != 0;
                         points &= points - 1) {
                        const std::int64_t pointX = x + __builtin_ctzll(points);
                        const std::int64_t column = divider.quotient(pointX);
                        classes[pointX - column * farStride].testAndSet(column, row);
                    }
                }
            }
        });
    }
    std::vector<Ahead> ahead;
    for (int ray = 0; ray < kConeSlices; ++ray) {
        const double major = std::max(std::fabs(geometry.rayX[ray]), std::fabs(geometry.rayY[ray]));
        const double afterApex = kAfterApexColumns / major;
        if (nearStrided) {
            aheadOf(geometry, ray, farStride, farReach, kLeastAhead, ahead);
        } else {
            aheadOf(geometry, ray, 1, reach, kLeastAhead, ahead);
        }
        coveringSets(ahead, afterApex, sets[ray]);
        aheadOf(geometry, ray, farStride, farReach, kFarAheadColumns / major, ahead);
        coveringSets(ahead, afterApex, farAheadSets[ray]);
        nearRows[ray] = rowsOf(sets[ray], nearStrided ? farReach : reach);
        farAheadRows[ray] = rowsOf(farAheadSets[ray], farStride == 1 ? reach : farReach);
    }
    occupied.surrounded(farStride == 1 ? reach : std::max(reach, farStride * farReach), allAbout);
    sites = &siteList;
    ready = true;
}

std::uint64_t CoveredRays::rowsOf(const std::vector<Set>& list, int steps) {
    std::uint64_t rows = 0;
    for (const Set& set : list) {
        for (int member = 0; member < set.members; ++member) {
            rows |= std::uint64_t{1} << (set.offsets[member][1] + steps);
        }
    }
    return rows;
}

void CoveredRays::around(std::size_t site, Around& points) const {
    points.site = site;
    points.rowsRead = 0;
    points.farRowsRead = 0;
}

void CoveredRays::readRows(Around& points, std::uint64_t wanted) const {
    const auto x = static_cast<std::int64_t>((*sites)[points.site].x);
    const auto y = static_cast<std::int64_t>((*sites)[points.site].y);
    for (std::uint64_t rest = wanted & ~points.rowsRead; rest != 0; rest &= rest - 1) {
        const int row = __builtin_ctzll(rest);
        points.rows[row] = occupied.run(x - reach, y - reach + row, 2 * reach + 1);
    }
    points.rowsRead |= wanted;
}

void CoveredRays::readFarRows(Around& points, std::uint64_t wanted) const {
    const auto x = static_cast<std::int64_t>((*sites)[points.site].x);
    const auto y = static_cast<std::int64_t>((*sites)[points.site].y);
    const std::int64_t column = floorDivided(x, farStride);
    const std::int64_t row = floorDivided(y, farStride);
    const WholePoints& members = farPoints[static_cast<std::size_t>(
        (y - row * farStride) * farStride + (x - column * farStride))];
    for (std::uint64_t rest = wanted & ~points.farRowsRead; rest != 0; rest &= rest - 1) {
        const int line = __builtin_ctzll(rest);
        points.farRows[line] =
            members.run(column - farReach, row - farReach + line, 2 * farReach + 1);
    }
    points.farRowsRead |= wanted;
}

double CoveredRays::firstCovering(const std::vector<Set>& list, const std::uint64_t* rows,
                                  int steps) {
    for (const Set& set : list) {
        bool all = true;
        for (int member = 0; member < set.members && all; ++member) {
            all = (rows[set.offsets[member][1] + steps] >> (set.offsets[member][0] + steps)) & 1u;
        }
        if (all) {
            return set.from;
        }
    }
    return std::numeric_limits<double>::infinity();
}

const std::uint64_t* CoveredRays::rowsWith(Around& points, std::uint64_t wanted,
                                           bool farSets) const {
    if (farSets) {
        if ((wanted & ~points.farRowsRead) != 0) {
            readFarRows(points, wanted);
        }
        return points.farRows;
    }
    if ((wanted & ~points.rowsRead) != 0) {
        readRows(points, wanted);
    }
    return points.rows;
}

double CoveredRays::from(Around& points, int ray) const {
    if (!ready) {
        return std::numeric_limits<double>::infinity();
    }
    return firstCovering(sets[ray], rowsWith(points, nearRows[ray], nearStrided),
                         nearStrided ? farReach : reach);
}

double CoveredRays::fromFarAhead(Around& points, int ray) const {
    if (!ready) {
        return std::numeric_limits<double>::infinity();
    }
    const bool farSets = farStride != 1;
    return firstCovering(farAheadSets[ray], rowsWith(points, farAheadRows[ray], farSets),
                         farSets ? farReach : reach);
}
