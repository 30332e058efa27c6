#include "tests/test_images.h"

#include <gtest/gtest.h>

namespace {

void saveAndUnload(FIBITMAP* image, const std::string& path, FREE_IMAGE_FORMAT format) {
    ASSERT_NE(image, nullptr);
    const bool saved = FreeImage_Save(format, image, path.c_str(), 0);
    FreeImage_Unload(image);
    ASSERT_TRUE(saved) << path;
}

// FreeImage stores the bottom row first.
BYTE* rowFromTop(FIBITMAP* image, int row) {
    return FreeImage_GetScanLine(image, static_cast<int>(FreeImage_GetHeight(image)) - 1 - row);
}

}  // namespace

void saveGreyImage(const std::string& path, int width, int height, const GreyAt& greyAt,
                   FREE_IMAGE_FORMAT format) {
    FIBITMAP* image = FreeImage_Allocate(width, height, 8);
    RGBQUAD* palette = FreeImage_GetPalette(image);
    for (int level = 0; level < 256; ++level) {
        const BYTE grey = static_cast<BYTE>(level);
        palette[level] = rgb(grey, grey, grey);
    }
    for (int row = 0; row < height; ++row) {
        BYTE* line = rowFromTop(image, row);
        for (int column = 0; column < width; ++column) {
            line[column] = greyAt(column, row);
        }
    }
    saveAndUnload(image, path, format);
}

void saveColourImage(const std::string& path, int width, int height, const ColourAt& colourAt,
                     FREE_IMAGE_FORMAT format) {
    FIBITMAP* image = FreeImage_Allocate(width, height, 24);
    for (int row = 0; row < height; ++row) {
        BYTE* line = rowFromTop(image, row);
        for (int column = 0; column < width; ++column) {
            const RGBQUAD colour = colourAt(column, row);
            line[column * 3 + FI_RGBA_RED] = colour.rgbRed;
            line[column * 3 + FI_RGBA_GREEN] = colour.rgbGreen;
            line[column * 3 + FI_RGBA_BLUE] = colour.rgbBlue;
        }
    }
    saveAndUnload(image, path, format);
}

void savePaletteImage(const std::string& path, int width, int height, const RGBQUAD* palette,
                      int paletteSize, const GreyAt& indexAt) {
    FIBITMAP* image = FreeImage_Allocate(width, height, 8);
    RGBQUAD* imagePalette = FreeImage_GetPalette(image);
    for (int entry = 0; entry < 256; ++entry) {
        imagePalette[entry] = entry < paletteSize ? palette[entry] : rgb(0, 0, 0);
    }
    for (int row = 0; row < height; ++row) {
        BYTE* line = rowFromTop(image, row);
        for (int column = 0; column < width; ++column) {
            line[column] = indexAt(column, row);
        }
    }
    saveAndUnload(image, path, FIF_BMP);
}
