#include "tools/image_reading.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "sitemap/bounded_picture.h"

namespace {

using ImageHandle = std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)>;

ImageHandle loadAnyFormat(const std::string& path, std::string& refusal) {
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(path.c_str());
    }
    if (format == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(format)) {
        return ImageHandle(nullptr, &FreeImage_Unload);
    }
    // Photos from cameras are often stored sideways with a note to turn them.
    const int flags = format == FIF_JPEG ? JPEG_EXIFROTATE : 0;
    return ImageHandle(loadBoundedPicture(format, path, flags, refusal), &FreeImage_Unload);
}

ImageHandle toGrey(FIBITMAP* image) {
    ImageHandle standard(nullptr, &FreeImage_Unload);
    if (FreeImage_GetImageType(image) != FIT_BITMAP) {
        // 16-bit and floating-point pictures are brought to 8 bits per channel first.
        standard.reset(FreeImage_ConvertToType(image, FIT_BITMAP, TRUE));
        if (!standard) {
            return standard;
        }
        image = standard.get();
    }
    return ImageHandle(FreeImage_ConvertToGreyscale(image), &FreeImage_Unload);
}

}  // namespace

bool readScaledGreyImage(const std::string& path, int longerSide, GreyRaster& picture,
                         std::string& problem) {
    std::string refusal;
    ImageHandle loaded = loadAnyFormat(path, refusal);
    if (!loaded) {
        problem = refusal.empty() ? "could not read " + path + " as an image" : refusal;
        return false;
    }
    ImageHandle grey = toGrey(loaded.get());
    loaded.reset();
    if (!grey) {
        problem = "could not make " + path + " grey";
        return false;
    }
    const int width = static_cast<int>(FreeImage_GetWidth(grey.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(grey.get()));
    const double scale = static_cast<double>(longerSide) / std::max(width, height);
    const int scaledWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    const int scaledHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
    if (scaledWidth != width || scaledHeight != height) {
        grey.reset(FreeImage_Rescale(grey.get(), scaledWidth, scaledHeight, FILTER_BILINEAR));
        if (!grey) {
            problem = "could not scale " + path;
            return false;
        }
    }
    picture = GreyRaster(scaledWidth, scaledHeight);
    for (int row = 0; row < scaledHeight; ++row) {
        // FreeImage keeps the bottom row first.
        const BYTE* scanLine = FreeImage_GetScanLine(grey.get(), scaledHeight - 1 - row);
        std::copy(scanLine, scanLine + scaledWidth, &picture.at(0, row));
    }
    return true;
}
