#include "sitemap/bounded_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

struct PictureSize {
    unsigned long long width = 0;
    unsigned long long height = 0;
    unsigned bitsPerPixel = 0;
};

std::string mebibytes(long double bytes) {
    return std::to_string(static_cast<unsigned long long>(std::ceil(bytes / (1ull << 20)))) +
           " MiB";
}

// FreeImage has no header-only load for GIF; it decodes the first image at
// the size of that image's descriptor, which follows the global colour table
// and any extension blocks.
bool readGifSize(const std::string& path, PictureSize& size) {
    std::ifstream file(path, std::ios::binary);
    unsigned char screen[13] = {};
    file.read(reinterpret_cast<char*>(screen), sizeof screen);
    if (screen[10] & 0x80) {
        file.ignore(3 << ((screen[10] & 7) + 1));
    }
    int introducer = file.get();
    for (; introducer == 0x21; introducer = file.get()) {
        file.get();  // the extension's label, then its sub-blocks up to an empty one
        for (int length = file.get(); length > 0; length = file.get()) {
            file.ignore(length);
        }
    }
    unsigned char descriptor[8] = {};
    if (introducer != 0x2c || !file.read(reinterpret_cast<char*>(descriptor), sizeof descriptor)) {
        return false;
    }
    size = {descriptor[4] + 256ull * descriptor[5], descriptor[6] + 256ull * descriptor[7], 8};
    return true;
}

bool readHeaderSize(FREE_IMAGE_FORMAT format, const std::string& path, int flags,
                    PictureSize& size) {
    FIBITMAP* header = FreeImage_Load(format, path.c_str(), flags | FIF_LOAD_NOPIXELS);
    if (!header) {
        return false;
    }
    size = {FreeImage_GetWidth(header), FreeImage_GetHeight(header), FreeImage_GetBPP(header)};
    FreeImage_Unload(header);
    return true;
}

}  // namespace

FIBITMAP* loadBoundedPicture(FREE_IMAGE_FORMAT format, const std::string& path, int flags,
                             std::string& refusal) {
    refusal.clear();
    if (format != FIF_GIF && !FreeImage_FIFSupportsNoPixels(format)) {
        // Without a header-only load such a file could declare any size.
        refusal = path + " is in " + FreeImage_GetFormatFromFIF(format) +
                  " format, whose size cannot be read before decoding it (convert it to PNG)";
        return nullptr;
    }
    PictureSize size;
    if (!(format == FIF_GIF ? readGifSize(path, size)
                            : readHeaderSize(format, path, flags, size))) {
        return nullptr;
    }
    const unsigned bytesPerPixel = std::max(32u, size.bitsPerPixel) / 8;
    if (size.width * size.height > kMostDecodedPictureBytes / bytesPerPixel) {
        refusal = path + " is " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                  " pixels, " +
                  mebibytes(static_cast<long double>(size.width) * size.height * bytesPerPixel) +
                  " decoded; the limit is " + mebibytes(kMostDecodedPictureBytes);
        return nullptr;
    }
    return FreeImage_Load(format, path.c_str(), flags);
}
