#include "tools/bench/peer_transform.h"

#include <cmath>
#include <limits>

#include "cells/thread_sharing.h"
#include "sitemap/site.h"

namespace {

constexpr std::int32_t kNone = -1;

// Along one row: the squared distance down the column to its nearest site
// (kNone where the column has none) gives each column a parabola; their
// lower envelope gives every pixel of the row its nearest column.
class RowEnvelope {
public:
    explicit RowEnvelope(int edge) : from(edge + 1), column(edge) {}

    void nearest(const std::int32_t* siteRow, int row, std::int32_t* nearestColumn) {
        const int edge = static_cast<int>(column.size());
        int pieces = 0;
        const auto height = [&](int at) {
            const double rise = siteRow[at] - row;
            return rise * rise + static_cast<double>(at) * at;
        };
        for (int at = 0; at < edge; ++at) {
            if (siteRow[at] == kNone) {
                continue;
            }
            double start = -std::numeric_limits<double>::infinity();
            while (pieces > 0) {
                const int last = column[pieces - 1];
                start = (height(at) - height(last)) / (2.0 * (at - last));
                if (start > from[pieces - 1]) {
                    break;
                }
                --pieces;
                start = -std::numeric_limits<double>::infinity();
            }
            column[pieces] = at;
            from[pieces] = start;
            ++pieces;
        }
        int piece = 0;
        for (int at = 0; at < edge; ++at) {
            while (piece + 1 < pieces && from[piece + 1] <= at) {
                ++piece;
            }
            nearestColumn[at] = pieces > 0 ? column[piece] : kNone;
        }
    }

private:
    std::vector<double> from;
    std::vector<int> column;
};

}  // namespace

std::vector<std::int32_t> nearestSiteTransform(const Site* head, int edge, int threads) {
    const std::size_t pixels = static_cast<std::size_t>(edge) * edge;
    std::vector<std::int32_t> siteAt(pixels, kNone);
    std::int32_t position = 0;
    for (const Site* site = head; site; site = site->next, ++position) {
        const double x = std::round(site->x);
        const double y = std::round(site->y);
        if (x >= 0 && y >= 0 && x < edge && y < edge) {
            siteAt[static_cast<std::size_t>(y) * edge + static_cast<std::size_t>(x)] = position;
        }
    }
    // Down every column: the row of the nearest site in it, for every pixel.
    std::vector<std::int32_t> nearestRow(pixels, kNone);
    onThreads(threads, [&](int thread) {
        for (int x = edge * thread / threads; x < edge * (thread + 1) / threads; ++x) {
            std::int32_t last = kNone;
            for (int y = 0; y < edge; ++y) {
                if (siteAt[static_cast<std::size_t>(y) * edge + x] != kNone) {
                    last = y;
                }
                nearestRow[static_cast<std::size_t>(y) * edge + x] = last;
            }
            last = kNone;
            for (int y = edge - 1; y >= 0; --y) {
                std::int32_t& row = nearestRow[static_cast<std::size_t>(y) * edge + x];
                if (siteAt[static_cast<std::size_t>(y) * edge + x] != kNone) {
                    last = y;
                }
                if (last != kNone && (row == kNone || last - y < y - row)) {
                    row = last;
                }
            }
        }
    });
    // Along every row: the nearest column, and with it the site.
    std::vector<std::int32_t> nearest(pixels, kNone);
    onThreads(threads, [&](int thread) {
        RowEnvelope envelope(edge);
        std::vector<std::int32_t> nearestColumn(edge);
        for (int y = edge * thread / threads; y < edge * (thread + 1) / threads; ++y) {
            const std::int32_t* rows = nearestRow.data() + static_cast<std::size_t>(y) * edge;
            envelope.nearest(rows, y, nearestColumn.data());
            for (int x = 0; x < edge; ++x) {
                const std::int32_t column = nearestColumn[x];
                if (column != kNone) {
                    nearest[static_cast<std::size_t>(y) * edge + x] =
                        siteAt[static_cast<std::size_t>(rows[column]) * edge + column];
                }
            }
        }
    });
    return nearest;
}
