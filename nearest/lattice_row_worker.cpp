#include "nearest/lattice_row_worker.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nearest/candidate_grid.h"
#include "nearest/facet_distance.h"
#include "nearest/rim_facets.h"

// A cell: its centre and half its width, in unit cells.
struct LatticeRowWorker::CellSquare {
    double x;
    double y;
    double half;
    Square whole() const { return {x - half, y - half, 2.0 * half}; }
};

namespace {

constexpr std::uint32_t kMostCandidates = 255;

using SweptLine = KeptLine;

PackedCandidate packed(const LatticeSite& site) {
    return {static_cast<std::uint32_t>(site.column) | (static_cast<std::uint32_t>(site.row) << 16),
            site.colour};
}

// The facets of `site`'s cone that face the cell, whose centre is (x, y) and
// half width `half`: all of them where the site stands within a cell's width
// of it.
std::uint32_t facetsFacing(const LatticeSite& site, double x, double y, double half) {
    const double dx = x - site.column;
    const double dy = y - site.row;
    if (std::fabs(dx) < 3.0 * half && std::fabs(dy) < 3.0 * half) {
        return 0xFFFFFFFFu;
    }
    return facetsTowards(site.column, site.row, {x - half, y - half, 2.0 * half});
}

}  // namespace

// Far rows firstFarRow to endFarRow - 1, with a sweep that has not yet
// passed their first line.
void LatticeRowWorker::run(int firstFarRow, int endFarRow, LineSweep& sweep) {
    const int size = lattice.cellSize;
    const int farSize = lattice.farCellSize();
    // The lines below and above the sites' box, from its edges outward.
    std::vector<int> belowLines;
    std::vector<int> aboveLines;
    for (int line = lattice.innerBottom; line >= farSize * firstFarRow; line -= farSize) {
        belowLines.push_back(line);
    }
    for (int line = lattice.innerTop; line <= farSize * endFarRow; line += farSize) {
        aboveLines.push_back(line);
    }
    std::vector<KeptLine> below = outerLineEnvelopes(horizontal, belowLines, true);
    std::vector<KeptLine> above = outerLineEnvelopes(horizontal, aboveLines, false);
    const auto take = [&](int line, SweptLine& into) {
        if (line <= lattice.innerBottom) {
            std::swap(into, below[(lattice.innerBottom - line) / farSize]);
        } else if (line >= lattice.innerTop) {
            std::swap(into, above[(line - lattice.innerTop) / farSize]);
        } else {
            sweep.moveTo(line);
            sweep.handOver(into.envelope, into.sites);
        }
    };
    // A far row's lines, a cell's height apart: its bottom and top,
    // and over the sites' box those between its rows of inner cells.
    const int steps = farSize / size;
    std::vector<SweptLine> swept(steps + 1);
    take(farSize * firstFarRow, swept[0]);
    const int farColumns = lattice.columns / farSize;
    for (int farRow = firstFarRow; farRow < endFarRow; ++farRow) {
        const int row = farSize * farRow;
        const bool innerRows = row >= lattice.innerBottom && row < lattice.innerTop;
        for (int step = 1; innerRows && step < steps; ++step) {
            take(row + step * size, swept[step]);
        }
        take(row + farSize, swept[steps]);
        SegmentWinners bottom(swept[0].envelope, swept[0].sites);
        SegmentWinners top(swept[steps].envelope, swept[steps].sites);
        const int farEnd = innerRows ? lattice.innerLeft / farSize : farColumns;
        for (int farColumn = 0; farColumn < farEnd; ++farColumn) {
            farCell(farColumn, farRow, bottom, top);
        }
        if (!innerRows) {
            std::swap(swept[0], swept[steps]);
            continue;
        }
        // The far cells over the inner part are never read.
        std::fill_n(farCells.begin() + static_cast<std::size_t>(farRow) * farColumns +
                        lattice.innerLeft / farSize,
                    (lattice.innerRight - lattice.innerLeft) / farSize, PackedCell({0, 0}, {0, 0}));
        for (int step = 0; step < steps; ++step) {
            SegmentWinners innerBottom(swept[step].envelope, swept[step].sites);
            SegmentWinners innerTop(swept[step + 1].envelope, swept[step + 1].sites);
            innerRow(row + step * size, innerBottom, innerTop);
        }
        for (int farColumn = lattice.innerRight / farSize; farColumn < farColumns; ++farColumn) {
            farCell(farColumn, farRow, bottom, top);
        }
        std::swap(swept[0], swept[steps]);
    }
}

// The inner cells whose bottom row of unit cells is `row`.
void LatticeRowWorker::innerRow(int row, SegmentWinners& bottom, SegmentWinners& top) {
    const int size = lattice.cellSize;
    PackedCell* cells = innerCells.data() + static_cast<std::size_t>(row - lattice.innerBottom) /
                                                size *
                                                ((lattice.innerRight - lattice.innerLeft) / size);
    if (size == 1) {
        unitRow(row, bottom, top, cells);
        return;
    }
    // Each unit row's next site, for the sites standing in the cells.
    for (int step = 0; step < size; ++step) {
        nextSite[step] = lattice.rowStart[row + step];
    }
    const std::int32_t* columns = byRow.across.data();
    for (int column = lattice.innerLeft; column < lattice.innerRight; column += size) {
        listed.clear();
        for (int step = 0; step < size; ++step) {
            std::uint32_t& next = nextSite[step];
            while (next < lattice.rowStart[row + step + 1] && columns[next] < column + size) {
                listed.push_back(byRow.site[next++]);
            }
        }
        addEdges(bottom.at(column, size, runs), top.at(column, size, runs),
                 vertical.innerAt(column, row), vertical.innerAt(column + size, row));
        const double half = 0.5 * size;
        finish({column + half - 0.5, row + half - 0.5, half},
               cells[(column - lattice.innerLeft) / size]);
    }
}

// A row of unit cells, most of them holding a site where they are used.
void LatticeRowWorker::unitRow(int row, SegmentWinners& bottom, SegmentWinners& top,
                               PackedCell* cells) {
    std::uint32_t next = lattice.rowStart[row];
    const std::uint32_t end = lattice.rowStart[row + 1];
    for (int column = lattice.innerLeft; column < lattice.innerRight; ++column) {
        PackedCell& cell = cells[column - lattice.innerLeft];
        // No other site is strictly nearer anywhere in the unit cell of
        // a site at its centre: the lattice's bisectors run along the
        // cells' borders or further out. Its cone reaches all of it.
        if (next < end && byRow.across[next] == column) {
            cell = PackedCell(packed(lattice.sites[byRow.site[next++]]), {0, 0});
            cell.first.colour |= 1u << 24;
            continue;
        }
        listed.clear();
        addEdges(bottom.at(column, 1, runs), top.at(column, 1, runs), vertical.innerAt(column, row),
                 vertical.innerAt(column + 1, row));
        finish({static_cast<double>(column), static_cast<double>(row), 0.5}, cell);
    }
}

void LatticeRowWorker::farCell(int farColumn, int farRow, SegmentWinners& bottom,
                               SegmentWinners& top) {
    const int farSize = lattice.farCellSize();
    const int column = farSize * farColumn;
    const int row = farSize * farRow;
    listed.clear();
    addEdges(bottom.at(column, farSize, runs), top.at(column, farSize, runs),
             vertical.farAt(column, row), vertical.farAt(column + farSize, row));
    const double half = 0.5 * farSize;
    finish({column + half - 0.5, row + half - 0.5, half},
           farCells[static_cast<std::size_t>(farRow) * (lattice.columns / farSize) + farColumn]);
}

void LatticeRowWorker::addSite(std::int32_t site) {
    // Lists are short, and neighbouring edges mostly repeat the sites
    // just added: a plain walk from the back beats a general search.
    for (std::size_t index = listed.size(); index-- > 0;) {
        if (listed[index] == site) {
            return;
        }
    }
    listed.push_back(site);
}

// An edge's entry, its runs of several in `source`.
void LatticeRowWorker::add(std::int32_t entry, const std::vector<std::int32_t>& source) {
    if (entry >= 0) {
        addSite(entry);
    } else if (entry <= kSeveralWinners) {
        const std::int32_t* run = source.data() + (kSeveralWinners - entry);
        for (std::int32_t index = 1; index <= run[0]; ++index) {
            addSite(run[index]);
        }
    }
}

// The winners of a cell's bottom and top edges (runs in `runs`) and of
// its left and right ones (runs in the vertical winners').
void LatticeRowWorker::addEdges(std::int32_t bottom, std::int32_t top, std::int32_t left,
                                std::int32_t right) {
    add(bottom, runs);
    add(top, runs);
    add(left, vertical.runs);
    add(right, vertical.runs);
}

void LatticeRowWorker::finish(const CellSquare& square, PackedCell& cell) {
    runs.clear();
    if (listed.empty() || !withinReach(square)) {
        cell = PackedCell({0, 0}, {0, 0});
        return;
    }
    if (listed.size() > kMostCandidates) {
        tooMany = true;
        listed.resize(kMostCandidates);
    }
    const auto count = static_cast<std::uint32_t>(listed.size());
    if (count <= 2) {
        cell.first = packed(lattice.sites[listed[0]]);
        cell.second = count == 2 ? packed(lattice.sites[listed[1]]) : PackedCandidate{0, 0};
    } else {
        cell.first = {static_cast<std::uint32_t>(more.size()), 0};
        cell.second = {0, 0};
        severalAt.push_back(&cell);
        for (const std::int32_t index : listed) {
            more.push_back(packed(lattice.sites[index]));
        }
    }
    cell.first.colour |= count << 24;
}

// Whether a cone reaches the cell: beyond kRimReach past the radius the
// cell is left empty. Where the nearest distance can reach the rim
// strips somewhere in the cell (it is at most any listed site's largest
// over the corners, and at most the centre's plus the corners' reach),
// every listed site may show there, through the facets that face the
// cell: those are marked.
bool LatticeRowWorker::withinReach(const CellSquare& square) {
    // Most cells lie well inside the radius of their first site: the
    // 32-gon distance is at most the Euclidean one over cos(pi / 32).
    const LatticeSite& first = lattice.sites[listed.front()];
    const double dx = std::fabs(first.column - square.x) + square.half;
    const double dy = std::fabs(first.row - square.y) + square.half;
    const double within = (radius - kRimStrip) * kFacetApothem;
    if (dx * dx + dy * dy < within * within) {
        return true;
    }
    const double cornerReach = facetDistance(square.half, square.half);
    double nearestAtCentre = std::numeric_limits<double>::infinity();
    for (const std::int32_t index : listed) {
        const LatticeSite& site = lattice.sites[index];
        nearestAtCentre =
            std::min(nearestAtCentre, facetDistance(square.x - site.column, square.y - site.row));
    }
    if (nearestAtCentre - cornerReach > radius + kRimReach) {
        return false;
    }
    if (nearestAtCentre + cornerReach >= radius - kRimStrip) {
        markRim(square);
    }
    return true;
}

void LatticeRowWorker::markRim(const CellSquare& square) {
    double nearestAtMost = std::numeric_limits<double>::infinity();
    for (const std::int32_t index : listed) {
        const LatticeSite& site = lattice.sites[index];
        nearestAtMost =
            std::min(nearestAtMost, farthestCorner(site.column, site.row, square.whole()));
    }
    if (nearestAtMost >= radius - kRimStrip) {
        for (const std::int32_t index : listed) {
            rim.push_back({static_cast<std::uint32_t>(index),
                           facetsFacing(lattice.sites[index], square.x, square.y, square.half),
                           static_cast<float>(square.x - square.half),
                           static_cast<float>(square.y - square.half),
                           static_cast<float>(square.x + square.half),
                           static_cast<float>(square.y + square.half)});
        }
    }
}
