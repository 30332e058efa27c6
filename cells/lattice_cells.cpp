#include "cells/lattice_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/candidate_grid.h"
#include "cells/edge_winners.h"
#include "cells/facet_distance.h"
#include "cells/large_arrays.h"
#include "cells/lattice_sites.h"
#include "cells/thread_sharing.h"

namespace {

constexpr std::uint32_t kMostCandidates = 255;

std::uint32_t packedPlace(const LatticeSite& site) {
    return static_cast<std::uint32_t>(site.column) | (static_cast<std::uint32_t>(site.row) << 16);
}

PackedCandidate packed(const LatticeSite& site, std::uint32_t count) {
    return {packedPlace(site), site.colour | (count << 24)};
}

// The facets of `site`'s cone that face the unit cell centred on (column,
// row): all of them where the site stands within a cell of it.
std::uint32_t facetsFacing(const LatticeSite& site, int column, int row) {
    const double dx = column - site.column;
    const double dy = row - site.row;
    if (std::fabs(dx) < 1.5 && std::fabs(dy) < 1.5) {
        return 0xFFFFFFFFu;
    }
    const double middle = std::atan2(dy, dx);
    double low = 0.0;
    double high = 0.0;
    for (int corner = 0; corner < 4; ++corner) {
        double turn = std::atan2(dy + ((corner >> 1) - 0.5), dx + ((corner & 1) - 0.5)) - middle;
        turn -= 2.0 * kPi * std::round(turn / (2.0 * kPi));
        low = std::min(low, turn);
        high = std::max(high, turn);
    }
    std::uint32_t facets = 0;
    const int first = static_cast<int>(std::floor((middle + low) / kFacetAngle)) - 1;
    const int last = static_cast<int>(std::floor((middle + high) / kFacetAngle)) + 1;
    for (int facet = first; facet <= last; ++facet) {
        facets |= 1u << (((facet % kConeSlices) + kConeSlices) % kConeSlices);
    }
    return facets;
}

struct RimFacets {
    std::uint32_t site;
    std::uint32_t facets;
};

// One line's winners, segment by segment.
struct LineWinners {
    std::vector<std::int32_t> entries;
    std::vector<std::int32_t> runs;
};

// One thread's rows of cells.
class CellWorker {
public:
    CellWorker(const LatticeSites& lattice, const LineGroups& horizontal,
               const VerticalWinners& vertical, double radius, LatticeCandidates& candidates)
        : lattice(lattice),
          horizontal(horizontal),
          vertical(vertical),
          radius(radius),
          candidates(candidates) {}

    void run(int firstRow, int endRow) {
        LineSweep sweep(horizontal);
        LineWinners below;
        LineWinners above;
        lineWinners(sweep, firstRow, below);
        for (int row = firstRow; row < endRow; ++row) {
            lineWinners(sweep, row + 1, above);
            std::uint32_t nextOccupied = lattice.rowStart[row];
            PackedCandidate* cells =
                candidates.cells.data() + static_cast<std::size_t>(row) * lattice.columns;
            for (int column = 0; column < lattice.columns; ++column) {
                listed.clear();
                if (nextOccupied < lattice.rowStart[row + 1] &&
                    lattice.sites[lattice.byRow[nextOccupied]].column == column) {
                    // No other site is strictly nearer anywhere in the cell
                    // of a site at its centre: the lattice's bisectors run
                    // along the cells' borders or further out.
                    listed.push_back(static_cast<std::int32_t>(lattice.byRow[nextOccupied++]));
                } else {
                    add(below.entries[column], below.runs);
                    add(above.entries[column], above.runs);
                    add(vertical.at(column, row), vertical.runs);
                    add(vertical.at(column + 1, row), vertical.runs);
                }
                cells[column] = withinReach(column, row) ? pack() : PackedCandidate{0, 0};
            }
            std::swap(below, above);
        }
    }

    std::vector<PackedCandidate> more;
    std::vector<RimFacets> rim;
    bool tooMany = false;

private:
    void lineWinners(LineSweep& sweep, int line, LineWinners& winners) {
        sweep.moveTo(line);
        winners.entries.resize(lattice.columns);
        winners.runs.clear();
        SegmentWinners walk(sweep.envelope(), sweep.sites());
        for (int column = 0; column < lattice.columns; ++column) {
            winners.entries[column] = walk.at(column, winners.runs);
        }
    }

    void addSite(std::int32_t site) {
        if (std::find(listed.begin(), listed.end(), site) == listed.end()) {
            listed.push_back(site);
        }
    }

    void add(std::int32_t entry, const std::vector<std::int32_t>& runs) {
        if (entry >= 0) {
            addSite(entry);
        } else if (entry <= kSeveralWinners) {
            const std::int32_t* run = runs.data() + (kSeveralWinners - entry);
            for (std::int32_t index = 1; index <= run[0]; ++index) {
                addSite(run[index]);
            }
        }
    }

    PackedCandidate pack() {
        if (listed.size() == 1) {
            return packed(lattice.sites[listed.front()], 1);
        }
        if (listed.size() > kMostCandidates) {
            tooMany = true;
        }
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(listed.size(), kMostCandidates));
        const PackedCandidate cell{static_cast<std::uint32_t>(more.size()), count << 24};
        for (std::uint32_t index = 0; index < count; ++index) {
            more.push_back(packed(lattice.sites[listed[index]], count));
        }
        return cell;
    }

    // Whether a cone reaches the cell: beyond kRimReach past the radius the
    // cell is left empty. Where the nearest distance can reach the rim
    // strips somewhere in the cell (it is at most any listed site's largest
    // over the corners), every listed site may show there, through the
    // facets that face the cell: those are marked.
    bool withinReach(int column, int row) {
        // Most cells lie well inside the radius of their first site: the
        // 32-gon distance is at most the Euclidean one over cos(pi / 32).
        const LatticeSite& first = lattice.sites[listed.front()];
        const double dx = std::abs(first.column - column) + 0.5;
        const double dy = std::abs(first.row - row) + 0.5;
        const double within = (radius - kRimStrip) * kFacetApothem;
        if (dx * dx + dy * dy < within * within) {
            return true;
        }
        // The cell's corners lie this far from its centre in 32-gon distance.
        const double cornerReach = facetDistance(0.5, 0.5);
        double nearestAtMost = std::numeric_limits<double>::infinity();
        double nearestAtLeast = std::numeric_limits<double>::infinity();
        for (const std::int32_t index : listed) {
            const LatticeSite& site = lattice.sites[index];
            double farthest = 0.0;
            for (int corner = 0; corner < 4; ++corner) {
                farthest =
                    std::max(farthest, facetDistance(column + ((corner & 1) - 0.5) - site.column,
                                                     row + ((corner >> 1) - 0.5) - site.row));
            }
            nearestAtMost = std::min(nearestAtMost, farthest);
            nearestAtLeast = std::min(
                nearestAtLeast, facetDistance(column - site.column, row - site.row) - cornerReach);
        }
        if (nearestAtLeast > radius + kRimReach) {
            return false;
        }
        if (nearestAtMost >= radius - kRimStrip) {
            for (const std::int32_t index : listed) {
                rim.push_back({static_cast<std::uint32_t>(index),
                               facetsFacing(lattice.sites[index], column, row)});
            }
        }
        return true;
    }

    const LatticeSites& lattice;
    const LineGroups& horizontal;
    const VerticalWinners& vertical;
    double radius;
    LatticeCandidates& candidates;
    std::vector<std::int32_t> listed;
};

}  // namespace

std::vector<PackedCandidate> LatticeCandidates::candidatesAt(double x, double y) const {
    const double column = std::floor(x - originX + 0.5);
    const double row = std::floor(y - originY + 0.5);
    if (!(column >= 0 && row >= 0 && column < columns && row < rows)) {
        return {};
    }
    const PackedCandidate cell =
        cells[static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(column)];
    const std::uint32_t count = cell.colourAndCount >> 24;
    if (count <= 1) {
        return count == 1 ? std::vector<PackedCandidate>{cell} : std::vector<PackedCandidate>{};
    }
    return {more.begin() + cell.place, more.begin() + cell.place + count};
}

bool computeLatticeCandidates(const Site* head, int radius, int threads,
                              LatticeCandidates& candidates) {
    LatticeSites lattice;
    if (!head || radius <= 0 || !collectLatticeSites(head, radius, lattice)) {
        return false;
    }
    threads = std::max(threads, 1);
    const LineGroups horizontal = horizontalLineGroups(lattice);
    const VerticalWinners vertical = verticalWinners(lattice, threads);
    candidates.originX = lattice.originX;
    candidates.originY = lattice.originY;
    candidates.columns = lattice.columns;
    candidates.rows = lattice.rows;
    candidates.siteCount = lattice.sites.size();
    candidates.cells.clear();
    reserveLarge(candidates.cells, static_cast<std::size_t>(lattice.columns) * lattice.rows);
    candidates.cells.resize(static_cast<std::size_t>(lattice.columns) * lattice.rows);
    std::vector<CellWorker> workers(threads,
                                    CellWorker(lattice, horizontal, vertical, radius, candidates));
    for (CellWorker& worker : workers) {
        reserveLarge(worker.more, candidates.cells.size() / (2 * threads));
    }
    onThreads(threads, [&](int thread) {
        workers[thread].run(lattice.rows * thread / threads, lattice.rows * (thread + 1) / threads);
    });
    candidates.more.clear();
    std::vector<RimFacets> rim;
    for (int thread = 0; thread < threads; ++thread) {
        const CellWorker& worker = workers[thread];
        if (worker.tooMany) {
            return false;
        }
        const auto shift = static_cast<std::uint32_t>(candidates.more.size());
        candidates.more.insert(candidates.more.end(), worker.more.begin(), worker.more.end());
        rim.insert(rim.end(), worker.rim.begin(), worker.rim.end());
        if (thread == 0 || shift == 0) {
            continue;
        }
        const std::size_t first =
            static_cast<std::size_t>(lattice.rows * thread / threads) * lattice.columns;
        const std::size_t last =
            static_cast<std::size_t>(lattice.rows * (thread + 1) / threads) * lattice.columns;
        for (std::size_t index = first; index < last; ++index) {
            if ((candidates.cells[index].colourAndCount >> 24) > 1) {
                candidates.cells[index].place += shift;
            }
        }
    }
    std::sort(rim.begin(), rim.end(),
              [](const RimFacets& a, const RimFacets& b) { return a.site < b.site; });
    candidates.rimSites.clear();
    for (std::size_t index = 0; index < rim.size(); ++index) {
        if (index > 0 && rim[index - 1].site == rim[index].site) {
            candidates.rimSites.back().facets |= rim[index].facets;
            continue;
        }
        const LatticeSite& site = lattice.sites[rim[index].site];
        candidates.rimSites.push_back({static_cast<float>(site.column + lattice.originX),
                                       static_cast<float>(site.row + lattice.originY), site.colour,
                                       rim[index].facets});
    }
    return true;
}
