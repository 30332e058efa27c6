#include "measure/pixel_readback.h"

#include <GL/gl.h>

#include <cstddef>

std::vector<unsigned char> readRgbPixels(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    glFinish();
    GLint savedAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
    return pixels;
}
