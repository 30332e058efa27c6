#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/cone_outline.h"
#include "outline/empty_squares.h"
#include "outline/fragment_key.h"
#include "outline/outline_edge.h"
#include "outline/ray_bounds.h"

// Where markers leave few pixels among many sites, each open pixel finds
// its nearest radial fragment itself, from every apex within a few pixels,
// or at the smallest zooms as far as a cone reaches: cheaper there than
// following every edge outward from its apex.
class NearSearch {
public:
    // How far from a pixel it looks, in window pixels: where apexes lie
    // about a pixel apart, a few pixels; where many share a pixel (small
    // zooms), further, as every pixel it settles spares the bands walking
    // the crowd's rays there, and the rings it reads before it finds the
    // nearest edge are few.
    static constexpr double kNearReach = 6.0;
    static constexpr double kCrowdedReach = 13.0;
    static constexpr double kCrowdedApexesPerPixel = 2.0;
    // Where a crowd's cones, with the pixels just past their edges' ends,
    // reach no further than this, the smallest zooms, its pixels look as
    // far as a cone reaches, so that no band is left to walk the crowd's
    // rays: the pixels near it are few, and the bands' tests of its border
    // would cost more.
    static constexpr double kWholeConeReach = 45.0;
    // The depth of a radial fragment, scaled to window pixels, is at least
    // the pixel centre's distance from the apex less this.
    static constexpr double kPixelSlack = 0.75;

    // Sets every pixel no marker covers to the least radial fragment of the
    // sites within reach (or nothing drawn). Fragments of shallower depth
    // than settledDepth() come from no other site; where it reached as far
    // as a cone, none does, past the rims either. Once `cancel` is set, it
    // stops after the rows under way.
    void run(const std::vector<OutlineSite>& sites, const ConeOutlines& outlines,
             const ApexLayout& apexes, int width, int height,
             const std::vector<std::uint8_t>& marker, std::vector<FragmentKey>& pixels,
             const std::atomic<bool>* cancel);
    // Of the last run.
    double settledDepth(const ApexLayout& apexes) const {
        return reachesWholeCone ? kNothingDrawn : apexes.depthAt(reach - kPixelSlack);
    }

private:
    // The two edges along a site's ray that pixels look at, kept for the
    // pixels after: pixels side by side look at the same sites' rays, and
    // working an edge out costs more than reading it back. A thread's are
    // found by site and ray in a table of kKeptRays.
    struct KeptRay {
        std::uint64_t key;
        OutlineEdgePixels edges[2];
        bool lit[2];
    };
    static constexpr std::size_t kKeptRays = 2048;

    // Pixels lie in square blocks wider than the cells a pixel looks in
    // reach out from it, shifted by a block so that the cells about the
    // window fall in blocks of their own.
    void markBlocksNearApexes(int width, int height);
    FragmentKey nearestAt(int x, int y, const std::vector<OutlineSite>& sites,
                          const ConeOutlines& outlines, const ApexLayout& apexes,
                          KeptRay* keptRays) const;

    // A cell of kSplitCell apexes or more, as small zooms put hundreds or
    // thousands in a pixel, holds them in order of the kSubCells x kSubCells
    // parts of it they lie in: a pixel tests the cell's rays, then each
    // part's, before its apexes. As far as a cone, fewer: the crowd's border
    // cells, which it cuts, are the ones a pixel outside reads most.
    static constexpr int kSubCells = 8;
    static constexpr std::int32_t kSplitCell = 128;
    static constexpr std::int32_t kSplitCellWholeCone = 32;
    void splitCrowdedCells(const ApexLayout& apexes, std::int32_t fewest);

    double reach = kNearReach;
    // Whether the last run found every radial fragment, past the rims too.
    bool reachesWholeCone = false;
    // The cells a pixel looks in lie up to this many from its own.
    int cellsOut() const { return static_cast<int>(reach) + 1; }
    int blockShift = 0;
    int cellsX = 0;
    // The apexes by the window pixel they lie in, with a margin about the
    // window.
    std::vector<std::int32_t> cellStart;
    std::vector<std::int32_t> cellSites;
    EmptySquares emptySquares;
    // Per cell, its place among the split cells or kUnsplitBucket; and for split
    // cell c, part p's apexes (row by row) from cellSites[partStart[c *
    // (kSubCells * kSubCells + 1) + p]] to the next part's start.
    std::vector<std::int32_t> cellSplit;
    std::vector<std::int32_t> partStart;
    // Per block, whether an apex lies within reach of any of its pixels:
    // the others hold nothing drawn without a look.
    int blocksX = 0;
    std::vector<std::uint8_t> apexNear;
    std::vector<KeptRay> keptRays;
    RayBounds rayBounds;
};
