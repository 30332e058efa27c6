#pragma once

#include <vector>

// An 8-bit grey picture held row-major with row 0 at the top, the layout of
// the demo's RAW rasters.
struct GreyRaster {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> samples;

    GreyRaster() = default;
    GreyRaster(int width, int height)
        : width(width), height(height), samples(static_cast<std::size_t>(width) * height, 0) {}

    bool contains(int column, int row) const {
        return column >= 0 && row >= 0 && column < width && row < height;
    }
    unsigned char& at(int column, int row) {
        return samples[static_cast<std::size_t>(row) * width + column];
    }
    unsigned char at(int column, int row) const {
        return samples[static_cast<std::size_t>(row) * width + column];
    }
};
