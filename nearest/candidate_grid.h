#pragma once

#include <cstdint>
#include <vector>

// A site as the screen pass reads it: position and colour (red in the low
// byte, then green, blue and an opaque alpha).
struct CandidateSite {
    float x;
    float y;
    std::uint32_t colour;
    std::uint32_t unused;
};

// A square of the raster plane: either a leaf that lists the sites that can
// show in it, candidates[first] to candidates[first + count - 1], or, when
// count is kSplitNode, a square cut into four whose quarters are
// nodes[first] to nodes[first + 3] (lower left, lower right, upper left,
// upper right).
struct CandidateNode {
    std::uint32_t first;
    std::uint32_t count;
};
constexpr std::uint32_t kSplitNode = 0xFFFFFFFFu;

// Which pixels show a cone right at its rim is the rasterizer's to say: it
// rounds the rim's vertices. So the screen pass leaves out the pixels within
// a band inside the rim, and strips of the cones' own rims, this wide, draw
// them. Sites stay listed up to kRimReach beyond the radius.
constexpr double kRimBand = 0.5;
constexpr double kRimStrip = 0.75;
constexpr double kRimReach = 1.0;

// A site whose cell reaches the rim band, and the facets (bit k: between rim
// vertices k and k + 1, counter-clockwise from +x) through which it does.
struct RimSite {
    std::uint32_t site;
    std::uint32_t facets;
};

// For every point of the raster plane within the cone radius of a site, a
// short list of sites that holds the one nearest in 32-gon distance: of
// sites within the tie tolerance of each other any may be missing but one,
// and of several sites at one position only the copy the full cones leave
// on top (the one nearest the list's end) is listed. Outside the grid, and
// in leaves without sites, no cone reaches.
struct SiteCandidates {
    double originX = 0.0;
    double originY = 0.0;
    double cellSize = 1.0;  // a power of two
    int columns = 0;
    int rows = 0;
    std::vector<CandidateSite> sites;
    // The grid's cells row by row from the lower left, then their quarters.
    std::vector<CandidateNode> nodes;
    std::vector<std::uint32_t> candidates;
    std::vector<RimSite> rimSites;

    // The leaf holding raster point (x, y); null outside the grid.
    const CandidateNode* leafAt(double x, double y) const;
};
