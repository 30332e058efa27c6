#include "outline/empty_squares.h"

#include <algorithm>

void EmptySquares::build(const std::vector<std::int32_t>& cellStart, int columns, int rows) {
    squaresX = (columns + kSide - 1) / kSide;
    const int squaresY = (rows + kSide - 1) / kSide;
    squaresOut.assign(static_cast<std::size_t>(squaresX) * squaresY, kMostSquares);
    for (int row = 0; row < rows; ++row) {
        const std::int32_t* starts = &cellStart[static_cast<std::size_t>(row) * columns];
        std::uint8_t* squares = &squaresOut[static_cast<std::size_t>(row / kSide) * squaresX];
        for (int column = 0; column < columns; ++column) {
            if (starts[column] != starts[column + 1]) {
                squares[column / kSide] = 0;
            }
        }
    }
    // Two passes of the eight neighbours, each one square away: the
    // distance along the farther axis, exactly.
    const auto at = [this](int x, int y) -> std::uint8_t& {
        return squaresOut[static_cast<std::size_t>(y) * squaresX + static_cast<std::size_t>(x)];
    };
    const auto take = [](std::uint8_t& square, std::uint8_t neighbour) {
        if (neighbour < kMostSquares) {
            square = std::min<std::uint8_t>(square, static_cast<std::uint8_t>(neighbour + 1));
        }
    };
    for (int y = 0; y < squaresY; ++y) {
        for (int x = 0; x < squaresX; ++x) {
            std::uint8_t& square = at(x, y);
            if (x > 0) {
                take(square, at(x - 1, y));
            }
            if (y > 0) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (x + dx >= 0 && x + dx < squaresX) {
                        take(square, at(x + dx, y - 1));
                    }
                }
            }
        }
    }
    for (int y = squaresY - 1; y >= 0; --y) {
        for (int x = squaresX - 1; x >= 0; --x) {
            std::uint8_t& square = at(x, y);
            if (x + 1 < squaresX) {
                take(square, at(x + 1, y));
            }
            if (y + 1 < squaresY) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (x + dx >= 0 && x + dx < squaresX) {
                        take(square, at(x + dx, y + 1));
                    }
                }
            }
        }
    }
}
