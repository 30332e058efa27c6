#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "sitemap/bounded_picture.h"
#include "sitemap/height_map.h"

namespace {

constexpr const char* kTempFolder = "temp";
constexpr const char* kTempRasterPath = "temp/convert_temp.raw";
// The largest edge loadRaw accepts: its planes of 2 * edge * edge bytes stay int-indexable.
constexpr int kLargestEdge = 32767;

using ImageHandle = std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)>;
using RawBuffer = std::unique_ptr<unsigned char, decltype(&std::free)>;

// One byte of brightness per pixel. A palette image stays indexed after the
// 8-bit conversion, so its indices are mapped through the palette to grey.
ImageHandle toGreySamples(FIBITMAP* image) {
    ImageHandle eightBit(FreeImage_ConvertTo8Bits(image), &FreeImage_Unload);
    if (!eightBit || FreeImage_GetColorType(eightBit.get()) == FIC_MINISBLACK) {
        return eightBit;
    }
    return ImageHandle(FreeImage_ConvertToGreyscale(eightBit.get()), &FreeImage_Unload);
}

// The samples top row first on an edge x edge grid: what the image lacks
// stays 0, what lies right of or below the grid is left out.
RawBuffer toRawSamples(FIBITMAP* grey, int edge) {
    const std::size_t bufferBytes = static_cast<std::size_t>(edge) * edge;
    RawBuffer buffer(static_cast<unsigned char*>(std::calloc(bufferBytes, 1)), &std::free);
    if (!buffer) {
        return buffer;
    }
    const int width = static_cast<int>(FreeImage_GetWidth(grey));
    const int height = static_cast<int>(FreeImage_GetHeight(grey));
    ImageHandle cropped(nullptr, &FreeImage_Unload);
    if (width > edge || height > edge) {
        cropped.reset(FreeImage_Copy(grey, 0, 0, std::min(width, edge), std::min(height, edge)));
        if (!cropped) {
            return RawBuffer(nullptr, &std::free);
        }
        grey = cropped.get();
    }
    FreeImage_ConvertToRawBits(buffer.get(), grey, edge, 8, 2, 1, 0, TRUE);
    return buffer;
}

bool writeTempRaster(const unsigned char* samples, int edge) {
    std::error_code ignored;
    // When this fails the open below fails too, and reports it.
    std::filesystem::create_directories(kTempFolder, ignored);
    std::FILE* file = std::fopen(kTempRasterPath, "wb");
    if (!file) {
        return false;
    }
    const std::size_t sampleCount = static_cast<std::size_t>(edge) * edge;
    const bool written = std::fwrite(samples, 1, sampleCount, file) == sampleCount;
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool HeightMap::importImage(const char* path, int edge) {
    if (edge < 1 || edge > kLargestEdge) {
        std::cout << "Invalid image edge: " << edge << std::endl;
        return false;
    }
    // Every step that fails returns before loadRaw, so the raster loaded now stays.
    std::string refusal;
    ImageHandle loaded(loadBoundedPicture(FIF_BMP, path, BMP_DEFAULT, refusal), &FreeImage_Unload);
    if (!loaded) {
        std::cout << (refusal.empty() ? "Could not load image file " + std::string(path) : refusal)
                  << std::endl;
        return false;
    }
    ImageHandle grey = toGreySamples(loaded.get());
    loaded.reset();
    if (!grey) {
        std::cout << "Could not convert image to 8 bits" << std::endl;
        return false;
    }
    RawBuffer samples = toRawSamples(grey.get(), edge);
    grey.reset();
    if (!samples) {
        std::cout << "Could not convert image to raw samples" << std::endl;
        return false;
    }
    if (!writeTempRaster(samples.get(), edge)) {
        std::cout << "Could not write " << kTempRasterPath << std::endl;
        return false;
    }
    return loadRaw(kTempRasterPath, edge);
}
