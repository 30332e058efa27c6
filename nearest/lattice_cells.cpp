#include "nearest/lattice_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "nearest/candidate_grid.h"
#include "nearest/edge_winners.h"
#include "nearest/facet_distance.h"
#include "nearest/lattice_sites.h"
#include "nearest/rim_facets.h"

namespace {

constexpr std::uint32_t kMostCandidates = 255;
// The threads take the far rows over the sites' box this many at a time: few
// enough that they end together, enough that taking a share costs little.
constexpr int kFarRowsPerShare = 8;

PackedCandidate packed(const LatticeSite& site) {
    return {static_cast<std::uint32_t>(site.column) | (static_cast<std::uint32_t>(site.row) << 16),
            site.colour};
}

// A cell: its centre and half its width, in unit cells.
struct CellSquare {
    double x;
    double y;
    double half;
    Square whole() const { return {x - half, y - half, 2.0 * half}; }
};

// The facets of `site`'s cone that face the cell: all of them where the
// site stands within a cell's width of it.
std::uint32_t facetsFacing(const LatticeSite& site, const CellSquare& cell) {
    const double dx = cell.x - site.column;
    const double dy = cell.y - site.row;
    if (std::fabs(dx) < 3.0 * cell.half && std::fabs(dy) < 3.0 * cell.half) {
        return 0xFFFFFFFFu;
    }
    return facetsTowards(site.column, site.row, cell.whole());
}

// A site's facets that reach the rim band in one cell, and that cell's box.
struct RimFacets {
    std::uint32_t site;
    std::uint32_t facets;
    float left;
    float bottom;
    float right;
    float top;
};

using SweptLine = KeptLine;

// One thread's rows of far cells, with the unit cells' rows among them.
class CellWorker {
public:
    CellWorker(const LatticeSites& lattice, const LineGroups& horizontal,
               const VerticalWinners& vertical, double radius, LatticeCandidates& candidates)
        : lattice(lattice),
          horizontal(horizontal),
          vertical(vertical),
          radius(radius),
          candidates(candidates) {}

    // Far rows firstFarRow to endFarRow - 1, with a sweep that has not yet
    // passed their first line.
    void run(int firstFarRow, int endFarRow, LineSweep& sweep) {
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
            std::fill_n(
                candidates.farCells.begin() + static_cast<std::size_t>(farRow) * farColumns +
                    lattice.innerLeft / farSize,
                (lattice.innerRight - lattice.innerLeft) / farSize, PackedCell({0, 0}, {0, 0}));
            for (int step = 0; step < steps; ++step) {
                SegmentWinners innerBottom(swept[step].envelope, swept[step].sites);
                SegmentWinners innerTop(swept[step + 1].envelope, swept[step + 1].sites);
                innerRow(row + step * size, innerBottom, innerTop);
            }
            for (int farColumn = lattice.innerRight / farSize; farColumn < farColumns;
                 ++farColumn) {
                farCell(farColumn, farRow, bottom, top);
            }
            std::swap(swept[0], swept[steps]);
        }
    }

    std::vector<PackedCandidate> more;
    std::vector<PackedCell*> severalAt;
    std::vector<RimFacets> rim;
    bool tooMany = false;

private:
    // The inner cells whose bottom row of unit cells is `row`.
    void innerRow(int row, SegmentWinners& bottom, SegmentWinners& top) {
        const int size = lattice.cellSize;
        PackedCell* cells = candidates.innerCells.data() +
                            static_cast<std::size_t>(row - lattice.innerBottom) / size *
                                ((lattice.innerRight - lattice.innerLeft) / size);
        if (size == 1) {
            unitRow(row, bottom, top, cells);
            return;
        }
        // Each unit row's next site, for the sites standing in the cells.
        for (int step = 0; step < size; ++step) {
            nextSite[step] = lattice.rowStart[row + step];
        }
        for (int column = lattice.innerLeft; column < lattice.innerRight; column += size) {
            listed.clear();
            for (int step = 0; step < size; ++step) {
                std::uint32_t& next = nextSite[step];
                while (next < lattice.rowStart[row + step + 1] &&
                       lattice.sites[lattice.byRow[next]].column < column + size) {
                    listed.push_back(static_cast<std::int32_t>(lattice.byRow[next++]));
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
    void unitRow(int row, SegmentWinners& bottom, SegmentWinners& top, PackedCell* cells) {
        std::uint32_t next = lattice.rowStart[row];
        const std::uint32_t end = lattice.rowStart[row + 1];
        for (int column = lattice.innerLeft; column < lattice.innerRight; ++column) {
            PackedCell& cell = cells[column - lattice.innerLeft];
            // No other site is strictly nearer anywhere in the unit cell of
            // a site at its centre: the lattice's bisectors run along the
            // cells' borders or further out. Its cone reaches all of it.
            if (next < end && lattice.sites[lattice.byRow[next]].column == column) {
                cell = PackedCell(packed(lattice.sites[lattice.byRow[next++]]), {0, 0});
                cell.first.colour |= 1u << 24;
                continue;
            }
            listed.clear();
            addEdges(bottom.at(column, 1, runs), top.at(column, 1, runs),
                     vertical.innerAt(column, row), vertical.innerAt(column + 1, row));
            finish({static_cast<double>(column), static_cast<double>(row), 0.5}, cell);
        }
    }

    void farCell(int farColumn, int farRow, SegmentWinners& bottom, SegmentWinners& top) {
        const int farSize = lattice.farCellSize();
        const int column = farSize * farColumn;
        const int row = farSize * farRow;
        listed.clear();
        addEdges(bottom.at(column, farSize, runs), top.at(column, farSize, runs),
                 vertical.farAt(column, row), vertical.farAt(column + farSize, row));
        const double half = 0.5 * farSize;
        finish({column + half - 0.5, row + half - 0.5, half},
               candidates.farCells[static_cast<std::size_t>(farRow) * (lattice.columns / farSize) +
                                   farColumn]);
    }

    void addSite(std::int32_t site) {
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
    void add(std::int32_t entry, const std::vector<std::int32_t>& source) {
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
    void addEdges(std::int32_t bottom, std::int32_t top, std::int32_t left, std::int32_t right) {
        add(bottom, runs);
        add(top, runs);
        add(left, vertical.runs);
        add(right, vertical.runs);
    }

    void finish(const CellSquare& square, PackedCell& cell) {
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
    bool withinReach(const CellSquare& square) {
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
            nearestAtCentre = std::min(nearestAtCentre,
                                       facetDistance(square.x - site.column, square.y - site.row));
        }
        if (nearestAtCentre - cornerReach > radius + kRimReach) {
            return false;
        }
        if (nearestAtCentre + cornerReach >= radius - kRimStrip) {
            markRim(square);
        }
        return true;
    }

    void markRim(const CellSquare& square) {
        double nearestAtMost = std::numeric_limits<double>::infinity();
        for (const std::int32_t index : listed) {
            const LatticeSite& site = lattice.sites[index];
            nearestAtMost =
                std::min(nearestAtMost, farthestCorner(site.column, site.row, square.whole()));
        }
        if (nearestAtMost >= radius - kRimStrip) {
            for (const std::int32_t index : listed) {
                rim.push_back({static_cast<std::uint32_t>(index),
                               facetsFacing(lattice.sites[index], square),
                               static_cast<float>(square.x - square.half),
                               static_cast<float>(square.y - square.half),
                               static_cast<float>(square.x + square.half),
                               static_cast<float>(square.y + square.half)});
            }
        }
    }

    const LatticeSites& lattice;
    const LineGroups& horizontal;
    const VerticalWinners& vertical;
    double radius;
    LatticeCandidates& candidates;
    std::vector<std::int32_t> listed;
    std::vector<std::int32_t> runs;
    std::uint32_t nextSite[kLargestCellSize] = {};
};

// The sites' points by x, then y: the order in which the lattice lists them,
// column by column, each column by row.
void listPoints(const LatticeSites& lattice, int threads, std::vector<MarkerPoint>& points) {
    points.clear();
    reserveLarge(points, lattice.sites.size());
    points.resize(lattice.sites.size());
    onThreads(threads, [&](int thread) {
        const std::size_t end = lattice.sites.size() * (thread + 1) / threads;
        for (std::size_t index = lattice.sites.size() * thread / threads; index < end; ++index) {
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
    std::vector<CellWorker> workers(shareCount,
                                    CellWorker(lattice, horizontal, vertical, radius, candidates));
    std::vector<LineSweep> sweeps(threads,
                                  LineSweep(lattice, horizontal, LineDirection::Horizontal));
    onTasks(threads, shareCount, [&](int thread, int task) {
        const int share = task < 2 ? task * (shareCount - 1) : task - 1;
        workers[share].run(shares[share].first, shares[share].second, sweeps[thread]);
    });
    candidates.more.clear();
    std::vector<RimFacets> rim;
    for (const CellWorker& worker : workers) {
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
