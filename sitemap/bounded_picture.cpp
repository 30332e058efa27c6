#include "sitemap/bounded_picture.h"

#include <algorithm>
#include <cmath>

namespace {

std::string mebibytes(long double bytes) {
    return std::to_string(static_cast<unsigned long long>(std::ceil(bytes / (1ull << 20)))) +
           " MiB";
}

}  // namespace

FIBITMAP* loadBoundedPicture(FREE_IMAGE_FORMAT format, const std::string& path, int flags,
                             std::string& refusal) {
    refusal.clear();
    if (!FreeImage_FIFSupportsNoPixels(format)) {
        // Without a header-only load such a file could declare any size.
        refusal = path + " is a " + FreeImage_GetFormatFromFIF(format) +
                  " picture, whose size cannot be read before decoding it (convert it to PNG)";
        return nullptr;
    }
    FIBITMAP* header = FreeImage_Load(format, path.c_str(), flags | FIF_LOAD_NOPIXELS);
    if (!header) {
        return nullptr;
    }
    const unsigned long long width = FreeImage_GetWidth(header);
    const unsigned long long height = FreeImage_GetHeight(header);
    const unsigned bytesPerPixel = std::max(32u, FreeImage_GetBPP(header)) / 8;
    FreeImage_Unload(header);
    if (width * height > kMostDecodedPictureBytes / bytesPerPixel) {
        refusal = path + " is " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels, " +
                  mebibytes(static_cast<long double>(width) * height * bytesPerPixel) +
                  " decoded; the limit is " + mebibytes(kMostDecodedPictureBytes);
        return nullptr;
    }
    return FreeImage_Load(format, path.c_str(), flags);
}
