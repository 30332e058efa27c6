#include "cells/cell_neighbours.h"

#include <boost/polygon/voronoi.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace {

using Grid = boost::polygon::point_data<std::int32_t>;

}  // namespace

std::vector<std::vector<int>> cellNeighbours(const std::vector<Position>& positions) {
    double largest = 1.0;
    for (const Position& position : positions) {
        largest = std::max({largest, std::fabs(position.x), std::fabs(position.y)});
    }
    // A fine grid keeps fractional positions apart; integer ones are exact.
    double scale = 1024.0;
    while (largest * scale > 536870912.0) {
        scale /= 2.0;
    }
    std::vector<Grid> gridPoints;
    std::vector<int> groupOf(positions.size());
    std::unordered_map<std::uint64_t, int> groupAt;
    for (std::size_t index = 0; index < positions.size(); ++index) {
        const auto gridX = static_cast<std::int32_t>(std::llround(positions[index].x * scale));
        const auto gridY = static_cast<std::int32_t>(std::llround(positions[index].y * scale));
        const std::uint64_t key =
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(gridX)) << 32) |
            static_cast<std::uint32_t>(gridY);
        const auto inserted = groupAt.emplace(key, static_cast<int>(gridPoints.size()));
        if (inserted.second) {
            gridPoints.emplace_back(gridX, gridY);
        }
        groupOf[index] = inserted.first->second;
    }

    std::vector<std::vector<int>> members(gridPoints.size());
    for (std::size_t index = 0; index < positions.size(); ++index) {
        members[groupOf[index]].push_back(static_cast<int>(index));
    }
    std::vector<std::vector<int>> neighbourGroups(gridPoints.size());
    if (gridPoints.size() > 1) {
        boost::polygon::voronoi_diagram<double> diagram;
        boost::polygon::construct_voronoi(gridPoints.begin(), gridPoints.end(), &diagram);
        for (const auto& edge : diagram.edges()) {
            neighbourGroups[edge.cell()->source_index()].push_back(
                static_cast<int>(edge.twin()->cell()->source_index()));
        }
    }

    std::vector<std::vector<int>> candidates(positions.size());
    for (std::size_t index = 0; index < positions.size(); ++index) {
        std::vector<int>& own = candidates[index];
        for (int other : members[groupOf[index]]) {
            if (other != static_cast<int>(index)) {
                own.push_back(other);
            }
        }
        for (int group : neighbourGroups[groupOf[index]]) {
            own.insert(own.end(), members[group].begin(), members[group].end());
        }
    }
    return candidates;
}
