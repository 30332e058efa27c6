#include "outline/tile_pyramid.h"

#include <algorithm>

#include "cells/thread_sharing.h"

namespace {

constexpr int kThreads = 2;
// A rectangle is read at the finest level where it spans this many cells
// or fewer each way: coarser cells take in pixels far from it, and most
// tests would pass for them, which costs the walks they let through.
constexpr int kMostCellsAcross = 6;

}  // namespace

void TilePyramid::reset(int width, int height) {
    this->width = width;
    this->height = height;
    columns = ((width - 1) >> kTileShift) + 1;
    rows = ((height - 1) >> kTileShift) + 1;
    tileMax.assign(static_cast<std::size_t>(columns) * rows, kNothingDrawn);
    touched.assign(tileMax.size(), 1);
}

void TilePyramid::refresh(const std::vector<FragmentKey>& pixels,
                          const std::vector<std::uint8_t>& marker, float settledBelow) {
    // A pixel's depth bits order as its depth does; one more than them, so
    // that 0 stands for no pixel that counts. Plain integers, in a loop
    // without branches, for the compiler to do several pixels at once.
    const auto bitsOf = [](FragmentKey key) { return static_cast<std::int32_t>(key >> 32) + 1; };
    const std::uint8_t* covered = marker.empty() ? nullptr : marker.data();
    const FragmentKey* held = pixels.data();
    // Rows of tiles shared out between the threads.
    onThreads(kThreads, [&](int thread) {
        std::vector<std::int32_t> most(static_cast<std::size_t>(columns));
        std::vector<std::uint8_t> redo(static_cast<std::size_t>(columns));
        for (int tileRow = thread; tileRow < rows; tileRow += kThreads) {
            float* tiles = &tileMax[static_cast<std::size_t>(tileRow) * columns];
            std::uint8_t* marks = &touched[static_cast<std::size_t>(tileRow) * columns];
            for (int tileColumn = 0; tileColumn < columns; ++tileColumn) {
                redo[tileColumn] = marks[tileColumn] != 0 && tiles[tileColumn] >= settledBelow;
                marks[tileColumn] = 0;
            }
            std::fill(most.begin(), most.end(), 0);
            const int rowEnd = std::min(height, (tileRow + 1) << kTileShift);
            for (int y = tileRow << kTileShift; y < rowEnd; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * width;
                for (int tileColumn = 0; tileColumn < columns; ++tileColumn) {
                    if (!redo[tileColumn]) {
                        continue;
                    }
                    const int from = tileColumn << kTileShift;
                    const int to = std::min(width, from + kTileSide);
                    std::int32_t deepest = most[tileColumn];
                    if (covered == nullptr) {
                        for (int x = from; x < to; ++x) {
                            deepest = std::max(deepest, bitsOf(held[row + x]));
                        }
                    } else {
                        for (int x = from; x < to; ++x) {
                            deepest =
                                std::max(deepest, covered[row + x] ? 0 : bitsOf(held[row + x]));
                        }
                    }
                    most[tileColumn] = deepest;
                }
            }
            for (int tileColumn = 0; tileColumn < columns; ++tileColumn) {
                if (redo[tileColumn]) {
                    tiles[tileColumn] =
                        most[tileColumn] == 0
                            ? kNoPixel
                            : keyDepth(static_cast<FragmentKey>(most[tileColumn] - 1) << 32);
                }
            }
        }
    });
    pictureMax = kNoPixel;
    for (const float value : tileMax) {
        pictureMax = std::max(pictureMax, value);
    }
    buildLevels();
}

void TilePyramid::buildLevels() {
    int levelWidth = columns;
    int levelHeight = rows;
    levels.reserve(32);  // the levels below stay where they are while more are added
    const std::vector<float>* below = &tileMax;
    std::size_t level = 0;
    while (levelWidth > 1 || levelHeight > 1) {
        const int upperWidth = (levelWidth + 1) / 2;
        const int upperHeight = (levelHeight + 1) / 2;
        if (levels.size() <= level) {
            levels.emplace_back();
        }
        std::vector<float>& upper = levels[level];
        upper.assign(static_cast<std::size_t>(upperWidth) * upperHeight, kNoPixel);
        for (int y = 0; y < levelHeight; ++y) {
            for (int x = 0; x < levelWidth; ++x) {
                float& cell = upper[static_cast<std::size_t>(y / 2) * upperWidth + x / 2];
                cell = std::max(cell, (*below)[static_cast<std::size_t>(y) * levelWidth + x]);
            }
        }
        below = &upper;
        levelWidth = upperWidth;
        levelHeight = upperHeight;
        ++level;
    }
}

float TilePyramid::blockMaximum(double left, double top, double right, double bottom) const {
    if (!(left <= right) || !(top <= bottom) || right < 0.0 || bottom < 0.0 || left >= width ||
        top >= height) {
        return kNoPixel;
    }
    int firstX = static_cast<int>(std::max(left, 0.0)) >> kTileShift;
    int lastX = static_cast<int>(std::min(right, width - 1.0)) >> kTileShift;
    int firstY = static_cast<int>(std::max(top, 0.0)) >> kTileShift;
    int lastY = static_cast<int>(std::min(bottom, height - 1.0)) >> kTileShift;
    const std::vector<float>* cells = &tileMax;
    int cellsWide = columns;
    std::size_t level = 0;
    while (lastX - firstX >= kMostCellsAcross || lastY - firstY >= kMostCellsAcross) {
        cells = &levels[level++];
        firstX >>= 1;
        lastX >>= 1;
        firstY >>= 1;
        lastY >>= 1;
        cellsWide = (cellsWide + 1) / 2;
    }
    float maximum = kNoPixel;
    for (int y = firstY; y <= lastY; ++y) {
        for (int x = firstX; x <= lastX; ++x) {
            maximum = std::max(maximum, (*cells)[static_cast<std::size_t>(y) * cellsWide + x]);
        }
    }
    return maximum;
}
