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
    // smallest one. Returns that smallest 32-gon distance. Both list the
    // sites in the order of sites().
    double polygonNearest(double x, double y, double tolerance, std::vector<int>& found) const;

private:
    // Visits the sites near (x, y) first, skipping every part of the tree
    // that lies farther than the Euclidean search radius visit returns.
    template <typename Visit>
    void searchOutward(double x, double y, Visit visit) const;
    int buildTree(int first, int last);

    std::vector<OracleSite> allSites;
    // A k-d tree over the sites: a node covers order[first] to
    // order[last - 1] inside its box; leaves have no children (below < 0).
    struct TreeNode {
        double minX, minY, maxX, maxY;
        int first, last;
        int below, above;
    };
    std::vector<int> order;
    std::vector<TreeNode> tree;
};

// Where the centre of window pixel (column, row), counted from the lower-left
// corner, lies in raster units under the view's zoom and pan.
struct RasterPoint {
    double x;
    double y;
};
RasterPoint windowPixelToRaster(int column, int row, double zoom, double panX, double panY);
