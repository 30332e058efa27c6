#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/cone_outline.h"
#include "outline/edge_walk.h"
#include "outline/kept_edges.h"
#include "outline/outline_edge.h"
#include "outline/ray_cover.h"
#include "outline/settled_pixels.h"
#include "outline/tile_pyramid.h"

// The sites by the tile their apex lies in, those outside the window in a
// last group: group g's sites are sites[start[g]] to sites[start[g + 1] - 1].
struct TileGroups {
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> sites;
    // For each group, the rays steady at every site of it (RayCover), worked
    // out when a band first asks: kUnknownRays until then.
    static constexpr std::uint64_t kUnknownRays = ~std::uint64_t{0};
    std::vector<std::uint64_t> steadyRays;

    void group(const ApexLayout& apexes, const TilePyramid& tiles, int width, int height);
};

// One band of depths of the radial edges: every site's fragments from depth
// `low` up to `high`, on both threads. A group of sites is taken only where
// a pixel within its reach still holds something deeper than the band's
// start, and one of its rays only where a box along the ray at the band's
// distances does; beyond their near parts, only the rays that sites ahead
// leave uncovered.
class RadialBand {
public:
    struct Parts {
        const std::vector<OutlineSite>& sites;
        const ConeOutlines& outlines;
        const ApexLayout& apexes;
        const TilePyramid& tiles;
        TileGroups& groups;
        KeptEdges& keptEdges;
        RayCover& cover;
        EdgeWalk& walker;
        const SettledPixels& settled;
        // The most columns of a ray's part that is tested as settled.
        double longestTested;
        // Once set, the band stops after the runs of groups under way.
        const std::atomic<bool>* cancel;
    };

    explicit RadialBand(const Parts& parts) : parts(parts) {}
    // Which parts of the rays a run walks: all, all but the tails that sites
    // ahead leave near the rays' ends, or those tails alone.
    enum class Tails { Walked, Left, Only };
    void run(float low, float high, Tails tails = Tails::Walked);

private:
    // The rays of a site whose apex lies in the group's tile that can change
    // the picture in the band, a bit each.
    std::uint32_t tileRaysMatter(std::size_t group, double bandReach, float low, float high) const;
    // Whether the cover leaves none of `rays` of the group's sites a part in
    // the band: in a crowd most groups' rays are steady at every site.
    bool groupCovered(std::size_t group, std::uint32_t rays, float low, float high);
    // Whether any pixel near ray `ray` of a site whose apex lies in the box,
    // at the distances of the band's depths, holds more than `low`: where
    // none does, neither edge along the ray can change the picture in the
    // band.
    bool rayMatters(double left, double top, double right, double bottom, int ray, float low,
                    float high) const;
    // A thread's own: what is worked out again for each site whose edges are
    // not kept, and how often the pixels along a ray were found settled.
    struct ThreadScratch {
        ConeOutlines::Cone cone;
        OutlineEdgePixels inward;
        OutlineEdgePixels outward;
        // The columns the settled tests found settled before they stopped,
        // and of them those of the parts found settled all along, which
        // were not walked.
        std::size_t columnsPassed = 0;
        std::size_t columnsSpared = 0;
        // In a band where pixels are seldom settled before its own walks
        // reach them, the test costs more than it spares: a part found
        // settled spares its walk and the working out of its edges, worth
        // reading about four times its columns.
        bool settledWorthTesting() const {
            constexpr std::size_t kPassedBeforeJudging = 1024;
            constexpr std::size_t kReadPerSparedColumn = 4;
            return columnsPassed < kPassedBeforeJudging ||
                   columnsSpared * kReadPerSparedColumn > columnsPassed;
        }
    };
    // A ray's depths to walk in the band: up to two parts, low and high each.
    struct RayParts {
        float bounds[4];
        int count;
    };
    // The band's fragments of the site's edges, along the rays that matter
    // (only among `groupRays` where its group tested them, else among all);
    // `place` is its place in the groups' order.
    void bandSite(std::size_t site, std::size_t place, const std::uint32_t* groupRays,
                  double bandReach, float low, float high, int layer, ThreadScratch& scratch);

    Parts parts;
    Tails tails = Tails::Walked;
};
