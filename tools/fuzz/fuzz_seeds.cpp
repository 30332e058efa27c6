#include "tools/fuzz/fuzz_seeds.h"

#include <FreeImage.h>

#include <fstream>
#include <memory>
#include <vector>

namespace {

using ImageHandle = std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)>;

constexpr int kWidth = 24;
constexpr int kHeight = 16;
constexpr int kRasterEdge = 64;

// A colour ramp crossed by a dark bar, so that the converter finds edges.
ImageHandle drawPicture() {
    ImageHandle picture(FreeImage_Allocate(kWidth, kHeight, 24), &FreeImage_Unload);
    for (int row = 0; row < kHeight; ++row) {
        BYTE* line = FreeImage_GetScanLine(picture.get(), row);
        for (int column = 0; column < kWidth; ++column) {
            const bool onBar = column >= 8 && column < 12;
            line[column * 3 + FI_RGBA_RED] = onBar ? 10 : static_cast<BYTE>(column * 10);
            line[column * 3 + FI_RGBA_GREEN] = onBar ? 10 : static_cast<BYTE>(row * 15);
            line[column * 3 + FI_RGBA_BLUE] = onBar ? 10 : 200;
        }
    }
    return picture;
}

}  // namespace

void writeFuzzSeeds(const std::string& folder) {
    const ImageHandle colour = drawPicture();
    const ImageHandle indexed(FreeImage_ColorQuantize(colour.get(), FIQ_WUQUANT),
                              &FreeImage_Unload);
    const struct {
        const char* name;
        FREE_IMAGE_FORMAT format;
        FIBITMAP* picture;
        int flags;
    } seeds[] = {
        {"colour.bmp", FIF_BMP, colour.get(), 0},
        {"indexed.bmp", FIF_BMP, indexed.get(), 0},
        {"packed.bmp", FIF_BMP, indexed.get(), BMP_SAVE_RLE},
        {"colour.png", FIF_PNG, colour.get(), 0},
        {"indexed.png", FIF_PNG, indexed.get(), 0},
        {"colour.jpg", FIF_JPEG, colour.get(), 0},
        {"colour.tif", FIF_TIFF, colour.get(), TIFF_NONE},
        {"colour.tga", FIF_TARGA, colour.get(), 0},
        {"colour.ppm", FIF_PPMRAW, colour.get(), 0},
        {"indexed.gif", FIF_GIF, indexed.get(), 0},
    };
    for (const auto& seed : seeds) {
        FreeImage_Save(seed.format, seed.picture, (folder + "/" + seed.name).c_str(), seed.flags);
    }
    std::vector<char> raster(kRasterEdge * kRasterEdge);
    for (std::size_t index = 0; index < raster.size(); ++index) {
        raster[index] = static_cast<char>(index % 7 == 0 ? 255 : index % 256);
    }
    std::ofstream(folder + "/raster.raw", std::ios::binary).write(raster.data(), raster.size());
}
