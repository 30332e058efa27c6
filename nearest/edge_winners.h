#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nearest/lattice_sites.h"
#include "nearest/line_envelope.h"

// The sites that are strictly nearest somewhere on the edges of the
// lattice's cells. Lines run between the cells: horizontal line l lies
// between cell rows l - 1 and l, vertical line l between cell columns l - 1
// and l; along a line, segment s is the edge of the cells in column (or row)
// s, from s - 0.5 to s + 0.5.
//
// Why edges suffice: every site's region, the points where it is strictly
// nearest, is star-shaped around the site (on the way to the site its lead
// over every other site only grows). So a site strictly nearest somewhere in
// a cell either stands in the cell or is strictly nearest somewhere on the
// cell's edges. Ties are left out: where two sites tie along a whole edge
// (the lattice's own cell borders), each is strictly nearest in its own cell.

// An edge's winners: kNoWinner, one site's index, or for several,
// kSeveralWinners - k where runs[k] is their count and the sites follow it.
constexpr std::int32_t kNoWinner = -1;
constexpr std::int32_t kSeveralWinners = -2;

// Pieces of an envelope shorter than this along an edge are left out: a
// site whose pieces on a cell's edges are all shorter leads the others
// nowhere in the cell by more than about twice this.
constexpr double kShortestWin = 1e-9;

// The sites grouped by their place along the lines (the column, for
// horizontal lines), each group ordered across them.
struct LineGroups {
    std::vector<std::uint32_t> start;  // group g: members start[g] to start[g + 1] - 1
    std::vector<std::int32_t> across;  // each member's place across the lines
    std::vector<std::int32_t> site;
};
LineGroups horizontalLineGroups(const LatticeSites& lattice);
LineGroups verticalLineGroups(const LatticeSites& lattice);
// Both, on two threads where there are.
void lineGroups(const LatticeSites& lattice, int threads, LineGroups& horizontal,
                LineGroups& vertical);

// Horizontal lines run between rows of cells, their groups the columns;
// vertical lines between columns, their groups the rows.
enum class LineDirection { Horizontal, Vertical };

// The envelopes of successive lines, each line's sites being every group's
// nearest member on either side of it. Where the sites are sparse, the
// groups another one is nearer than all along the line are left out first:
// most of them there, and each costs crossings. Where they crowd, runs of
// groups with a site in the cells on both sides of the line keep only their
// ends.
class LineSweep {
public:
    LineSweep(const LatticeSites& lattice, const LineGroups& groups, LineDirection direction);
    // Moves to a line at or after the last one.
    void moveTo(int line);
    const LineEnvelope& envelope() const { return lineEnvelope; }
    const std::vector<LineSite>& sites() const { return lineSites; }
    // Hands the line's envelope and sites over, for keeping while the sweep
    // moves on.
    void handOver(LineEnvelope& envelope, std::vector<LineSite>& sites);

private:
    // A group with members: where they begin and end, and its first member
    // at or after the line.
    struct Group {
        std::uint32_t begin;
        std::uint32_t end;
        std::uint32_t next;
        double along;
    };

    void leaveOutDominated();
    bool markTies(int line);
    bool tiedAt(double along) const {
        const auto place = static_cast<std::size_t>(static_cast<int>(along) - tiesStart);
        return place < 64 * tied.size() && ((tied[place >> 6] >> (place & 63)) & 1u);
    }

    const LineGroups& groups;
    bool dominatedLeftOut;
    // Where the cells are one unit wide: the cells' bits, a line of cells
    // across the groups every tieWords words, from the line of cells at
    // tieLinesStart to the one before tieLinesEnd; none otherwise.
    const std::uint64_t* tieBits = nullptr;
    std::size_t tieWords = 0;
    int tieLinesStart = 0;
    int tieLinesEnd = 0;
    // The groups with a site in the cells on both sides of the line, a bit
    // each from the one at tiesStart on.
    std::vector<std::uint64_t> tied;
    int tiesStart = 0;
    std::vector<Group> occupied;
    bool started = false;
    std::vector<double> nearestElse;
    std::vector<LineSite> lineSites;
    LineEnvelope lineEnvelope;
};

// One line's envelope and the sites it was built from.
struct KeptLine {
    LineEnvelope envelope;
    std::vector<LineSite> sites;
};

// The envelopes of lines that every site lies on one side of: `lines` in
// order away from the sites, the first at or before the first place across
// of every site (sitesAfter) or at or after the last one. Every site's region
// is star-shaped around it, and the way from a point of a line to a site
// crosses the lines between them within the lines' span; so a site strictly
// nearest somewhere on a line is so on every line nearer the sites too, and
// each line needs only the sites of the envelope of the line before it,
// where the sweep offers every group's: far fewer, away from the sites.
std::vector<KeptLine> outerLineEnvelopes(const LineGroups& groups, const std::vector<int>& lines,
                                         bool sitesAfter);

// Walks one line's envelope segment by segment, in order.
class SegmentWinners {
public:
    SegmentWinners(const LineEnvelope& envelope, const std::vector<LineSite>& sites)
        : envelope(envelope), sites(sites) {}
    // The winners of segments first to first + count - 1 together (after the
    // last ones asked for), runs of several appended to `runs`: every site
    // that wins one of them, and at most those whose pieces shorter than
    // kShortestWin straddle a border between two.
    std::int32_t at(int first, int count, std::vector<std::int32_t>& runs) {
        const double from = first - 0.5;
        const double to = first + count - 0.5;
        while (envelope.start[piece + 1] <= from + kShortestWin) {
            ++piece;
        }
        // Most segments lie within one piece.
        if (envelope.start[piece + 1] >= to - kShortestWin) {
            const std::int32_t site = sites[envelope.first[piece]].site;
            return site == kTiedPair ? kNoWinner : site;
        }
        return several(from, to, runs);
    }

private:
    std::int32_t several(double from, double to, std::vector<std::int32_t>& runs);

    const LineEnvelope& envelope;
    const std::vector<LineSite>& sites;
    std::size_t piece = 0;
};

// The winners of the vertical lines' edges that the cells read, a cell's
// height at a time: the lines between the inner cells at the inner cells'
// rows, and the lines between far cells at every far cells' row. Entries
// between two unit cells that each hold a site are never read and left unset.
struct VerticalWinners {
    int innerLeft = 0;
    int innerBottom = 0;
    int cellSize = 1;
    int farCellSize = 1;
    int innerLines = 0;
    int farLines = 0;
    std::unique_ptr<std::int32_t[]> inner;
    std::unique_ptr<std::int32_t[]> far;
    std::vector<std::int32_t> runs;

    // The edges on `line` of the cells whose bottom row of unit cells is `row`.
    std::int32_t innerAt(int line, int row) const {
        return inner[static_cast<std::size_t>(row - innerBottom) / cellSize * innerLines +
                     (line - innerLeft) / cellSize];
    }
    std::int32_t farAt(int line, int row) const {
        return far[static_cast<std::size_t>(row) / farCellSize * farLines + line / farCellSize];
    }
};
VerticalWinners verticalWinners(const LatticeSites& lattice, const LineGroups& groups, int threads);
