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
// unit cells, and for cells of two. Unit cells pay where nearly every one
// holds a site and needs no list; where a quarter or more are empty, the
// lists of four times fewer cells of two cost less.
constexpr double kUnitCellShare = 3.0 / 4.0;
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
    // Whether every point comes before the one listed ahead of it, column by
    // column, each column by row: so the extractions leave their lists.
    bool backwards = true;
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
        } else {
            const LatticeSite& ahead = listed.back();
            backwards = backwards && (point.column < ahead.column ||
                                      (point.column == ahead.column && point.row < ahead.row));
        }
        minX = std::min(minX, point.column);
        maxX = std::max(maxX, point.column);
        minY = std::min(minY, point.row);
        maxY = std::max(maxY, point.row);
        listed.push_back(point);
    }
    const auto farCells = [](long long cells) {
        constexpr int kAlign = kFarCellScale * kLargestCellSize;
        static_assert(kAlign % kSmallestFarCell == 0, "every far cell size divides the grid");
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

    const std::size_t innerCells = static_cast<std::size_t>(innerColumns * innerRows);
    lattice.sites.clear();
    reserveLarge(lattice.sites, listed.size());
    lattice.occupiedBits.assign(lattice.rowWords() * innerRows, 0);
    lattice.occupiedByColumn.assign(lattice.columnWords() * innerColumns, 0);
    lattice.columnStart.assign(lattice.columns + 1, 0);
    lattice.rowStart.assign(lattice.rows + 1, 0);
    // Sites are placed column by column, each column by row; the starts are
    // counted here and summed up below.
    const auto place = [&](LatticeSite point) {
        point.column -= lattice.originX;
        point.row -= lattice.originY;
        lattice.sites.push_back(point);
        ++lattice.columnStart[point.column + 1];
        ++lattice.rowStart[point.row + 1];
        const std::size_t column = point.column - lattice.innerLeft;
        const std::size_t row = point.row - lattice.innerBottom;
        const std::size_t bit = row * lattice.rowWords() * 64 + column;
        lattice.occupiedBits[bit >> 6] |= std::uint64_t{1} << (bit & 63);
        const std::size_t byColumn = column * lattice.columnWords() * 64 + row;
        lattice.occupiedByColumn[byColumn >> 6] |= std::uint64_t{1} << (byColumn & 63);
    };
    if (backwards) {
        // Each point once, and in order read from the end.
        for (auto point = listed.rbegin(); point != listed.rend(); ++point) {
            place(*point);
        }
    } else {
        // Over the inner part, column by column: the extractions list their
        // sites in that order, so the writes run along the array. The last
        // write of a cell is the copy nearest the list's end.
        std::vector<std::int32_t> owner;
        reserveLarge(owner, innerCells);
        owner.resize(innerCells);
        std::memset(owner.data(), 0xFF, owner.size() * sizeof(std::int32_t));
        for (std::size_t index = 0; index < listed.size(); ++index) {
            const LatticeSite& point = listed[index];
            owner[static_cast<std::size_t>(point.column - minX) * innerRows + point.row - minY] =
                static_cast<std::int32_t>(index);
        }
        for (const std::int32_t index : owner) {
            if (index >= 0) {
                place(listed[index]);
            }
        }
    }
    for (int column = 0; column < lattice.columns; ++column) {
        lattice.columnStart[column + 1] += lattice.columnStart[column];
    }
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
