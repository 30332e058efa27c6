#pragma once

#include <vector>

// An exact nearest-site computation that knows nothing of the drawing code:
// the measure that tests and the benchmark hold a rendered diagram against.
struct OracleSite {
    double x;
    double y;
    unsigned char r;
    unsigned char g;
    unsigned char b;
};

// Distance as a cone of 32 facets measures it: the cone's rim vertices lie
// on the circle at angles k * 2pi / 32, so between two of them its surface
// lies lower and the distance reads up to 1 / cos(pi / 32) too long.
double polygonDistance(double dx, double dy);

// 1 / cos(pi / 32): how far the 32-gon distance may exceed the Euclidean one.
double facetFactor();

class DiagramOracle {
public:
    explicit DiagramOracle(std::vector<OracleSite> sites);

    const std::vector<OracleSite>& sites() const { return allSites; }

    // Sites whose Euclidean distance from (x, y) is at most factor times the
    // nearest one's. Returns the nearest Euclidean distance (infinity when
    // there are no sites).
    double withinFactor(double x, double y, double factor, std::vector<int>& found) const;

    // Sites whose 32-gon distance from (x, y) is within tolerance of the
    // smallest one. Returns that smallest 32-gon distance.
    double polygonNearest(double x, double y, double tolerance, std::vector<int>& found) const;

private:
    // Visits the sites bucket ring by bucket ring outward from (x, y) until
    // visit returns a Euclidean search radius that the next ring exceeds.
    template <typename Visit>
    void searchOutward(double x, double y, Visit visit) const;

    std::vector<OracleSite> allSites;
    double minX = 0, minY = 0;
    double bucketSize = 1;
    int columns = 0, rows = 0;
    std::vector<std::vector<int>> buckets;
};

// Where the centre of window pixel (column, row), counted from the lower-left
// corner, lies in raster units under the view's zoom and pan.
struct RasterPoint {
    double x;
    double y;
};
RasterPoint windowPixelToRaster(int column, int row, double zoom, double panX, double panY);
