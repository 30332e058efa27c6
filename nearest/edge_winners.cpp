#include "nearest/edge_winners.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cells/cone_geometry.h"
#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Vertical lines are worked out this many at a time, so that their winners
// are written row by row a cache line at a time.
constexpr int kLinesPerBlock = 16;
// The threads take the lines over the sites' box this many at a time: few
// enough that they end together, enough that taking a share costs little.
constexpr int kLinesPerShare = 2 * kLinesPerBlock;

}  // namespace

LineGroups horizontalLineGroups(const LatticeSites& lattice) {
    LineGroups groups{lattice.columnStart, {}, {}};
    reserveLarge(groups.across, lattice.sites.size());
    groups.across.resize(lattice.sites.size());
    reserveLarge(groups.site, lattice.sites.size());
    groups.site.resize(lattice.sites.size());
    for (std::size_t index = 0; index < lattice.sites.size(); ++index) {
        groups.across[index] = lattice.sites[index].row;
        groups.site[index] = static_cast<std::int32_t>(index);
    }
    return groups;
}

LineGroups verticalLineGroups(const LatticeSites& lattice) {
    LineGroups groups{lattice.rowStart, {}, {}};
    reserveLarge(groups.across, lattice.byRow.size());
    groups.across.resize(lattice.byRow.size());
    reserveLarge(groups.site, lattice.byRow.size());
    groups.site.resize(lattice.byRow.size());
    for (std::size_t index = 0; index < lattice.byRow.size(); ++index) {
        groups.across[index] = lattice.sites[lattice.byRow[index]].column;
        groups.site[index] = static_cast<std::int32_t>(lattice.byRow[index]);
    }
    return groups;
}

void lineGroups(const LatticeSites& lattice, int threads, LineGroups& horizontal,
                LineGroups& vertical) {
    onTasks(std::min(threads, 2), 2, [&](int, int task) {
        if (task == 0) {
            horizontal = horizontalLineGroups(lattice);
        } else {
            vertical = verticalLineGroups(lattice);
        }
    });
}

LineSweep::LineSweep(const LatticeSites& lattice, const LineGroups& groups, LineDirection direction)
    : groups(groups), dominatedLeftOut(lattice.cellSize > 1) {
    if (lattice.cellSize == 1) {
        const bool horizontal = direction == LineDirection::Horizontal;
        tieBits = horizontal ? lattice.occupiedBits.data() : lattice.occupiedByColumn.data();
        tieWords = horizontal ? lattice.rowWords() : lattice.columnWords();
        tieLinesStart = horizontal ? lattice.innerBottom : lattice.innerLeft;
        tieLinesEnd = horizontal ? lattice.innerTop : lattice.innerRight;
        tiesStart = horizontal ? lattice.innerLeft : lattice.innerBottom;
    }
    for (int group = 0; group + 1 < static_cast<int>(groups.start.size()); ++group) {
        if (groups.start[group] < groups.start[group + 1]) {
            occupied.push_back({groups.start[group], groups.start[group + 1], groups.start[group],
                                static_cast<double>(group)});
        }
    }
    lineSites.reserve(occupied.size());
}

// Where the cells are one unit wide, marks the groups with a site in the
// cells on both sides of the line; false where there can be none.
bool LineSweep::markTies(int line) {
    if (!tieBits || line - 1 < tieLinesStart || line >= tieLinesEnd) {
        return false;
    }
    const std::uint64_t* before =
        tieBits + static_cast<std::size_t>(line - 1 - tieLinesStart) * tieWords;
    const std::uint64_t* after = before + tieWords;
    tied.resize(tieWords);
    for (std::size_t word = 0; word < tieWords; ++word) {
        tied[word] = before[word] & after[word];
    }
    return true;
}

// Line l lies half a cell past cell l - 1: its sites are each group's last
// member before it and first member after it, whichever is nearer.
void LineSweep::moveTo(int line) {
    // Each group gives the line at most one site, written in place.
    lineSites.resize(occupied.size());
    LineSite* written = lineSites.data();
    const double at = line - 0.5;
    const std::int32_t* across = groups.across.data();
    const std::int32_t* site = groups.site.data();
    const bool ties = markTies(line);
    for (Group& group : occupied) {
        // Sites half a cell away on both sides tie all along the line. In a
        // run of such groups they are nearer than any other between the
        // run's ends, where no cell reads the line (each holds a site), and
        // beyond the ends those at the ends are the nearer: the run's inner
        // groups can be left out, their members passed on a later line.
        if (ties && tiedAt(group.along)) {
            if (!tiedAt(group.along - 1.0) || !tiedAt(group.along + 1.0)) {
                *written++ = {group.along, 0.5, kTiedPair};
            }
            continue;
        }
        std::uint32_t next = group.next;
        if (!started) {
            next = static_cast<std::uint32_t>(
                std::lower_bound(across + group.begin, across + group.end, line) - across);
        }
        while (next < group.end && across[next] < line) {
            ++next;
        }
        group.next = next;
        const double before = next > group.begin ? at - across[next - 1] : kInfinity;
        const double after = next < group.end ? across[next] - at : kInfinity;
        if (before < after) {
            *written++ = {group.along, before, site[next - 1]};
        } else if (after < before) {
            *written++ = {group.along, after, site[next]};
        } else {
            *written++ = {group.along, after, kTiedPair};
        }
    }
    lineSites.resize(static_cast<std::size_t>(written - lineSites.data()));
    started = true;
    if (dominatedLeftOut) {
        leaveOutDominated();
    }
    lineEnvelope.build(lineSites);
}

// Far along the line a site's distance grows as the distance along it plus
// tan(pi / 32) times the distance across, so a site `across` from the line
// at `along` is nowhere nearer than another at a and b where across >= b +
// |along - a| / tan(pi / 32): the two cross at most once, and far out on
// either side the other is nearer.
void LineSweep::leaveOutDominated() {
    const double perAlong = 1.0 / std::tan(kFacetAngle / 2.0);
    const std::size_t count = lineSites.size();
    nearestElse.assign(count, kInfinity);
    double bound = kInfinity;
    for (std::size_t index = 1; index < count; ++index) {
        bound = std::min(bound, lineSites[index - 1].across) +
                (lineSites[index].along - lineSites[index - 1].along) * perAlong;
        nearestElse[index] = bound;
    }
    bound = kInfinity;
    for (std::size_t index = count - 1; index-- > 0;) {
        bound = std::min(bound, lineSites[index + 1].across) +
                (lineSites[index + 1].along - lineSites[index].along) * perAlong;
        nearestElse[index] = std::min(nearestElse[index], bound);
    }
    std::size_t kept = 0;
    for (std::size_t index = 0; index < count; ++index) {
        if (lineSites[index].across < nearestElse[index]) {
            lineSites[kept++] = lineSites[index];
        }
    }
    lineSites.resize(kept);
}

void LineSweep::handOver(LineEnvelope& envelope, std::vector<LineSite>& sites) {
    std::swap(envelope, lineEnvelope);
    std::swap(sites, lineSites);
}

std::vector<KeptLine> outerLineEnvelopes(const LineGroups& groups, const std::vector<int>& lines,
                                         bool sitesAfter) {
    std::vector<KeptLine> kept(lines.size());
    for (std::size_t index = 0; index < lines.size(); ++index) {
        std::vector<LineSite>& sites = kept[index].sites;
        if (index == 0) {
            // Each group's member nearest the line, as the sweep takes it.
            const double at = lines[0] - 0.5;
            for (std::size_t group = 0; group + 1 < groups.start.size(); ++group) {
                if (groups.start[group] == groups.start[group + 1]) {
                    continue;
                }
                const std::uint32_t member =
                    sitesAfter ? groups.start[group] : groups.start[group + 1] - 1;
                sites.push_back(
                    {static_cast<double>(group),
                     sitesAfter ? groups.across[member] - at : at - groups.across[member],
                     groups.site[member]});
            }
        } else {
            const KeptLine& before = kept[index - 1];
            const double further = std::abs(lines[index] - lines[index - 1]);
            sites.reserve(before.envelope.first.size());
            for (const std::int32_t piece : before.envelope.first) {
                LineSite site = before.sites[piece];
                site.across += further;
                sites.push_back(site);
            }
        }
        kept[index].envelope.build(sites);
    }
    return kept;
}

std::int32_t SegmentWinners::several(double from, double to, std::vector<std::int32_t>& runs) {
    // Gathered straight into a run, which is taken back for one or none.
    const auto head = static_cast<std::int32_t>(runs.size());
    runs.push_back(0);
    for (std::size_t next = piece;
         next < envelope.first.size() && envelope.start[next] < to - kShortestWin; ++next) {
        const std::int32_t site = sites[envelope.first[next]].site;
        if (site != kTiedPair &&
            std::min(envelope.start[next + 1], to) - std::max(envelope.start[next], from) >
                kShortestWin) {
            runs.push_back(site);
        }
    }
    const auto found = static_cast<std::int32_t>(runs.size()) - head - 1;
    if (found <= 1) {
        const std::int32_t only = found == 0 ? kNoWinner : runs.back();
        runs.resize(head);
        return only;
    }
    runs[head] = found;
    return kSeveralWinners - head;
}

VerticalWinners verticalWinners(const LatticeSites& lattice, const LineGroups& groups,
                                int threads) {
    VerticalWinners winners;
    const int cellSize = lattice.cellSize;
    const int farCellSize = lattice.farCellSize();
    winners.innerLeft = lattice.innerLeft;
    winners.innerBottom = lattice.innerBottom;
    winners.cellSize = cellSize;
    winners.farCellSize = farCellSize;
    winners.innerLines = (lattice.innerRight - lattice.innerLeft) / cellSize + 1;
    winners.farLines = lattice.columns / farCellSize + 1;
    const int innerRows = lattice.innerTop - lattice.innerBottom;
    winners.inner = unsetArray<std::int32_t>(static_cast<std::size_t>(winners.innerLines) *
                                             (innerRows / cellSize));
    winners.far = unsetArray<std::int32_t>(static_cast<std::size_t>(winners.farLines) *
                                           (lattice.rows / farCellSize));
    // The lines read: those between far cells, and those between the inner
    // part's cells.
    const auto innerLine = [&](int line) {
        return line >= lattice.innerLeft && line <= lattice.innerRight &&
               (line - lattice.innerLeft) % cellSize == 0;
    };
    std::vector<int> lines;
    for (int line = 0; line <= lattice.columns; ++line) {
        if (line % farCellSize == 0 || innerLine(line)) {
            lines.push_back(line);
        }
    }
    // Shares of the lines, taken by the threads as they come free: those
    // beside the sites' box first, each side worked out from its edge
    // outward, then those over the box a few blocks at a time.
    const int lineCount = static_cast<int>(lines.size());
    const int leftEnd = static_cast<int>(
        std::upper_bound(lines.begin(), lines.end(), lattice.innerLeft) - lines.begin());
    const int rightStart = static_cast<int>(
        std::lower_bound(lines.begin(), lines.end(), lattice.innerRight) - lines.begin());
    std::vector<std::pair<int, int>> shares = {{0, leftEnd}, {rightStart, lineCount}};
    for (int first = leftEnd; first < rightStart; first += kLinesPerShare) {
        shares.push_back({first, std::min(first + kLinesPerShare, rightStart)});
    }
    // What a thread keeps from share to share: its sweep only moves on, as
    // its shares of the box's lines do.
    struct Walker {
        LineSweep sweep;
        std::vector<KeptLine> block;
        std::vector<std::int32_t> runs;
        std::vector<std::int32_t*> severalAt;
    };
    std::vector<Walker> walkers(
        threads, Walker{LineSweep(lattice, groups, LineDirection::Vertical), {}, {}, {}});
    onTasks(threads, static_cast<int>(shares.size()), [&](int thread, int share) {
        const int first = shares[share].first;
        const int end = shares[share].second;
        Walker& walker = walkers[thread];
        // The lines beside the sites' box, from its edges outward.
        std::vector<int> leftLines;
        std::vector<int> rightLines;
        if (first < end && lines[first] <= lattice.innerLeft) {
            for (int line = lattice.innerLeft; line >= lines[first]; line -= farCellSize) {
                leftLines.push_back(line);
            }
        }
        if (first < end && lines[end - 1] >= lattice.innerRight) {
            for (int line = lattice.innerRight; line <= lines[end - 1]; line += farCellSize) {
                rightLines.push_back(line);
            }
        }
        std::vector<KeptLine> left = outerLineEnvelopes(groups, leftLines, true);
        std::vector<KeptLine> right = outerLineEnvelopes(groups, rightLines, false);
        std::vector<KeptLine>& block = walker.block;
        block.resize(kLinesPerBlock);
        // Each line is walked by the inner cells and by the far cells apart.
        std::vector<SegmentWinners> innerWalks;
        std::vector<SegmentWinners> farWalks;
        bool readAsInner[kLinesPerBlock];
        bool readAsFar[kLinesPerBlock];
        bool readAsFarBeside[kLinesPerBlock];
        const auto keep = [&](std::int32_t* entry, std::int32_t value) {
            *entry = value;
            if (value <= kSeveralWinners) {
                walker.severalAt.push_back(entry);
            }
        };
        for (int blockStart = first; blockStart < end; blockStart += kLinesPerBlock) {
            const int blockLines = std::min(kLinesPerBlock, end - blockStart);
            innerWalks.clear();
            farWalks.clear();
            for (int offset = 0; offset < blockLines; ++offset) {
                const int line = lines[blockStart + offset];
                if (line <= lattice.innerLeft) {
                    std::swap(block[offset], left[(lattice.innerLeft - line) / farCellSize]);
                } else if (line >= lattice.innerRight) {
                    std::swap(block[offset], right[(line - lattice.innerRight) / farCellSize]);
                } else {
                    walker.sweep.moveTo(line);
                    walker.sweep.handOver(block[offset].envelope, block[offset].sites);
                }
                innerWalks.emplace_back(block[offset].envelope, block[offset].sites);
                farWalks.emplace_back(block[offset].envelope, block[offset].sites);
            }
            // What each line of the block is read for.
            for (int offset = 0; offset < blockLines; ++offset) {
                const int line = lines[blockStart + offset];
                const bool beside = line <= lattice.innerLeft || line >= lattice.innerRight;
                readAsInner[offset] = innerLine(line);
                readAsFar[offset] = line % farCellSize == 0;
                readAsFarBeside[offset] = readAsFar[offset] && beside;
            }
            const auto writeFar = [&](int row, int offset) {
                keep(&winners.far[static_cast<std::size_t>(row) / farCellSize * winners.farLines +
                                  lines[blockStart + offset] / farCellSize],
                     farWalks[offset].at(row, farCellSize, walker.runs));
            };
            // Away from the box only far cells' rows are read.
            const auto writeFarRows = [&](int from, int to) {
                for (int row = from; row < to; row += farCellSize) {
                    for (int offset = 0; offset < blockLines; ++offset) {
                        if (readAsFar[offset]) {
                            writeFar(row, offset);
                        }
                    }
                }
            };
            writeFarRows(0, lattice.innerBottom);
            // A cell's height at a time: far cells' rows start at every
            // few inner cells' rows.
            for (int row = lattice.innerBottom; row < lattice.innerTop; row += cellSize) {
                const bool farRow = row % farCellSize == 0;
                for (int offset = 0; offset < blockLines; ++offset) {
                    const int line = lines[blockStart + offset];
                    const bool read =
                        readAsInner[offset] && !(cellSize == 1 && lattice.occupied(line - 1, row) &&
                                                 lattice.occupied(line, row));
                    if (read) {
                        keep(&winners.inner[static_cast<std::size_t>(row - lattice.innerBottom) /
                                                cellSize * winners.innerLines +
                                            (line - lattice.innerLeft) / cellSize],
                             innerWalks[offset].at(row, cellSize, walker.runs));
                    }
                    if (farRow && readAsFarBeside[offset]) {
                        writeFar(row, offset);
                    }
                }
            }
            writeFarRows(lattice.innerTop, lattice.rows);
        }
    });
    // Each thread's runs go after those of the threads before it.
    for (const Walker& walker : walkers) {
        const auto shift = static_cast<std::int32_t>(winners.runs.size());
        winners.runs.insert(winners.runs.end(), walker.runs.begin(), walker.runs.end());
        for (std::int32_t* entry : walker.severalAt) {
            *entry -= shift;
        }
    }
    return winners;
}
