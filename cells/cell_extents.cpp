#include "cells/cell_extents.h"

#include "cells/cell_neighbours.h"
#include "cells/drawn_sites.h"
#include "cells/sector_bounds.h"
#include "cells/sector_joining.h"

CellExtents computeCellExtents(const Site* head, int radius, double areaPerRay) {
    CellExtents extents;
    extents.firstRay.push_back(0);
    if (radius <= 0) {
        return extents;
    }
    std::vector<Position> positions;
    selectDrawnSites(head, extents.drawnSites, positions);
    const std::vector<std::vector<int>> neighbours = cellNeighbours(positions);

    SectorBounds bounds(radius, areaPerRay);
    SectorJoining joining(radius, areaPerRay);
    for (std::size_t index = 0; index < positions.size(); ++index) {
        bounds.bound(positions[index], positions, neighbours[index]);
        joining.join(bounds.rays(), bounds.unitLengths(), extents.rays);
        extents.firstRay.push_back(extents.rays.size());
    }
    return extents;
}
