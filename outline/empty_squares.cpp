#include "outline/empty_squares.h"

#include <algorithm>

std::size_t EmptySquares::build(const std::vector<std::int32_t>& cellStart, int columns, int rows) {
    squaresX = (columns + kSide - 1) / kSide;
    const int squaresY = (rows + kSide - 1) / kSide;
    squaresOut.assign(static_cast<std::size_t>(squaresX) * squaresY, kMostSquares);
    std::size_t heldCells = 0;
    for (int row = 0; row < rows; ++row) {
        const std::int32_t* starts = &cellStart[static_cast<std::size_t>(row) * columns];
        std::uint8_t* squares = &squaresOut[static_cast<std::size_t>(row / kSide) * squaresX];
        for (int column = 0; column < columns; ++column) {
            if (starts[column] != starts[column + 1]) {
                squares[column / kSide] = 0;
                ++heldCells;
            }
        }
    }
    // A pass down and a pass back up, each taking the four neighbours
    // already passed: the distance along the farther axis, exactly.
    const auto at = [this](int x, int y) -> std::uint8_t& {
        return squaresOut[static_cast<std::size_t>(y) * squaresX + static_cast<std::size_t>(x)];
    };
    const auto inside = [this, squaresY](int x, int y) {
        return x >= 0 && x < squaresX && y >= 0 && y < squaresY;
    };
    const auto pass = [&](int step) {
        const int firstX = step > 0 ? 0 : squaresX - 1;
        const int firstY = step > 0 ? 0 : squaresY - 1;
        for (int y = firstY; y >= 0 && y < squaresY; y += step) {
            for (int x = firstX; x >= 0 && x < squaresX; x += step) {
                std::uint8_t& square = at(x, y);
                const int before[4][2] = {
                    {x - step, y}, {x - 1, y - step}, {x, y - step}, {x + 1, y - step}};
                for (const auto& neighbour : before) {
                    const int neighbourX = neighbour[0];
                    const int neighbourY = neighbour[1];
                    if (inside(neighbourX, neighbourY) &&
                        at(neighbourX, neighbourY) < kMostSquares) {
                        square = std::min(
                            square, static_cast<std::uint8_t>(at(neighbourX, neighbourY) + 1));
                    }
                }
            }
        }
    };
    pass(1);
    pass(-1);
    return heldCells;
}
