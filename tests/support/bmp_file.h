#pragma once

#include <FreeImage.h>

#include <string>

#include "tests/support/gl_test_window.h"

// A saved picture read back with FreeImage, addressed the way a viewer shows
// it: column from the left, row from the top.
class BmpFile {
public:
    explicit BmpFile(const std::string& path)
        : fileType(FreeImage_GetFileType(path.c_str(), 0)),
          image(FreeImage_Load(FIF_BMP, path.c_str(), 0)) {}
    ~BmpFile() {
        if (image) {
            FreeImage_Unload(image);
        }
    }
    BmpFile(const BmpFile&) = delete;
    BmpFile& operator=(const BmpFile&) = delete;

    bool loaded() const { return image != nullptr; }
    // What the file's own bytes say it is, whatever its name.
    FREE_IMAGE_FORMAT type() const { return fileType; }
    int width() const { return image ? static_cast<int>(FreeImage_GetWidth(image)) : 0; }
    int height() const { return image ? static_cast<int>(FreeImage_GetHeight(image)) : 0; }
    int bitsPerPixel() const { return image ? static_cast<int>(FreeImage_GetBPP(image)) : 0; }

    Rgb at(int column, int rowFromTop) const {
        RGBQUAD colour{};
        // FreeImage counts scan lines from the bottom.
        FreeImage_GetPixelColor(image, column, height() - 1 - rowFromTop, &colour);
        return {colour.rgbRed, colour.rgbGreen, colour.rgbBlue};
    }

private:
    FREE_IMAGE_FORMAT fileType;
    FIBITMAP* image;
};
