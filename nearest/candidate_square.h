#pragma once

#include <algorithm>

// A square of the raster plane that the candidate search lists sites for.
struct Square {
    double x0;
    double y0;
    double size;
    double cornerX(int corner) const { return x0 + (corner & 1) * size; }
    double cornerY(int corner) const { return y0 + (corner >> 1) * size; }
    Square quarter(int which) const {
        const double half = size / 2;
        return {x0 + (which & 1) * half, y0 + (which >> 1) * half, half};
    }
};

// The square of the Euclidean distance from a point to a square; that
// distance bounds the 32-gon one from below.
inline double squaredDistanceToSquare(double x, double y, const Square& square) {
    const double dx = std::max({square.x0 - x, 0.0, x - square.x0 - square.size});
    const double dy = std::max({square.y0 - y, 0.0, y - square.y0 - square.size});
    return dx * dx + dy * dy;
}
