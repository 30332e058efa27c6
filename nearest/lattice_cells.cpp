#include "nearest/lattice_cells.h"

#include <algorithm>
#include <cmath>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "nearest/edge_winners.h"
#include "nearest/lattice_row_worker.h"
#include "nearest/lattice_sites.h"

namespace {

// The threads take the far rows over the sites' box this many at a time: few
// enough that they end together, enough that taking a share costs little.
constexpr int kFarRowsPerShare = 8;

// The sites' points by x, then y: the order in which the lattice lists them,
// column by column, each column by row.
void listPoints(const LatticeSites& lattice, int threads, std::vector<MarkerPoint>& points) {
    points.clear();
    reserveLarge(points, lattice.sites.size());
    points.resize(lattice.sites.size());
    onRuns(threads, lattice.sites.size(), [&](int, std::size_t first, std::size_t end) {
        for (std::size_t index = first; index < end; ++index) {
            const LatticeSite& site = lattice.sites[index];
            points[index] = {static_cast<float>(site.column + lattice.originX),
                             static_cast<float>(site.row + lattice.originY)};
        }
    });
}

}  // namespace

std::vector<PackedCandidate> LatticeCandidates::candidatesAt(double x, double y) const {
    const double column = std::floor(x - originX + 0.5);
    const double row = std::floor(y - originY + 0.5);
    if (!(column >= 0 && row >= 0 && column < columns && row < rows)) {
        return {};
    }
    const bool inner =
        column >= innerLeft && column < innerRight && row >= innerBottom && row < innerTop;
    const PackedCell& cell =
        inner ? innerCells[static_cast<std::size_t>(row - innerBottom) / cellSize *
                               ((innerRight - innerLeft) / cellSize) +
                           static_cast<std::size_t>(column - innerLeft) / cellSize]
              : farCells[static_cast<std::size_t>(row) / farCellSize * (columns / farCellSize) +
                         static_cast<std::size_t>(column) / farCellSize];
    const std::uint32_t count = cell.count();
    if (count > 2) {
        return {more.begin() + cell.first.place, more.begin() + cell.first.place + count};
    }
    std::vector<PackedCandidate> listed;
    if (count >= 1) {
        listed.push_back({cell.first.place, cell.first.colour & 0xFFFFFFu});
    }
    if (count == 2) {
        listed.push_back(cell.second);
    }
    return listed;
}

bool computeLatticeCandidates(const Site* head, int radius, int threads,
                              LatticeCandidates& candidates) {
    LatticeSites& lattice = candidates.placed;
    if (!head || radius <= 0 || !collectLatticeSites(head, radius, threads, lattice)) {
        return false;
    }
    threads = std::max(threads, 1);
    LineGroups horizontal;
    LineGroups verticalGroups;
    lineGroups(lattice, threads, horizontal, verticalGroups);
    listPoints(lattice, threads, candidates.points);
    const VerticalWinners vertical = verticalWinners(lattice, verticalGroups, threads);
    candidates.originX = lattice.originX;
    candidates.originY = lattice.originY;
    candidates.columns = lattice.columns;
    candidates.rows = lattice.rows;
    candidates.innerLeft = lattice.innerLeft;
    candidates.innerRight = lattice.innerRight;
    candidates.innerBottom = lattice.innerBottom;
    candidates.innerTop = lattice.innerTop;
    candidates.cellSize = lattice.cellSize;
    const int farCellSize = lattice.farCellSize();
    candidates.farCellSize = farCellSize;
    const std::size_t innerCells =
        static_cast<std::size_t>((lattice.innerRight - lattice.innerLeft) / lattice.cellSize) *
        ((lattice.innerTop - lattice.innerBottom) / lattice.cellSize);
    const std::size_t farCells =
        static_cast<std::size_t>(lattice.columns / farCellSize) * (lattice.rows / farCellSize);
    candidates.innerCells.clear();
    reserveLarge(candidates.innerCells, innerCells);
    candidates.innerCells.resize(innerCells);
    candidates.farCells.clear();
    reserveLarge(candidates.farCells, farCells);
    candidates.farCells.resize(farCells);
    // Shares of the far rows in order up the grid, taken by the threads as
    // they come free: those below and above the sites' box first, each
    // worked out from the box outward, then the box's a few at a time. Each
    // share's lists go to `more` in the shares' order.
    const int farRows = lattice.rows / farCellSize;
    const int boxBottom = lattice.innerBottom / farCellSize;
    const int boxTop = lattice.innerTop / farCellSize;
    std::vector<std::pair<int, int>> shares = {{0, boxBottom}};
    for (int first = boxBottom; first < boxTop; first += kFarRowsPerShare) {
        shares.push_back({first, std::min(first + kFarRowsPerShare, boxTop)});
    }
    shares.push_back({boxTop, farRows});
    const int shareCount = static_cast<int>(shares.size());
    std::vector<LatticeRowWorker> workers(
        shareCount, LatticeRowWorker(lattice, horizontal, verticalGroups, vertical, radius,
                                     candidates.innerCells, candidates.farCells));
    std::vector<LineSweep> sweeps(threads,
                                  LineSweep(lattice, horizontal, LineDirection::Horizontal));
    onTasks(threads, shareCount, [&](int thread, int task) {
        const int share = task < 2 ? task * (shareCount - 1) : task - 1;
        workers[share].run(shares[share].first, shares[share].second, sweeps[thread]);
    });
    candidates.more.clear();
    std::vector<RimFacets> rim;
    for (const LatticeRowWorker& worker : workers) {
        if (worker.tooMany) {
            return false;
        }
        const auto shift = static_cast<std::uint32_t>(candidates.more.size());
        candidates.more.insert(candidates.more.end(), worker.more.begin(), worker.more.end());
        rim.insert(rim.end(), worker.rim.begin(), worker.rim.end());
        for (PackedCell* cell : worker.severalAt) {
            cell->first.place += shift;
        }
    }
    std::sort(rim.begin(), rim.end(),
              [](const RimFacets& a, const RimFacets& b) { return a.site < b.site; });
    candidates.rimSites.clear();
    const auto originX = static_cast<float>(lattice.originX);
    const auto originY = static_cast<float>(lattice.originY);
    for (std::size_t index = 0; index < rim.size(); ++index) {
        const RimFacets& facets = rim[index];
        if (index > 0 && rim[index - 1].site == facets.site) {
            LatticeRimSite& merged = candidates.rimSites.back();
            merged.facets |= facets.facets;
            merged.left = std::min(merged.left, facets.left + originX);
            merged.bottom = std::min(merged.bottom, facets.bottom + originY);
            merged.right = std::max(merged.right, facets.right + originX);
            merged.top = std::max(merged.top, facets.top + originY);
            continue;
        }
        const LatticeSite& site = lattice.sites[facets.site];
        candidates.rimSites.push_back({static_cast<float>(site.column + lattice.originX),
                                       static_cast<float>(site.row + lattice.originY), site.colour,
                                       facets.facets, facets.left + originX,
                                       facets.bottom + originY, facets.right + originX,
                                       facets.top + originY});
    }
    return true;
}
