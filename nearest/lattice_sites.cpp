#include "nearest/lattice_sites.h"

#include <cmath>
#include <cstring>

#include "cells/large_arrays.h"
#include "sitemap/site.h"

namespace {

// Beyond this the points are left to the general search, whose positions
// are 32-bit floats like the cones'.
constexpr float kLargestCoordinate = 1 << 20;
// Cells reach this far beyond the radius, so that every point the cones
// reach, and a strip beyond, lies in a cell.
constexpr int kReachBeyondRadius = 2;
// The share of the inner part's unit cells that sites must stand in for
// unit cells, and for cells of two.
constexpr double kUnitCellShare = 1.0 / 20.0;
constexpr double kDoubleCellShare = 1.0 / 32.0;
// Room for this many sites at first, doubled as needed.
constexpr std::size_t kFirstRoom = 1 << 16;

bool onLattice(float coordinate) {
    // Whole within the bound where truncating keeps it: cheaper than floor.
    return std::fabs(coordinate) <= kLargestCoordinate &&
           static_cast<float>(static_cast<std::int32_t>(coordinate)) == coordinate;
}

}  // namespace

bool collectLatticeSites(const Site* head, int radius, LatticeSites& lattice) {
    // Grown as the list is walked: counting it first would walk it twice,
    // and its sites lie far apart in memory.
    std::vector<LatticeSite> listed;
    reserveLarge(listed, kFirstRoom);
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const Site* site = head; site; site = site->next) {
        growLarge(listed, 1);
        // The cones stand at the positions rounded to 32-bit floats.
        const float x = static_cast<float>(site->x);
        const float y = static_cast<float>(site->y);
        if (!onLattice(x) || !onLattice(y)) {
            return false;
        }
        const LatticeSite point{
            static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
            static_cast<std::uint32_t>(site->r | (site->g << 8) | (site->b << 16))};
        if (listed.empty()) {
            minX = maxX = point.column;
            minY = maxY = point.row;
        }
        minX = std::min(minX, point.column);
        maxX = std::max(maxX, point.column);
        minY = std::min(minY, point.row);
        maxY = std::max(maxY, point.row);
        listed.push_back(point);
    }
    const auto farCells = [](long long cells) {
        constexpr int kAlign = kFarCellScale * kLargestCellSize;
        return (cells + kAlign - 1) / kAlign * kAlign;
    };
    const long long reach = farCells(static_cast<long long>(radius) + kReachBeyondRadius);
    const long long innerColumns = farCells(static_cast<long long>(maxX) - minX + 1);
    const long long innerRows = farCells(static_cast<long long>(maxY) - minY + 1);
    const long long columns = innerColumns + 2 * reach;
    const long long rows = innerRows + 2 * reach;
    if (listed.empty() || columns >= kMostLatticeColumns || rows >= kMostLatticeColumns ||
        columns * rows >= kMostLatticeCells) {
        return false;
    }
    lattice.originX = static_cast<int>(minX - reach);
    lattice.originY = static_cast<int>(minY - reach);
    lattice.columns = static_cast<int>(columns);
    lattice.rows = static_cast<int>(rows);
    lattice.innerLeft = static_cast<int>(reach);
    lattice.innerRight = static_cast<int>(reach + innerColumns);
    lattice.innerBottom = static_cast<int>(reach);
    lattice.innerTop = static_cast<int>(reach + innerRows);

    // Over the inner part, column by column: the extractions list their
    // sites in that order, so the writes run along the array. The last
    // write of a cell is the copy nearest the list's end.
    const std::size_t innerCells = static_cast<std::size_t>(innerColumns * innerRows);
    std::vector<std::int32_t> owner;
    reserveLarge(owner, innerCells);
    owner.resize(innerCells);
    std::memset(owner.data(), 0xFF, owner.size() * sizeof(std::int32_t));
    for (std::size_t index = 0; index < listed.size(); ++index) {
        LatticeSite& point = listed[index];
        point.column -= lattice.originX;
        point.row -= lattice.originY;
        owner[static_cast<std::size_t>(point.column - lattice.innerLeft) * innerRows + point.row -
              lattice.innerBottom] = static_cast<std::int32_t>(index);
    }

    lattice.sites.clear();
    reserveLarge(lattice.sites, listed.size());
    lattice.occupiedBits.assign((innerCells + 63) / 64, 0);
    lattice.columnStart.assign(lattice.columns + 1, 0);
    lattice.rowStart.assign(lattice.rows + 1, 0);
    for (int column = 0; column < lattice.columns; ++column) {
        lattice.columnStart[column] = static_cast<std::uint32_t>(lattice.sites.size());
        if (column < lattice.innerLeft || column >= lattice.innerRight) {
            continue;
        }
        const std::int32_t* cell =
            owner.data() + static_cast<std::size_t>(column - lattice.innerLeft) * innerRows;
        for (int row = 0; row < innerRows; ++row) {
            if (cell[row] >= 0) {
                lattice.sites.push_back(listed[cell[row]]);
                ++lattice.rowStart[lattice.innerBottom + row + 1];
                const std::size_t bit =
                    static_cast<std::size_t>(row) * innerColumns + column - lattice.innerLeft;
                lattice.occupiedBits[bit >> 6] |= std::uint64_t{1} << (bit & 63);
            }
        }
    }
    lattice.columnStart[lattice.columns] = static_cast<std::uint32_t>(lattice.sites.size());
    for (int row = 0; row < lattice.rows; ++row) {
        lattice.rowStart[row + 1] += lattice.rowStart[row];
    }
    const double share =
        static_cast<double>(lattice.sites.size()) / static_cast<double>(innerCells);
    lattice.cellSize = share >= kUnitCellShare     ? 1
                       : share >= kDoubleCellShare ? 2
                                                   : kLargestCellSize;
    // Taken in column order, each row's sites come out by column.
    lattice.byRow.clear();
    reserveLarge(lattice.byRow, lattice.sites.size());
    lattice.byRow.resize(lattice.sites.size());
    std::vector<std::uint32_t> fill(lattice.rowStart.begin(), lattice.rowStart.end() - 1);
    for (std::uint32_t index = 0; index < lattice.sites.size(); ++index) {
        lattice.byRow[fill[lattice.sites[index].row]++] = index;
    }
    return true;
}
