#include "cells/sector_joining.h"

#include <algorithm>
#include <cmath>

#include "cells/cone_geometry.h"

SectorJoining::Sector SectorJoining::makeSector(const FanRay& start, double startLength,
                                                double bound, double width, bool withinFacet) {
    return {start, startLength, bound, width, withinFacet, std::cos(width / 2.0), std::sin(width)};
}

// How far (Euclidean) the sector's triangle must reach along one of its two
// rays. Within one facet the 32-gon of the bound has a straight side, on
// which the triangle's far side lies; across facets the far side is the
// tangent of the bound's circle, which contains that 32-gon.
double SectorJoining::reachOn(const Sector& sector, double rayLength) const {
    const double bound = std::min(sector.bound + kCellLevelMargin, radius);
    return sector.withinFacet ? bound * rayLength : bound / sector.cosHalfWidth;
}

// Where the fan reaches the rim it keeps the full cone's facets, so that its
// outline there is the full cone's.
bool SectorJoining::withinRim(const Sector& sector) const {
    const double bound = std::min(sector.bound + kCellLevelMargin, radius);
    return sector.withinFacet || bound / sector.cosHalfWidth <= radius * kFacetApothem;
}

// A triangle's cost and area, its vertices as far out as it and its
// neighbours need.
double SectorJoining::cost(const Sector& before, const Sector& sector, const Sector& after) const {
    const double from =
        std::max(reachOn(before, sector.startLength), reachOn(sector, sector.startLength));
    const double to =
        std::max(reachOn(sector, after.startLength), reachOn(after, after.startLength));
    return areaPerRay + 0.5 * from * to * sector.sinWidth;
}

void SectorJoining::join(const std::vector<FanRay>& subSectorRays,
                         const std::vector<double>& unitLengths, std::vector<FanRay>& rays) {
    subSectors.clear();
    for (std::size_t ray = 0; ray < subSectorRays.size(); ++ray) {
        const double end =
            ray + 1 == subSectorRays.size() ? 2.0 * kPi : subSectorRays[ray + 1].angle;
        subSectors.push_back(makeSector(subSectorRays[ray], unitLengths[ray],
                                        subSectorRays[ray].level, end - subSectorRays[ray].angle,
                                        true));
    }
    const std::size_t count = subSectors.size();
    sectors.assign(1, subSectors[0]);
    for (std::size_t index = 1; index < count; ++index) {
        Sector& last = sectors.back();
        const Sector& before = sectors.size() > 1 ? sectors[sectors.size() - 2] : subSectors.back();
        const Sector& next = subSectors[index];
        const Sector& after = subSectors[(index + 1) % count];
        const Sector joined =
            makeSector(last.start, last.startLength, std::max(last.bound, next.bound),
                       last.width + next.width, last.withinFacet && !next.start.onRim);
        if (joined.width <= kPi / 2.0 && withinRim(joined) &&
            cost(before, joined, after) <= cost(before, last, next) + cost(last, next, after)) {
            last = joined;
        } else {
            sectors.push_back(next);
        }
    }
    for (std::size_t sector = 0; sector < sectors.size(); ++sector) {
        FanRay fanRay = sectors[sector].start;
        fanRay.level = levelAt(sector);
        rays.push_back(fanRay);
    }
}

// The level of a sector's starting ray: far enough for the sectors on both
// sides of it.
double SectorJoining::levelAt(std::size_t sector) const {
    const Sector& before = sectors[sector == 0 ? sectors.size() - 1 : sector - 1];
    const Sector& after = sectors[sector];
    return std::max(reachOn(before, after.startLength), reachOn(after, after.startLength)) /
           after.startLength;
}
