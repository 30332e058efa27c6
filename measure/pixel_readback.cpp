#include "measure/pixel_readback.h"

#include <GL/gl.h>

#include <cstddef>

#include "sitemap/gl_state.h"

std::vector<unsigned char> readRgbPixels(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    glFinish();
    const BufferBinding intoMemory(GL_PIXEL_PACK_BUFFER, 0);
    const PixelStore gapless(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
