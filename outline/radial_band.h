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
#include "outline/tile_groups.h"
#include "outline/tile_pyramid.h"

// One band of depths of the radial edges: every site's fragments from depth
// `low` up to `high`, on both threads. A group of sites is taken only where
// a pixel within its reach still holds something deeper than the band's
// start, and one of its rays only where a box along the ray at the band's
// distances does, and where the pixels its sites' edges can light are not
// all settled already; beyond their near parts, only the rays that sites
// ahead leave uncovered.
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
    // Of `rays`, those of a site whose apex lies in the box that can change
    // the picture in the band, a bit each.
    std::uint32_t raysMatter(double left, double top, double side, std::uint32_t rays,
                             double bandReach, float low, float high) const;
    // Of `rays`, those along which a site's edges within `spread` of
    // (centreX, centreY) along each axis may still light a pixel that holds
    // something deeper in the band.
    std::uint32_t unsettledRays(double centreX, double centreY, double spread, std::uint32_t rays,
                                float low, float high) const;
    // Whether the cover leaves none of `rays` a part in the band at the sites
    // from `first` to `end` in the groups' order, whose steady rays `steady`
    // keeps: in a crowd most groups' rays are steady at every site.
    bool covered(std::size_t first, std::size_t end, std::uint64_t& steady, std::uint32_t rays,
                 float low, float high);
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
    // The band's fragments of the sites of group `group`.
    void bandGroup(std::size_t group, double bandReach, float low, float high, int layer,
                   ThreadScratch& scratch);
    // The band's fragments of a split group's sites, pixel by pixel of its
    // tile at (left, top), among `groupRays`.
    void bandPixels(std::int32_t splitGroup, double left, double top, std::uint32_t groupRays,
                    double bandReach, float low, float high, int layer, ThreadScratch& scratch);
    // The band's fragments of the site's edges, along the rays that matter
    // (only among `groupRays` where its group tested them, else among all);
    // `place` is its place in the groups' order.
    void bandSite(std::size_t site, std::size_t place, const std::uint32_t* groupRays,
                  double bandReach, float low, float high, int layer, ThreadScratch& scratch);

    Parts parts;
    Tails tails = Tails::Walked;
};
