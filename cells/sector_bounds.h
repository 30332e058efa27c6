#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "cells/cone_geometry.h"
#include "cells/drawn_sites.h"

// How far one site's cell can reach, sub-sector by sub-sector: every facet
// is halved while that saves more area than a triangle costs, and each
// sub-sector is bounded by where its neighbours block its two rays.
class SectorBounds {
public:
    SectorBounds(int radius, double areaPerRay);

    // Works out the site's sub-sectors against its cell's neighbours.
    void bound(const Position& site, const std::vector<Position>& positions,
               const std::vector<int>& neighbours);

    // The rays that start the sub-sectors, counter-clockwise from +x; each
    // level holds the bound of the sub-sector after the ray.
    const std::vector<FanRay>& rays() const { return siteRays; }
    // The lengths of the rays' unit 32-gon points.
    const std::vector<double>& unitLengths() const { return rayLengths; }

private:
    // Sub-sectors are never narrower than a facet's 2^-kMaxDepth.
    static constexpr int kMaxDepth = 9;
    static constexpr int kSteps = 1 << kMaxDepth;

    void evaluate(double unitX, double unitY, int firstFacet, int lastFacet,
                  std::vector<double>& beyond);
    void evaluateRim(int rimIndex, std::vector<double>& beyond);
    double leastBlocking(const double* first, const double* last) const;
    double area(double level, double width) const;
    void refine(int facet, int fromStep, int toStep, const double* first, const double* last);
    static int trailingZeros(int step);

    double radius;
    double areaPerRay;
    double normalX[kConeSlices];
    double normalY[kConeSlices];
    double rimX[kConeSlices];  // unit vectors of the rim directions
    double rimY[kConeSlices];
    // The unit 32-gon points of the rays a facet may be cut at, step k of
    // kSteps from its start, in the frame where the facet starts on +x.
    double stepX[kSteps + 1];
    double stepY[kSteps + 1];
    double stepLength[kSteps + 1];
    std::size_t candidateCount = 0;
    std::vector<double> excess;  // c * tau - w . n_k, per neighbour and facet
    // Per neighbour: the midpoints of each depth, then three rim rays.
    std::vector<double> blockedBeyond[kMaxDepth + 4];
    std::vector<FanRay> siteRays;
    std::vector<double> rayLengths;
};
