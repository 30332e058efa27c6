#include <FreeImage.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <memory>
#include <new>
#include <vector>

#include "measure/file_replacement.h"
#include "measure/frame_capture.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"

namespace {

using ImageHandle = std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)>;
using MemoryHandle = std::unique_ptr<FIMEMORY, decltype(&FreeImage_CloseMemory)>;

// The background as the colour buffer holds it, blue, green, red.
std::vector<unsigned char> backgroundPixel() {
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    std::vector<unsigned char> pixel;
    for (int channel : {2, 1, 0}) {
        pixel.push_back(static_cast<unsigned char>(std::lround(clear[channel] * 255.0f)));
    }
    return pixel;
}

// The window's lower-left width x height pixels, bottom row first, in BGR,
// the byte order of a 24-bit image in memory and on disk. What lies beyond a
// shrunk window has no defined content in GL and is left the background.
std::vector<unsigned char> readFrame(int width, int height) {
    std::vector<unsigned char> pixels = backgroundFrame(width, height);
    const int coveredWidth = std::min(width, glutGet(GLUT_WINDOW_WIDTH));
    const int coveredHeight = std::min(height, glutGet(GLUT_WINDOW_HEIGHT));
    if (coveredWidth > 0 && coveredHeight > 0) {
        const BufferBinding intoMemory(GL_PIXEL_PACK_BUFFER, 0);
        const PixelStore gapless(GL_PACK_ALIGNMENT, 1);  // for any width
        const PixelStore rows(GL_PACK_ROW_LENGTH, width);
        glReadPixels(0, 0, coveredWidth, coveredHeight, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    }
    return pixels;
}

}  // namespace

std::vector<unsigned char> backgroundFrame(int width, int height) {
    const std::vector<unsigned char> background = backgroundPixel();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(std::max(width, 0)) *
                                      std::max(height, 0) * 3);
    for (std::size_t offset = 0; offset < pixels.size(); offset += 3) {
        std::copy(background.begin(), background.end(), pixels.begin() + offset);
    }
    return pixels;
}

bool saveFramePixels(std::vector<unsigned char>& pixels, int width, int height, const char* path) {
    ImageHandle image(
        FreeImage_ConvertFromRawBits(pixels.data(), width, height, width * 3, 24, FI_RGBA_RED_MASK,
                                     FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE),
        &FreeImage_Unload);
    MemoryHandle encoded(FreeImage_OpenMemory(), &FreeImage_CloseMemory);
    BYTE* bytes = nullptr;
    DWORD count = 0;
    return image && encoded && FreeImage_SaveToMemory(FIF_BMP, image.get(), encoded.get(), 0) &&
           FreeImage_AcquireMemory(encoded.get(), &bytes, &count) &&
           replaceFileContents(path, bytes, count);
}

// Writes the window's lower-left width x height pixels as a 24-bit BMP, in
// the window's own colours and with the window's bottom row as the file's top
// row. An existing file is replaced only by a complete one.
void HeightMap::saveFrame(const char* path, int width, int height) {
    bool saved = false;
    if (width > 0 && height > 0) {
        try {
            std::vector<unsigned char> pixels = readFrame(width, height);
            saved = saveFramePixels(pixels, width, height, path);
        } catch (const std::bad_alloc&) {
            // Too large a rectangle to hold: reported below like any failed write.
        }
    }
    if (!saved) {
        std::cout << "Could not write " << path << std::endl;
    }
}
