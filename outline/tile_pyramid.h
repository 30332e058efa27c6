#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "outline/fragment_key.h"
#include "outline/pixel_layers.h"

// The deepest fragment per 8 x 8 tile of the picture being worked out, and
// over every block of 2^i x 2^j tiles: an edge deeper than that across a
// stretch can change nothing there. Pixels under markers do not count.
class TilePyramid {
public:
    static constexpr int kTileShift = 3;
    static constexpr int kTileSide = 1 << kTileShift;
    // The deepest value of a tile or block with no pixel that counts.
    static constexpr float kNoPixel = -1.0f;

    // A picture of width x height pixels; every tile to be refreshed.
    void reset(int width, int height);
    // Works the tiles out again from the pixels, where a walk has touched
    // them since the last refresh and their deepest pixel lies at
    // `settledBelow` or deeper: from there on nothing changes the rest.
    void refresh(const PixelLayers& pixels, const std::vector<std::uint8_t>& marker,
                 float settledBelow);

    // The deepest pixel that counts within the tiles the rectangle (window
    // pixels, rows from the top) touches: kNoPixel where none does.
    float blockMaximum(double left, double top, double right, double bottom) const;
    // The deepest pixel that counts in the whole picture.
    float deepest() const { return pictureMax; }

    int tilesX() const { return columns; }
    int tilesY() const { return rows; }
    // Per tile, rows of tiles from the top: the deepest pixel, and a mark
    // that a walk sets when it offers fragments to the tile's pixels.
    // Other walks read them while a rescan lowers one.
    const float* deepestPerTile() const { return tileMax.data(); }
    std::uint8_t* touchedMarks() { return touched.data(); }
    // Works the tile's deepest value out again from `pixels` as they are now,
    // while walks lower them, and keeps it where it is less.
    void rescan(std::size_t tile, const PixelLayers& pixels);

private:
    void buildLevels();

    int width = 0;
    int height = 0;
    int columns = 0;
    int rows = 0;
    float pictureMax = kNoPixel;
    std::vector<float> tileMax;
    std::vector<std::uint8_t> touched;
    // Level (i, j): per tile, the deepest value of the 2^i x 2^j tiles from
    // it right and down, for every i and j that fit.
    int levelsX = 0;
    int levelsY = 0;
    std::vector<float> levels;
};
