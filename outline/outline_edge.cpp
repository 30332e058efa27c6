#include "outline/outline_edge.h"

#include <algorithm>

#include "cells/cone_geometry.h"

bool OutlineEdgePixels::set(const OutlinePoint& from, const OutlinePoint& to) {
    line = rasterLine(from.x, from.y, to.x, to.y);
    if (line.empty()) {
        return false;
    }
    const double majorTo = line.xMajor ? to.x : to.y;
    majorFrom = line.xMajor ? from.x : from.y;
    depthFrom = from.z;
    depthPerPixel = (static_cast<double>(to.z) - from.z) / (majorTo - majorFrom);
    return true;
}

void forEachOutlineFragment(
    const std::vector<OutlineSite>& sites, const OutlineView& view, float radius, int width,
    int height, const std::function<void(int x, int y, float depth, std::int32_t site)>& visit) {
    const ConeOutlines outlines(view, radius);
    ConeOutlines::Cone cone;
    for (std::size_t site = 0; site < sites.size(); ++site) {
        outlines.cone(sites[site].x, sites[site].y, cone);
        for (int facet = 0; facet < kConeSlices; ++facet) {
            for (const OutlineEdge kind :
                 {OutlineEdge::Rim, OutlineEdge::Inward, OutlineEdge::Outward}) {
                OutlinePoint from;
                OutlinePoint to;
                OutlineEdgePixels edge;
                if (!outlines.edge(cone, facet, kind, from, to) || !edge.set(from, to)) {
                    continue;
                }
                for (std::int64_t major = edge.line.first; major <= edge.line.last; ++major) {
                    const std::int64_t minor = edge.line.minorAt(major);
                    const std::int64_t x = edge.line.xMajor ? major : minor;
                    const std::int64_t y = edge.line.xMajor ? minor : major;
                    if (x >= 0 && x < width && y >= 0 && y < height) {
                        visit(static_cast<int>(x), static_cast<int>(y),
                              clampedDepth(edge.depthAt(major)), static_cast<std::int32_t>(site));
                    }
                }
            }
        }
    }
}
