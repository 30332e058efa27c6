#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "outline/apex_layout.h"
#include "outline/cone_outline.h"
#include "outline/edge_walk.h"
#include "outline/settled_pixels.h"
#include "outline/tile_groups.h"
#include "outline/tile_pyramid.h"

// The cones' rim edges, at depth 0.5 behind every radial edge, followed
// last and only where a pixel about a facet's rim edge still holds
// something deeper: tested for a tile's group of sites at once, then for
// the apexes in each pixel of a crowded tile, then site by site.
class RimEdges {
public:
    struct Parts {
        const std::vector<OutlineSite>& sites;
        const ConeOutlines& outlines;
        const ApexLayout& apexes;
        const TilePyramid& tiles;
        const TileGroups& groups;
        EdgeWalk& walker;
        const SettledPixels& settled;
    };

    explicit RimEdges(const Parts& parts) : parts(parts) {}
    // Every site's, on both threads.
    void walk();

private:
    // Of `facets`, those whose rim edge, for an apex anywhere in the box,
    // has a pixel about it that holds more than a rim, by the tiles.
    std::uint32_t rimFacets(double left, double top, double right, double bottom,
                            std::uint32_t facets) const;
    // Of `facets`, those whose rim edge, for an apex anywhere in the square
    // `side` pixels wide at (left, top), has a pixel about it that holds a
    // rim or more now.
    std::uint32_t unsettledFacets(double left, double top, double side, std::uint32_t facets) const;
    // The rims among `facets` of a split group's sites, pixel by pixel of
    // its tile at (left, top).
    void walkPixelRims(std::int32_t splitGroup, double left, double top, std::uint32_t facets,
                       int layer);
    // The site's rim edges among `facets`, where a pixel about them holds
    // more than a rim, into the calling thread's pixel layer.
    void walkSiteRims(std::size_t site, std::uint32_t facets, int layer);

    Parts parts;
};
