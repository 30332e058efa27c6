#include "nearest/candidate_tree.h"

#include <cmath>

#include "cells/large_arrays.h"
#include "nearest/rim_facets.h"

namespace {

// A leaf with more candidates than this is cut into four, down to
// kSmallestCell: the screen pass's cost grows with the candidates per pixel.
constexpr std::size_t kMostCandidates = 8;
constexpr double kSmallestCell = 0.25;
constexpr std::size_t kDeepest = 16;
// Where a grid cell holds many sites, it is cut into squares of about this
// many from the start, each gathering its sites from the buckets.
constexpr double kSitesPerSquare = 1.0;

}  // namespace

CandidateTree::CandidateTree(const SiteCandidates& grid, const Buckets& buckets, double radius)
    : grid(grid),
      buckets(buckets),
      radius(radius),
      nearSites(grid, buckets),
      gathering(grid, buckets, radius),
      selection(buckets, radius),
      kept(kDeepest) {}

CandidateNode CandidateTree::cell(int column, int row) {
    const Square square{grid.originX + column * grid.cellSize, grid.originY + row * grid.cellSize,
                        grid.cellSize};
    const int cell = row * grid.columns + column;
    int levels = 0;
    if (buckets.cellSiteCount[cell] > 0) {
        const double density = buckets.cellSiteCount[cell] / (square.size * square.size);
        const double wanted = std::sqrt(kSitesPerSquare / density);
        while (levels < 8 && square.size / (1 << (levels + 1)) >= wanted) {
            ++levels;
        }
    }
    // A site near every corner of the squares, each corner shared by up to
    // four of them.
    const int span = 1 << levels;
    const double step = square.size / span;
    cornerSites.resize(static_cast<std::size_t>(span + 1) * (span + 1));
    for (int cornerRow = 0; cornerRow <= span; ++cornerRow) {
        for (int cornerColumn = 0; cornerColumn <= span; ++cornerColumn) {
            cornerSites[cornerRow * (span + 1) + cornerColumn] =
                nearSites.siteNear(square.x0 + cornerColumn * step, square.y0 + cornerRow * step,
                                   buckets.nearCentre[cell]);
        }
    }
    cornerColumns = span + 1;
    return cutInto(square, levels, 0, 0, buckets.nearCentre[cell]);
}

// The square's lower left corner is corner (column, row) of the cell's
// corner table.
CandidateNode CandidateTree::cutInto(const Square& square, int levels, int column, int row,
                                     std::uint32_t fallbackSite) {
    if (levels == 0) {
        const std::uint32_t corners[4] = {cornerSites[row * cornerColumns + column],
                                          cornerSites[row * cornerColumns + column + 1],
                                          cornerSites[(row + 1) * cornerColumns + column],
                                          cornerSites[(row + 1) * cornerColumns + column + 1]};
        return refine(square, gathering.gather(square, corners, fallbackSite), 0);
    }
    growLarge(nodes, 4);
    const auto first = static_cast<std::uint32_t>(nodes.size());
    nodes.resize(nodes.size() + 4);
    const int half = 1 << (levels - 1);
    for (int which = 0; which < 4; ++which) {
        const CandidateNode quarter =
            cutInto(square.quarter(which), levels - 1, column + (which & 1) * half,
                    row + (which >> 1) * half, fallbackSite);
        nodes[first + which] = quarter;
    }
    return {first, kSplitNode};
}

// Keeps the sites of `from` that can show in the square, then cuts the
// square into quarters while they are many.
CandidateNode CandidateTree::refine(const Square& square, const std::vector<std::uint32_t>& from,
                                    std::size_t depth) {
    std::vector<std::uint32_t>& keep = kept[depth];
    selection.select(square, from, keep);
    if (keep.size() > kMostCandidates && square.size > kSmallestCell && depth + 1 < kDeepest) {
        growLarge(nodes, 4);
        const auto first = static_cast<std::uint32_t>(nodes.size());
        nodes.resize(nodes.size() + 4);
        for (int which = 0; which < 4; ++which) {
            const CandidateNode quarter = refine(square.quarter(which), kept[depth], depth + 1);
            nodes[first + which] = quarter;
        }
        return {first, kSplitNode};
    }
    markRimFacets(square, keep, buckets, radius, rimFacets);
    growLarge(candidates, keep.size());
    const auto first = static_cast<std::uint32_t>(candidates.size());
    candidates.insert(candidates.end(), keep.begin(), keep.end());
    return {first, static_cast<std::uint32_t>(keep.size())};
}
