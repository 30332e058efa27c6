#include "outline/whole_points.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// Boxes of many widths, the points set at random but for a few holes, and
// squares of many sizes: a point is surrounded exactly where every point
// of its square lies in the box and is set. Points outside the box are
// never set.
TEST(WholePoints, SurroundedWhereEveryPointOfTheSquareIsSet) {
    std::mt19937 random(11);
    for (const int columns : {1, 7, 63, 64, 65, 130, 301}) {
        for (const int steps : {0, 1, 3, 16, 40}) {
            const int rows = 5 + static_cast<int>(random() % 90);
            const std::int64_t left = -17;
            const std::int64_t top = 23;
            WholePoints points;
            ASSERT_TRUE(points.fitBox(left, top, left + columns - 1, top + rows - 1));
            std::vector<char> set(static_cast<std::size_t>(columns) * rows, 0);
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < columns; ++column) {
                    if (random() % (400u * (steps + 1) * (steps + 1)) != 0) {
                        set[static_cast<std::size_t>(row) * columns + column] = 1;
                        points.testAndSet(left + column, top + row);
                    }
                }
            }
            WholePoints inner;
            points.surrounded(steps, inner);
            for (int row = -2; row < rows + 2; ++row) {
                for (int column = -2; column < columns + 2; ++column) {
                    bool all = true;
                    for (int y = row - steps; y <= row + steps && all; ++y) {
                        for (int x = column - steps; x <= column + steps && all; ++x) {
                            all = x >= 0 && y >= 0 && x < columns && y < rows &&
                                  set[static_cast<std::size_t>(y) * columns + x];
                        }
                    }
                    ASSERT_EQ(inner.holds(left + column, top + row), all)
                        << columns << " x " << rows << " points, " << steps << " steps, at "
                        << column << ", " << row;
                }
            }
        }
    }
}

}  // namespace
