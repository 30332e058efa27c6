#include "tools/edge_detection.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// In grey levels per pixel after smoothing (a sharp step of height h peaks at
// about 0.31 h): flatter ridges are shading or noise, not edges.
constexpr double kFaintestEdgeSlope = 2.0;
constexpr int kWeakLowest = 231;
constexpr int kWeakHighest = 254;

// A plane of doubles the size of the picture, read with clamping at the
// borders so the picture's own frame is not taken for an edge.
struct Plane {
    int width;
    int height;
    std::vector<double> values;

    Plane(int width, int height)
        : width(width), height(height), values(static_cast<std::size_t>(width) * height, 0.0) {}
    double& at(int column, int row) {
        return values[static_cast<std::size_t>(row) * width + column];
    }
    double at(int column, int row) const {
        return values[static_cast<std::size_t>(row) * width + column];
    }
    double clamped(int column, int row) const {
        column = std::clamp(column, 0, width - 1);
        row = std::clamp(row, 0, height - 1);
        return values[static_cast<std::size_t>(row) * width + column];
    }
    double orZero(int column, int row) const {
        if (column < 0 || row < 0 || column >= width || row >= height) {
            return 0.0;
        }
        return values[static_cast<std::size_t>(row) * width + column];
    }
};

// 5-tap binomial smoothing, across and then down: damps noise before the slope is taken.
Plane smooth(const GreyRaster& grey) {
    static const double kWeights[5] = {1 / 16.0, 4 / 16.0, 6 / 16.0, 4 / 16.0, 1 / 16.0};
    Plane source(grey.width, grey.height);
    std::copy(grey.samples.begin(), grey.samples.end(), source.values.begin());
    Plane across(grey.width, grey.height);
    Plane result(grey.width, grey.height);
    for (int row = 0; row < grey.height; ++row) {
        for (int column = 0; column < grey.width; ++column) {
            double sum = 0.0;
            for (int tap = -2; tap <= 2; ++tap) {
                sum += kWeights[tap + 2] * source.clamped(column + tap, row);
            }
            across.at(column, row) = sum;
        }
    }
    for (int row = 0; row < grey.height; ++row) {
        for (int column = 0; column < grey.width; ++column) {
            double sum = 0.0;
            for (int tap = -2; tap <= 2; ++tap) {
                sum += kWeights[tap + 2] * across.clamped(column, row + tap);
            }
            result.at(column, row) = sum;
        }
    }
    return result;
}

struct Gradient {
    Plane slope;      // magnitude in grey levels per pixel
    Plane alongRows;  // Sobel responses, for the direction
    Plane alongColumns;
};

Gradient sobel(const Plane& smoothed) {
    Gradient gradient{Plane(smoothed.width, smoothed.height),
                      Plane(smoothed.width, smoothed.height),
                      Plane(smoothed.width, smoothed.height)};
    for (int row = 0; row < smoothed.height; ++row) {
        for (int column = 0; column < smoothed.width; ++column) {
            auto value = [&](int dx, int dy) { return smoothed.clamped(column + dx, row + dy); };
            const double dx = (value(1, -1) + 2 * value(1, 0) + value(1, 1)) -
                              (value(-1, -1) + 2 * value(-1, 0) + value(-1, 1));
            const double dy = (value(-1, 1) + 2 * value(0, 1) + value(1, 1)) -
                              (value(-1, -1) + 2 * value(0, -1) + value(1, -1));
            gradient.alongRows.at(column, row) = dx;
            gradient.alongColumns.at(column, row) = dy;
            // The kernel spans two pixels and weighs four rows' worth.
            gradient.slope.at(column, row) = std::hypot(dx, dy) / 8.0;
        }
    }
    return gradient;
}

// Keeps a pixel only where its slope peaks across the edge, so that edges are
// one pixel thin. Of two equal neighbours across the edge the first one wins.
Plane thin(const Gradient& gradient) {
    const double tan22 = std::tan(3.14159265358979323846 / 8.0);
    const Plane& slope = gradient.slope;
    Plane ridge(slope.width, slope.height);
    for (int row = 0; row < slope.height; ++row) {
        for (int column = 0; column < slope.width; ++column) {
            const double magnitude = slope.at(column, row);
            if (magnitude <= 0.0) {
                continue;
            }
            const double dx = gradient.alongRows.at(column, row);
            const double dy = gradient.alongColumns.at(column, row);
            int stepX = 0;
            int stepY = 0;
            if (std::abs(dy) <= std::abs(dx) * tan22) {
                stepX = 1;
            } else if (std::abs(dx) <= std::abs(dy) * tan22) {
                stepY = 1;
            } else {
                stepX = 1;
                stepY = (dx > 0) == (dy > 0) ? 1 : -1;
            }
            if (magnitude > slope.orZero(column - stepX, row - stepY) &&
                magnitude >= slope.orZero(column + stepX, row + stepY)) {
                ridge.at(column, row) = magnitude;
            }
        }
    }
    return ridge;
}

}  // namespace

GreyRaster detectEdges(const GreyRaster& grey) {
    GreyRaster edges(grey.width, grey.height);
    if (grey.width == 0 || grey.height == 0) {
        return edges;
    }
    Gradient gradient = sobel(smooth(grey));
    const Plane ridge = thin(gradient);

    std::vector<std::size_t> edgePixels;
    for (std::size_t index = 0; index < ridge.values.size(); ++index) {
        if (ridge.values[index] >= kFaintestEdgeSlope) {
            edgePixels.push_back(index);
        }
    }
    // Strongest first, and of equal slopes the earlier pixel, so that the caps
    // hold exactly and any picture with an edge has strong pixels.
    std::stable_sort(edgePixels.begin(), edgePixels.end(), [&](std::size_t a, std::size_t b) {
        return ridge.values[a] > ridge.values[b];
    });
    const std::size_t kept = std::min<std::size_t>(edgePixels.size(), kMostEdgePixels);
    const std::size_t strong = std::min<std::size_t>(kept, kMostStrongEdgePixels);
    for (std::size_t rank = 0; rank < strong; ++rank) {
        edges.samples[edgePixels[rank]] = 255;
    }
    const std::size_t weak = kept - strong;
    const std::size_t weakLevels = kWeakHighest - kWeakLowest + 1;
    for (std::size_t rank = 0; rank < weak; ++rank) {
        edges.samples[edgePixels[strong + rank]] =
            static_cast<unsigned char>(kWeakHighest - rank * weakLevels / weak);
    }
    return edges;
}
