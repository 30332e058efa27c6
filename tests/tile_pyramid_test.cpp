#include "outline/tile_pyramid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// The deepest unmarked pixel of every tile that the rectangle's part inside
// the picture touches, pixel by pixel.
float deepestTouched(const std::vector<FragmentKey>& pixels,
                     const std::vector<std::uint8_t>& marker, int width, int height, double left,
                     double top, double right, double bottom) {
    constexpr int kSide = TilePyramid::kTileSide;
    float deepest = TilePyramid::kNoPixel;
    if (right < 0.0 || bottom < 0.0 || left >= width || top >= height) {
        return deepest;
    }
    for (int y = 0; y < height; ++y) {
        const int tileTop = y / kSide * kSide;
        if (!(tileTop <= bottom && tileTop + kSide > top)) {
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int tileLeft = x / kSide * kSide;
            const std::size_t pixel = static_cast<std::size_t>(y) * width + x;
            if (tileLeft <= right && tileLeft + kSide > left && !marker[pixel]) {
                deepest = std::max(deepest, keyDepth(pixels[pixel]));
            }
        }
    }
    return deepest;
}

// The picture `pixels` as the threads leave it: each pixel's key in one
// layer or the other at random, the other layer holding nothing drawn.
PixelLayers inLayers(const std::vector<FragmentKey>& pixels, std::mt19937& random) {
    PixelLayers layers;
    layers.clear(pixels.size());
    for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
        layers.layer[random() % 2][pixel] = pixels[pixel];
    }
    return layers;
}

// Rectangles of every size, partly or wholly outside, in pictures whose
// tiles make levels of every shape; the pyramid must never tell less than
// the pixels hold, which would leave edges unwalked, nor more.
TEST(TilePyramid, TellsTheDeepestPixelOfTheTilesARectangleTouches) {
    std::mt19937 random(17);
    const int sizes[][2] = {{1, 1}, {7, 300}, {300, 7}, {260, 200}, {1000, 600}, {3000, 17}};
    for (const auto& size : sizes) {
        const int width = size[0];
        const int height = size[1];
        std::vector<FragmentKey> pixels(static_cast<std::size_t>(width) * height);
        std::vector<std::uint8_t> marker(pixels.size());
        std::uniform_real_distribution<float> depth(0.0f, 1.0f);
        for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
            // Mostly shallow, so that a deep pixel stands out where it is.
            const bool deep = random() % 97 == 0;
            pixels[pixel] = fragmentKey(deep ? 0.5f + depth(random) : 0.1f * depth(random), 3);
            marker[pixel] = random() % 5 == 0;
        }
        TilePyramid tiles;
        tiles.reset(width, height);
        tiles.refresh(inLayers(pixels, random), marker, TilePyramid::kNoPixel);
        std::uniform_real_distribution<double> place(-80.0, std::max(width, height) + 80.0);
        std::uniform_real_distribution<double> reach(0.0, 600.0);
        for (int rectangle = 0; rectangle < 400; ++rectangle) {
            const double left = place(random);
            const double top = place(random);
            const double right = left + (rectangle % 4 == 0 ? reach(random) : reach(random) / 20.0);
            const double bottom = top + (rectangle % 3 == 0 ? reach(random) : reach(random) / 20.0);
            ASSERT_EQ(tiles.blockMaximum(left, top, right, bottom),
                      deepestTouched(pixels, marker, width, height, left, top, right, bottom))
                << width << " x " << height << " picture, rectangle (" << left << ", " << top
                << ") to (" << right << ", " << bottom << ")";
        }
    }
}

// Walks lower pixels while a band runs; a tile read again must tell its
// deepest pixel as it is now, markers left out, a fragment at depth 0 (at
// an apex) counted, and a tile of markers only no pixel at all.
TEST(TilePyramid, ATileReadAgainTellsItsDeepestPixelNow) {
    std::mt19937 random(23);
    const int width = 21;
    const int height = 19;  // tiles cut short at the right and the bottom
    std::vector<FragmentKey> pixels(static_cast<std::size_t>(width) * height);
    std::vector<std::uint8_t> marker(pixels.size());
    std::uniform_real_distribution<float> depth(0.0f, 1.0f);
    for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
        pixels[pixel] = fragmentKey(0.5f + depth(random), 3);
    }
    TilePyramid tiles;
    tiles.reset(width, height);
    tiles.refresh(inLayers(pixels, random), marker, TilePyramid::kNoPixel);
    for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
        const int x = static_cast<int>(pixel % width);
        const int y = static_cast<int>(pixel / width);
        const int tile = y / 8 * 3 + x / 8;
        if (tile == 4 || random() % 4 == 0) {
            marker[pixel] = 1;
            pixels[pixel] = kMarkedKey;
        } else {
            pixels[pixel] = fragmentKey(tile == 2 ? 0.0f : 0.4f * depth(random), 5);
        }
    }
    const PixelLayers layers = inLayers(pixels, random);
    for (std::size_t tile = 0; tile < 9; ++tile) {
        tiles.rescan(tile, layers);
        const double left = tile % 3 * 8.0;
        const double top = tile / 3 * 8.0;
        EXPECT_EQ(tiles.deepestPerTile()[tile],
                  deepestTouched(pixels, marker, width, height, left, top, left, top))
            << "tile " << tile;
    }
    EXPECT_EQ(tiles.deepestPerTile()[2], 0.0f);
    EXPECT_EQ(tiles.deepestPerTile()[4], TilePyramid::kNoPixel);
}

}  // namespace
