#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

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

// A BMP of `byteCount` zero pixel bytes whose header declares width x height
// pixels of 24 bits: a small file that would decode to a huge picture.
inline void saveBmpDeclaring(const std::string& path, int width, int height, int byteCount) {
    const auto field = [](std::string& bytes, long long value, int size) {
        for (int shift = 0; shift < size * 8; shift += 8) {
            bytes.push_back(static_cast<char>((value >> shift) & 0xff));
        }
    };
    std::string bytes = "BM";
    field(bytes, 54 + byteCount, 4);
    field(bytes, 0, 4);
    field(bytes, 54, 4);
    for (const auto& [value, size] : {std::pair{40, 4}, {width, 4}, {height, 4}, {1, 2}, {24, 2}}) {
        field(bytes, value, size);
    }
    bytes.append(24 + byteCount, '\0');
    std::ofstream(path, std::ios::binary) << bytes;
}
