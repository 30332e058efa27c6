#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

using ImageColour = std::array<unsigned char, 3>;

// Writes a real image file through FreeImage: 8 bits with a grey palette
// (taking the red of each colour), or 24-bit colour. Row 0 is the top.
inline void saveImage(const std::string& path, int width, int height, int bitsPerPixel,
                      const std::function<ImageColour(int column, int row)>& colourAt,
                      FREE_IMAGE_FORMAT format = FIF_BMP) {
    FIBITMAP* image = FreeImage_Allocate(width, height, bitsPerPixel);
    for (int level = 0; bitsPerPixel == 8 && level < 256; ++level) {
        const BYTE grey = static_cast<BYTE>(level);
        FreeImage_GetPalette(image)[level] = RGBQUAD{grey, grey, grey, 0};
    }
    for (int row = 0; row < height; ++row) {
        BYTE* line = FreeImage_GetScanLine(image, height - 1 - row);
        for (int column = 0; column < width; ++column) {
            const ImageColour colour = colourAt(column, row);
            if (bitsPerPixel == 8) {
                line[column] = colour[0];
            } else {
                line[column * 3 + FI_RGBA_RED] = colour[0];
                line[column * 3 + FI_RGBA_GREEN] = colour[1];
                line[column * 3 + FI_RGBA_BLUE] = colour[2];
            }
        }
    }
    EXPECT_TRUE(FreeImage_Save(format, image, path.c_str(), 0)) << path;
    FreeImage_Unload(image);
}

// A small real BMP whose header is changed to declare width x height pixels:
// a file of a few kilobytes that would decode to a huge picture.
inline void saveBmpDeclaring(const std::string& path, int width, int height) {
    saveImage(path, 40, 30, 24, [](int, int) { return ImageColour{}; });
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    const std::int32_t size[] = {width, height};  // little-endian, like the file
    file.seekp(18).write(reinterpret_cast<const char*>(size), sizeof size);
}
