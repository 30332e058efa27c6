#include "nearest/candidate_grid.h"

#include <cmath>

const CandidateNode* SiteCandidates::leafAt(double x, double y) const {
    double column = (x - originX) / cellSize;
    double row = (y - originY) / cellSize;
    if (!(column >= 0 && row >= 0 && column < columns && row < rows)) {
        return nullptr;
    }
    const CandidateNode* node = &nodes[static_cast<int>(row) * columns + static_cast<int>(column)];
    column -= std::floor(column);
    row -= std::floor(row);
    while (node->count == kSplitNode) {
        column *= 2;
        row *= 2;
        const int right = column >= 1.0;
        const int upper = row >= 1.0;
        column -= right;
        row -= upper;
        node = &nodes[node->first + right + 2 * upper];
    }
    return node;
}
