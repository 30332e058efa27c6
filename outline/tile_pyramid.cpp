#include "outline/tile_pyramid.h"

#include <algorithm>

#include "cells/thread_sharing.h"

namespace {

constexpr int kThreads = 2;
// Blocks of up to 32 x 32 tiles: larger rectangles read a few of them, and
// the levels stay within 36 times the tiles.
constexpr int kMostLevels = 6;

}  // namespace

void TilePyramid::reset(int width, int height) {
    this->width = width;
    this->height = height;
    columns = ((width - 1) >> kTileShift) + 1;
    rows = ((height - 1) >> kTileShift) + 1;
    tileMax.assign(static_cast<std::size_t>(columns) * rows, kNothingDrawn);
    touched.assign(tileMax.size(), 1);
}

void TilePyramid::rescan(std::size_t tile, const PixelLayers& pixels) {
    const int left = static_cast<int>(tile % static_cast<std::size_t>(columns)) << kTileShift;
    const int top = static_cast<int>(tile / static_cast<std::size_t>(columns)) << kTileShift;
    const int right = std::min(width, left + kTileSide);
    const int bottom = std::min(height, top + kTileSide);
    // Keys order as depths do; a marker's is the least of all.
    FragmentKey deepest = kMarkedKey;
    const PixelLayers::Reader held = pixels.reader();
    for (int y = top; y < bottom; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width;
        for (int x = left; x < right; ++x) {
            deepest = std::max(deepest, held.at(row + x));
        }
    }
    const float value = deepest == kMarkedKey ? kNoPixel : keyDepth(deepest);
    // Stored only where it fell: the other thread reads the tiles all along.
    float before = 0.0f;
    __atomic_load(&tileMax[tile], &before, __ATOMIC_RELAXED);
    if (value < before) {
        __atomic_store(&tileMax[tile], &value, __ATOMIC_RELAXED);
    }
}

void TilePyramid::refresh(const PixelLayers& pixels, const std::vector<std::uint8_t>& marker,
                          float settledBelow) {
    // A pixel's depth bits order as its depth does; one more than them, so
    // that 0 stands for no pixel that counts. Plain integers, in a loop
    // without branches, for the compiler to do several pixels at once.
    const auto bitsOf = [](FragmentKey key) { return static_cast<std::int32_t>(key >> 32) + 1; };
    const std::uint8_t* covered = marker.empty() ? nullptr : marker.data();
    const FragmentKey* held = pixels.layer[0].data();
    const FragmentKey* alsoHeld = pixels.layer[1].data();
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
                            deepest = std::max(deepest,
                                               bitsOf(std::min(held[row + x], alsoHeld[row + x])));
                        }
                    } else {
                        for (int x = from; x < to; ++x) {
                            deepest = std::max(
                                deepest, covered[row + x]
                                             ? 0
                                             : bitsOf(std::min(held[row + x], alsoHeld[row + x])));
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
    levelsX = 1;
    while (levelsX < kMostLevels && (1 << levelsX) <= columns) {
        ++levelsX;
    }
    levelsY = 1;
    while (levelsY < kMostLevels && (1 << levelsY) <= rows) {
        ++levelsY;
    }
    const std::size_t tiles = static_cast<std::size_t>(columns) * rows;
    levels.resize(static_cast<std::size_t>(levelsX) * levelsY * tiles);
    std::copy(tileMax.begin(), tileMax.end(), levels.begin());
    // Each level the larger of two squares of the one before, along x in
    // the first row of levels and along y from there.
    for (int levelY = 0; levelY < levelsY; ++levelY) {
        for (int levelX = levelY == 0 ? 1 : 0; levelX < levelsX; ++levelX) {
            float* level = &levels[(static_cast<std::size_t>(levelY) * levelsX + levelX) * tiles];
            if (levelY == 0) {
                const float* before = level - tiles;
                const int half = 1 << (levelX - 1);
                const int wide = columns - (1 << levelX) + 1;
                for (int y = 0; y < rows; ++y) {
                    const std::size_t row = static_cast<std::size_t>(y) * columns;
                    for (int x = 0; x < wide; ++x) {
                        level[row + x] = std::max(before[row + x], before[row + x + half]);
                    }
                }
            } else {
                const float* before = level - levelsX * tiles;
                const std::size_t half = static_cast<std::size_t>(1 << (levelY - 1)) * columns;
                const std::size_t count =
                    static_cast<std::size_t>(rows - (1 << levelY) + 1) * columns;
                for (std::size_t at = 0; at < count; ++at) {
                    level[at] = std::max(before[at], before[at + half]);
                }
            }
        }
    }
}

float TilePyramid::blockMaximum(double left, double top, double right, double bottom) const {
    if (!(left <= right) || !(top <= bottom) || right < 0.0 || bottom < 0.0 || left >= width ||
        top >= height) {
        return kNoPixel;
    }
    const int firstX = static_cast<int>(std::max(left, 0.0)) >> kTileShift;
    const int lastX = static_cast<int>(std::min(right, width - 1.0)) >> kTileShift;
    const int firstY = static_cast<int>(std::max(top, 0.0)) >> kTileShift;
    const int lastY = static_cast<int>(std::min(bottom, height - 1.0)) >> kTileShift;
    // Blocks of the largest level that fits each way cover the tiles, two
    // each way where the level's blocks are as large as the rectangle's.
    const int levelX =
        std::min(31 - __builtin_clz(static_cast<unsigned>(lastX - firstX + 1)), levelsX - 1);
    const int levelY =
        std::min(31 - __builtin_clz(static_cast<unsigned>(lastY - firstY + 1)), levelsY - 1);
    const std::size_t tiles = static_cast<std::size_t>(columns) * rows;
    const float* level = &levels[(static_cast<std::size_t>(levelY) * levelsX + levelX) * tiles];
    const int blockWide = 1 << levelX;
    const int blockHigh = 1 << levelY;
    // Nearly every rectangle the walks ask about fits the largest level:
    // the four blocks at its corners, without a loop.
    if (lastX - firstX < 2 * blockWide && lastY - firstY < 2 * blockHigh) {
        const float* upper = level + static_cast<std::size_t>(firstY) * columns;
        const float* lower = level + static_cast<std::size_t>(lastY - blockHigh + 1) * columns;
        const int rightBlock = lastX - blockWide + 1;
        return std::max(std::max(upper[firstX], upper[rightBlock]),
                        std::max(lower[firstX], lower[rightBlock]));
    }
    float maximum = kNoPixel;
    for (int y = firstY;; y = std::min(y + blockHigh, lastY - blockHigh + 1)) {
        const float* row = &level[static_cast<std::size_t>(y) * columns];
        for (int x = firstX;; x = std::min(x + blockWide, lastX - blockWide + 1)) {
            maximum = std::max(maximum, row[x]);
            if (x + blockWide > lastX) {
                break;
            }
        }
        if (y + blockHigh > lastY) {
            break;
        }
    }
    return maximum;
}
