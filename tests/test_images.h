#pragma once

#include <FreeImage.h>

#include <functional>
#include <string>

// Writes real image files through FreeImage. Coordinates are (column, row)
// with row 0 at the top of the picture.

inline RGBQUAD rgb(BYTE red, BYTE green, BYTE blue) {
    RGBQUAD colour{};
    colour.rgbRed = red;
    colour.rgbGreen = green;
    colour.rgbBlue = blue;
    return colour;
}

using GreyAt = std::function<unsigned char(int column, int row)>;
using ColourAt = std::function<RGBQUAD(int column, int row)>;

// An 8-bit image with a grey palette.
void saveGreyImage(const std::string& path, int width, int height, const GreyAt& greyAt,
                   FREE_IMAGE_FORMAT format = FIF_BMP);
// A 24-bit colour image.
void saveColourImage(const std::string& path, int width, int height, const ColourAt& colourAt,
                     FREE_IMAGE_FORMAT format = FIF_BMP);
// An 8-bit image whose palette holds the given colours, indexed by indexAt.
void savePaletteImage(const std::string& path, int width, int height, const RGBQUAD* palette,
                      int paletteSize, const GreyAt& indexAt);
