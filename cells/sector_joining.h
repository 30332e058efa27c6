#pragma once

#include <cstddef>
#include <vector>

#include "cells/cone_geometry.h"

// Joins a site's bounded sub-sectors into the triangles of its fan, from
// the first on, where one triangle costs less than two. The depth of every
// pixel is worked out from its distance to the site, not from the
// triangle's plane, so a triangle may span facets.
class SectorJoining {
public:
    SectorJoining(int radius, double areaPerRay) : radius(radius), areaPerRay(areaPerRay) {}

    // `subSectorRays` start the sub-sectors, each level the sub-sector's
    // bound; `unitLengths` are the lengths of their unit 32-gon points.
    // Appends the fan's rays, each level far enough for the triangles on
    // both sides of it.
    void join(const std::vector<FanRay>& subSectorRays, const std::vector<double>& unitLengths,
              std::vector<FanRay>& rays);

private:
    // A run of sub-sectors that one fan triangle covers.
    struct Sector {
        FanRay start;
        double startLength;  // of the start ray's unit 32-gon point
        double bound;        // the largest bound of its sub-sectors
        double width;
        bool withinFacet;
        double cosHalfWidth;
        double sinWidth;
    };

    static Sector makeSector(const FanRay& start, double startLength, double bound, double width,
                             bool withinFacet);
    double reachOn(const Sector& sector, double rayLength) const;
    bool withinRim(const Sector& sector) const;
    double cost(const Sector& before, const Sector& sector, const Sector& after) const;
    double levelAt(std::size_t sector) const;

    double radius;
    double areaPerRay;
    std::vector<Sector> subSectors;
    std::vector<Sector> sectors;
};
