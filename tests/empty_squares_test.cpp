#include "outline/empty_squares.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// Grids of every shape, from empty to full, with apexes few or many: no
// cell that holds one may lie nearer a cell than the gap tells (a pixel
// would miss its edges), and the gap may fall short of the nearest by no
// more than the squares' coarseness.
TEST(EmptySquares, NeverPassesOverACellThatHoldsAnApex) {
    std::mt19937 random(5);
    const int shapes[][2] = {{1, 1}, {3, 50}, {50, 3}, {37, 41}, {120, 90}};
    for (const auto& shape : shapes) {
        const int columns = shape[0];
        const int rows = shape[1];
        for (const double share : {0.0, 0.0005, 0.01, 0.2, 1.0}) {
            std::bernoulli_distribution holds(share);
            std::vector<int> held;
            std::vector<std::int32_t> cellStart(static_cast<std::size_t>(columns) * rows + 1);
            for (std::size_t cell = 0; cell + 1 < cellStart.size(); ++cell) {
                const bool any = holds(random);
                cellStart[cell + 1] = cellStart[cell] + (any ? 1 : 0);
                if (any) {
                    held.push_back(static_cast<int>(cell));
                }
            }
            EmptySquares squares;
            squares.build(cellStart, columns, rows);
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < columns; ++column) {
                    double nearest = 1e9;
                    for (const int cell : held) {
                        const int across = std::abs(cell % columns - column);
                        const int down = std::abs(cell / columns - row);
                        nearest = std::min(nearest, std::max(across, down) - 0.5);
                    }
                    const double gap = squares.emptyGap(column, row);
                    ASSERT_LE(gap, std::max(nearest, 0.0))
                        << columns << " x " << rows << ", share " << share << ", cell " << column
                        << ", " << row;
                    if (!held.empty()) {
                        EXPECT_GE(gap, nearest - 2 * EmptySquares::kSide);
                    }
                }
            }
        }
    }
}

}  // namespace
