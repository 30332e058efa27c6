#include "cells/marker_thinning.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "cells/large_arrays.h"
#include "sitemap/site.h"

// Why markers can be left out: a point 4 pixels wide covers the 4 pixels on
// each axis whose centres lie within 2 of its window position, however the
// rasterizer rounds that position, and further along the axis never
// starts before. So markers in one column, each at most kLargestGap pixels
// from the next, cover one unbroken strip from the first marker's pixels to
// the last's: those in between may go as long as the kept ones stay that
// close. Columns whose strips run between the same two heights cover the
// same rows, so of neighbouring such columns the ones between kept columns
// may go as well. A point whose position lies outside the viewport may be
// dropped whole by the rasterizer, so only markers well inside it are left
// out; those far outside cover none of its pixels.
namespace {

constexpr double kLargestGap = 3.5;
constexpr double kSurelyInside = 1.0;
constexpr double kFarOutside = 4.0;
// Merging costs a pass per run; more runs than this are sorted instead.
constexpr std::size_t kMostMergedRuns = 16;

bool before(const MarkerPoint& a, const MarkerPoint& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// The markers from sorted[first] to sorted[last], in one column.
struct Stretch {
    std::size_t first;
    std::size_t last;
};

// Neighbouring columns whose strips run between the same heights.
struct Block {
    Stretch latest;
    double latestX;
    double keptX;
    bool latestKept;
};

class Thinner {
public:
    Thinner(const std::vector<MarkerPoint>& sorted, const MarkerView& view,
            std::vector<MarkerPoint>& kept)
        : sorted(sorted), view(view), kept(kept) {}

    void thin() {
        kept.clear();
        for (std::size_t first = 0; first < sorted.size();) {
            std::size_t end = first;
            while (end < sorted.size() && sorted[end].x == sorted[first].x) {
                ++end;
            }
            column(first, end);
            first = end;
        }
        closeAll();
    }

private:
    double windowX(float x) const { return view.scaleX * x + view.offsetX; }
    double windowY(float y) const { return view.scaleY * y + view.offsetY; }

    // -1 far outside the viewport along the axis, 0 near its edge, 1 well inside.
    static int placeOn(double window, int low, int length) {
        if (window < low - kFarOutside || window > low + length + kFarOutside) {
            return -1;
        }
        return window >= low + kSurelyInside && window <= low + length - kSurelyInside ? 1 : 0;
    }

    void column(std::size_t first, std::size_t end) {
        const double x = windowX(sorted[first].x);
        const int placeX = placeOn(x, view.viewport[0], view.viewport[2]);
        if (placeX < 0) {
            closeAll();
            return;
        }
        stretches.clear();
        // Whether the marker before lies in the last stretch.
        bool afterStretch = false;
        for (std::size_t index = first; index < end; ++index) {
            const double y = windowY(sorted[index].y);
            const int placeY = placeOn(y, view.viewport[1], view.viewport[3]);
            if (placeY < 0) {
                continue;
            }
            const bool joins =
                placeY > 0 && afterStretch &&
                std::fabs(y - windowY(sorted[stretches.back().last].y)) <= kLargestGap;
            if (joins) {
                stretches.back().last = index;
            } else if (placeY > 0) {
                stretches.push_back({index, index});
            } else {
                // Near the edge every marker stays, each on its own.
                emit({index, index});
            }
            afterStretch = placeY > 0;
        }
        if (placeX > 0) {
            stack(x);
        } else {
            closeAll();
            for (const Stretch& stretch : stretches) {
                emit(stretch);
            }
        }
    }

    // Continues the blocks whose strips this column repeats, closes the
    // others and opens new ones.
    void stack(double x) {
        nextBlocks.clear();
        std::size_t open = 0;
        for (const Stretch& stretch : stretches) {
            while (open < blocks.size() && lowerStrip(blocks[open].latest, stretch)) {
                close(blocks[open++]);
            }
            if (open < blocks.size() && sameStrip(blocks[open].latest, stretch) &&
                std::fabs(x - blocks[open].latestX) <= kLargestGap) {
                Block block = blocks[open++];
                if (std::fabs(x - block.keptX) > kLargestGap) {
                    emit(block.latest);
                    block.keptX = block.latestX;
                }
                block.latest = stretch;
                block.latestX = x;
                block.latestKept = false;
                nextBlocks.push_back(block);
            } else {
                emit(stretch);
                nextBlocks.push_back({stretch, x, x, true});
            }
        }
        while (open < blocks.size()) {
            close(blocks[open++]);
        }
        blocks.swap(nextBlocks);
    }

    bool sameStrip(const Stretch& a, const Stretch& b) const {
        return sorted[a.first].y == sorted[b.first].y && sorted[a.last].y == sorted[b.last].y;
    }

    bool lowerStrip(const Stretch& a, const Stretch& b) const {
        const float lowA = sorted[a.first].y;
        const float lowB = sorted[b.first].y;
        return lowA != lowB ? lowA < lowB : sorted[a.last].y < sorted[b.last].y;
    }

    void close(const Block& block) {
        if (!block.latestKept) {
            emit(block.latest);
        }
    }

    void closeAll() {
        for (const Block& block : blocks) {
            close(block);
        }
        blocks.clear();
    }

    // The stretch's first and last markers, and in between each one the
    // next would be too far from.
    void emit(const Stretch& stretch) {
        kept.push_back(sorted[stretch.first]);
        double keptY = windowY(sorted[stretch.first].y);
        for (std::size_t index = stretch.first + 1; index <= stretch.last; ++index) {
            if (index == stretch.last ||
                std::fabs(windowY(sorted[index + 1].y) - keptY) > kLargestGap) {
                kept.push_back(sorted[index]);
                keptY = windowY(sorted[index].y);
            }
        }
    }

    const std::vector<MarkerPoint>& sorted;
    const MarkerView& view;
    std::vector<MarkerPoint>& kept;
    std::vector<Stretch> stretches;
    std::vector<Block> blocks;
    std::vector<Block> nextBlocks;
};

// Each extraction puts a run sorted one way or the other at the head, so a
// list is a few runs to merge.
void sortPoints(std::vector<MarkerPoint>& points) {
    if (std::is_sorted(points.begin(), points.end(), before)) {
        return;
    }
    std::reverse(points.begin(), points.end());
    std::vector<std::size_t> runEnds;
    for (std::size_t index = 1; index < points.size() && runEnds.size() <= kMostMergedRuns;
         ++index) {
        if (before(points[index], points[index - 1])) {
            runEnds.push_back(index);
        }
    }
    if (runEnds.size() > kMostMergedRuns) {
        std::sort(points.begin(), points.end(), before);
        return;
    }
    runEnds.push_back(points.size());
    for (std::size_t run = 1; run < runEnds.size(); ++run) {
        std::inplace_merge(points.begin(), points.begin() + runEnds[run - 1],
                           points.begin() + runEnds[run], before);
    }
}

}  // namespace

std::vector<MarkerPoint> sortedMarkerPoints(const Site* head) {
    std::vector<MarkerPoint> points;
    reserveLarge(points, countSites(head));
    for (const Site* site = head; site; site = site->next) {
        points.push_back({static_cast<float>(site->x), static_cast<float>(site->y)});
    }
    sortPoints(points);
    // Copies of a point draw the same pixels.
    points.erase(std::unique(points.begin(), points.end(),
                             [](const MarkerPoint& a, const MarkerPoint& b) {
                                 return a.x == b.x && a.y == b.y;
                             }),
                 points.end());
    return points;
}

void thinMarkers(const std::vector<MarkerPoint>& sorted, const MarkerView& view,
                 std::vector<MarkerPoint>& kept) {
    Thinner(sorted, view, kept).thin();
}
