#include "nearest/lattice_sites.h"

#include <algorithm>
#include <cmath>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
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

// Marks an inner cell's entry as holding a copy; the colours take the low 24
// bits.
constexpr std::uint32_t kCopyHere = 1u << 24;

std::uint32_t colourOf(const Site& site) {
    return static_cast<std::uint32_t>(site.r | (site.g << 8) | (site.b << 16));
}

bool onLattice(float coordinate) {
    // Whole within the bound where truncating keeps it: cheaper than floor.
    return std::fabs(coordinate) <= kLargestCoordinate &&
           static_cast<float>(static_cast<std::int32_t>(coordinate)) == coordinate;
}

// A site's raster point: the cones stand at the positions rounded to 32-bit
// floats. False where it is not a whole point within the bound.
bool pointOf(const Site& site, std::int32_t& column, std::int32_t& row) {
    const float x = static_cast<float>(site.x);
    const float y = static_cast<float>(site.y);
    column = static_cast<std::int32_t>(x);
    row = static_cast<std::int32_t>(y);
    return onLattice(x) && onLattice(y);
}

// Where a column's sites begin in a list that runs column by column.
struct ColumnStart {
    const Site* site;
    std::size_t index;  // how many sites come before it
    std::int32_t column;
};

// Of the columns' starts, the one nearest the list's middle where a word of
// the rows' occupied bits begins (columns from minX on, 64 to a word), so
// that two threads can place the list's two parts without sharing a word;
// null where there is none.
const ColumnStart* splitOfList(const std::vector<ColumnStart>& starts, std::size_t count,
                               int minX) {
    const ColumnStart* split = nullptr;
    std::size_t bestGap = count;
    for (std::size_t at = 1; at < starts.size(); ++at) {
        const std::size_t index = starts[at].index;
        const std::size_t gap = index > count / 2 ? index - count / 2 : count / 2 - index;
        if ((starts[at].column - minX) >> 6 != (starts[at - 1].column - minX) >> 6 &&
            gap < bestGap) {
            split = &starts[at];
            bestGap = gap;
        }
    }
    return split;
}

// Places a site at its point: its cell's column and row, the counts of
// both (its row's in `rowCounts`), and its bits.
void placeSite(LatticeSites& lattice, std::int32_t column, std::int32_t row, std::uint32_t colour,
               LatticeSite& placed, std::uint32_t* rowCounts) {
    placed = {column - lattice.originX, row - lattice.originY, colour};
    ++lattice.columnStart[placed.column + 1];
    ++rowCounts[placed.row + 1];
    const std::size_t innerColumn = placed.column - lattice.innerLeft;
    const std::size_t innerRow = placed.row - lattice.innerBottom;
    const std::size_t bit = innerRow * lattice.rowWords() * 64 + innerColumn;
    lattice.occupiedBits[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    const std::size_t byColumn = innerColumn * lattice.columnWords() * 64 + innerRow;
    lattice.occupiedByColumn[byColumn >> 6] |= std::uint64_t{1} << (byColumn & 63);
}

// The sites are placed column by column, each column by row, in one part or
// two: the array's front part takes the lower columns, up to where a word of
// the rows' bits begins, so that no word has two writers, and counts its
// rows in `frontRows`. Each part is placed on a thread of its own.
struct Parts {
    bool two = false;
    std::size_t front = 0;  // the sites in the front part
    std::vector<std::uint32_t> frontRows;
};

// A list in the extractions' order: each point once, read from the end.
void placeListOrder(const Site* head, std::size_t count, const ColumnStart* split,
                    LatticeSites& lattice, Parts& parts) {
    reserveLarge(lattice.sites, count);
    lattice.sites.resize(count);
    const auto placePart = [&](const Site* from, const Site* end, std::size_t index,
                               std::uint32_t* rowCounts) {
        for (const Site* site = from; site != end; site = site->next) {
            std::int32_t column = 0;
            std::int32_t row = 0;
            pointOf(*site, column, row);
            placeSite(lattice, column, row, colourOf(*site), lattice.sites[--index], rowCounts);
        }
    };
    if (!split) {
        placePart(head, nullptr, count, lattice.rowStart.data());
        return;
    }
    parts.two = true;
    parts.front = count - split->index;
    parts.frontRows.assign(lattice.rows + 1, 0);
    onThreads(2, [&](int part) {
        if (part == 0) {
            placePart(split->site, nullptr, parts.front, parts.frontRows.data());
        } else {
            placePart(head, split->site, count, lattice.rowStart.data());
        }
    });
}

// A list in no order: each inner cell's last copy, the one nearest the
// list's end, over the inner part column by column. The extractions list
// their sites in that order, so the writes run along the array.
void placeLastCopies(const Site* head, int minX, int minY, std::size_t innerColumns,
                     std::size_t innerRows, LatticeSites& lattice) {
    std::vector<std::uint32_t>& lastCopy = lattice.lastCopyAt;
    lastCopy.clear();
    reserveLarge(lastCopy, innerColumns * innerRows);
    lastCopy.assign(innerColumns * innerRows, 0);
    std::size_t distinct = 0;
    for (const Site* site = head; site; site = site->next) {
        std::int32_t column = 0;
        std::int32_t row = 0;
        pointOf(*site, column, row);
        std::uint32_t& last =
            lastCopy[static_cast<std::size_t>(column - minX) * innerRows + row - minY];
        distinct += last == 0;
        last = colourOf(*site) | kCopyHere;
    }
    reserveLarge(lattice.sites, distinct);
    lattice.sites.resize(distinct);
    std::size_t index = 0;
    const std::uint32_t* last = lastCopy.data();
    for (std::size_t column = 0; column < innerColumns; ++column) {
        for (std::size_t row = 0; row < innerRows; ++row, ++last) {
            if (*last != 0) {
                placeSite(lattice, static_cast<std::int32_t>(minX + column),
                          static_cast<std::int32_t>(minY + row), *last & ~kCopyHere,
                          lattice.sites[index++], lattice.rowStart.data());
            }
        }
    }
}

// The sites again row by row, each row by column: the front part's sites of
// a row before those of the rest.
void listByRow(const Parts& parts, LatticeSites& lattice) {
    lattice.byRow.clear();
    reserveLarge(lattice.byRow, lattice.sites.size());
    lattice.byRow.resize(lattice.sites.size());
    const auto listPart = [&](std::size_t from, std::size_t end, bool afterFront) {
        std::vector<std::uint32_t> fill(lattice.rowStart.begin(), lattice.rowStart.end() - 1);
        if (afterFront) {
            for (int row = 0; row < lattice.rows; ++row) {
                fill[row] += parts.frontRows[row + 1];
            }
        }
        for (std::size_t index = from; index < end; ++index) {
            lattice.byRow[fill[lattice.sites[index].row]++] = static_cast<std::uint32_t>(index);
        }
    };
    if (parts.two) {
        onThreads(2, [&](int part) {
            part == 0 ? listPart(0, parts.front, false)
                      : listPart(parts.front, lattice.sites.size(), true);
        });
    } else {
        listPart(0, lattice.sites.size(), false);
    }
}

}  // namespace

bool collectLatticeSites(const Site* head, int radius, int threads, LatticeSites& lattice) {
    // The list is walked twice, first for the sites' box, then to place
    // them: a copy of it to place from would be fresh memory whenever the
    // list grows, and that costs more than the second walk.
    std::size_t count = 0;
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    // Whether every point comes before the one listed ahead of it, column by
    // column, each column by row: so the extractions leave their lists.
    bool backwards = true;
    std::int32_t aheadColumn = 0;
    std::int32_t aheadRow = 0;
    std::vector<ColumnStart> columnStarts;
    for (const Site* site = head; site; site = site->next, ++count) {
        std::int32_t column = 0;
        std::int32_t row = 0;
        if (!pointOf(*site, column, row)) {
            return false;
        }
        if (count == 0) {
            minX = maxX = column;
            minY = maxY = row;
        } else {
            backwards =
                backwards && (column < aheadColumn || (column == aheadColumn && row < aheadRow));
        }
        if (backwards && (count == 0 || column != aheadColumn) &&
            columnStarts.size() < kMostLatticeColumns) {
            columnStarts.push_back({site, count, column});
        }
        minX = std::min(minX, column);
        maxX = std::max(maxX, column);
        minY = std::min(minY, row);
        maxY = std::max(maxY, row);
        aheadColumn = column;
        aheadRow = row;
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
    if (count == 0 || columns >= kMostLatticeColumns || rows >= kMostLatticeColumns ||
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
    lattice.occupiedBits.assign(lattice.rowWords() * innerRows, 0);
    lattice.occupiedByColumn.assign(lattice.columnWords() * innerColumns, 0);
    lattice.columnStart.assign(lattice.columns + 1, 0);
    lattice.rowStart.assign(lattice.rows + 1, 0);
    lattice.sites.clear();
    Parts parts;
    if (backwards) {
        placeListOrder(head, count, threads > 1 ? splitOfList(columnStarts, count, minX) : nullptr,
                       lattice, parts);
    } else {
        placeLastCopies(head, minX, minY, static_cast<std::size_t>(innerColumns),
                        static_cast<std::size_t>(innerRows), lattice);
    }
    for (int column = 0; column < lattice.columns; ++column) {
        lattice.columnStart[column + 1] += lattice.columnStart[column];
    }
    for (int row = 0; row < lattice.rows; ++row) {
        if (parts.two) {
            lattice.rowStart[row + 1] += parts.frontRows[row + 1];
        }
        lattice.rowStart[row + 1] += lattice.rowStart[row];
    }
    const double share =
        static_cast<double>(lattice.sites.size()) / static_cast<double>(innerCells);
    lattice.cellSize = share >= kUnitCellShare     ? 1
                       : share >= kDoubleCellShare ? 2
                                                   : kLargestCellSize;
    listByRow(parts, lattice);
    return true;
}
