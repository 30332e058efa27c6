#include <FreeImage.h>
#include <GL/gl.h>

#include <cstddef>
#include <iostream>
#include <new>

#include "sitemap/height_map.h"

// Writes the window's lower-left width x height pixels as a 24-bit BMP, in
// the window's own colours and with the window's bottom row as the file's top
// row.
void HeightMap::saveFrame(const char* path, int width, int height) {
    FIBITMAP* image = nullptr;
    bool saved = false;
    if (width > 0 && height > 0) {
        const int pitch = width * 3;
        unsigned char* pixels =
            new (std::nothrow) unsigned char[static_cast<std::size_t>(pitch) * height];
        if (pixels) {
            GLint savedAlignment = 4;
            glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);  // gapless rows for any width
            // BGR, the byte order of a 24-bit image in memory and on disk.
            glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, pixels);
            glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
            image = FreeImage_ConvertFromRawBits(pixels, width, height, pitch, 24, FI_RGBA_RED_MASK,
                                                 FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE);
            delete[] pixels;
        }
    }
    if (image) {
        saved = FreeImage_Save(FIF_BMP, image, path, 0);
        FreeImage_Unload(image);
    }
    if (!saved) {
        std::cout << "Could not write " << path << std::endl;
    }
}
