#pragma once

#include <cstdint>
#include <vector>

#include "nearest/edge_winners.h"
#include "nearest/lattice_sites.h"
#include "nearest/packed_cell.h"

// A site's facets that reach the rim band in one cell, and that cell's box.
struct RimFacets {
    std::uint32_t site;
    std::uint32_t facets;
    float left;
    float bottom;
    float right;
    float top;
};

// One thread's rows of far cells, with the unit cells' rows among them: the
// sites each cell lists, from the winners along its edges.
class LatticeRowWorker {
public:
    // The cells go to `innerCells` and `farCells`, sized for the lattice's
    // grid, row by row. `byRow` holds the sites row by row, as the vertical
    // lines group them: their columns in a row's order, read in turn.
    LatticeRowWorker(const LatticeSites& lattice, const LineGroups& horizontal,
                     const LineGroups& byRow, const VerticalWinners& vertical, double radius,
                     std::vector<PackedCell>& innerCells, std::vector<PackedCell>& farCells)
        : lattice(lattice),
          horizontal(horizontal),
          byRow(byRow),
          vertical(vertical),
          radius(radius),
          innerCells(innerCells),
          farCells(farCells) {}

    // Far rows firstFarRow to endFarRow - 1, with a sweep that has not yet
    // passed their first line.
    void run(int firstFarRow, int endFarRow, LineSweep& sweep);

    // Lists of more than two sites, and the cells that point into them.
    std::vector<PackedCandidate> more;
    std::vector<PackedCell*> severalAt;
    // The sites whose rims may show, cell by cell.
    std::vector<RimFacets> rim;
    // Whether a cell had more sites than a list holds.
    bool tooMany = false;

private:
    struct CellSquare;

    // The inner cells whose bottom row of unit cells is `row`.
    void innerRow(int row, SegmentWinners& bottom, SegmentWinners& top);

    // A row of unit cells, most of them holding a site where they are used.
    void unitRow(int row, SegmentWinners& bottom, SegmentWinners& top, PackedCell* cells);

    void farCell(int farColumn, int farRow, SegmentWinners& bottom, SegmentWinners& top);

    void addSite(std::int32_t site);

    // An edge's entry, its runs of several in `source`.
    void add(std::int32_t entry, const std::vector<std::int32_t>& source);

    // The winners of a cell's bottom and top edges (runs in `runs`) and of
    // its left and right ones (runs in the vertical winners').
    void addEdges(std::int32_t bottom, std::int32_t top, std::int32_t left, std::int32_t right);

    void finish(const CellSquare& square, PackedCell& cell);

    // Whether a cone reaches the cell: beyond kRimReach past the radius the
    // cell is left empty. Where the nearest distance can reach the rim
    // strips somewhere in the cell (it is at most any listed site's largest
    // over the corners, and at most the centre's plus the corners' reach),
    // every listed site may show there, through the facets that face the
    // cell: those are marked.
    bool withinReach(const CellSquare& square);

    void markRim(const CellSquare& square);

    const LatticeSites& lattice;
    const LineGroups& horizontal;
    const LineGroups& byRow;
    const VerticalWinners& vertical;
    double radius;
    std::vector<PackedCell>& innerCells;
    std::vector<PackedCell>& farCells;
    std::vector<std::int32_t> listed;
    std::vector<std::int32_t> runs;
    std::uint32_t nextSite[kLargestCellSize] = {};
};
