#include "tests/support/gl_test_window.h"

#include <GL/freeglut.h>

#include "app/window.h"
#include "measure/pixel_readback.h"
#include "sitemap/height_map.h"
#include "tests/support/leak_check.h"

void openTestWindow(int width, int height) {
    static int windowId = 0;
    if (windowId == 0) {
        int argc = 1;
        char name[] = "voronoi_tests";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        openWindow(width, height);
        windowId = glutGetWindow();
        // freeglut ends the process when it must show a window that has no
        // display callback; the tests draw and read back on their own.
        glutDisplayFunc([] {});
    } else {
        glutSetWindow(windowId);
        glutReshapeWindow(width, height);
    }
    // Let the window manager-less server map and size the window.
    for (int pass = 0; pass < 3; ++pass) {
        glutMainLoopEvent();
    }
    HeightMap().initGL();
    setUpView(width, height);
    glViewport(0, 0, width, height);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

PixelGrid::PixelGrid(int width, int height)
    : gridWidth(width), bytes(static_cast<std::size_t>(width) * height * 3) {}

PixelGrid PixelGrid::readBack(int width, int height) {
    PixelGrid grid(width, height);
    grid.bytes = readRgbPixels(width, height);
    return grid;
}

Rgb PixelGrid::at(int column, int row) const {
    const std::size_t offset = (static_cast<std::size_t>(row) * gridWidth + column) * 3;
    return {bytes[offset], bytes[offset + 1], bytes[offset + 2]};
}

int pixelsDifferingFrom(int width, int height, const std::function<Rgb(int, int)>& picture) {
    const PixelGrid window = PixelGrid::readBack(width, height);
    int differing = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            differing += window.at(column, row) != picture(column, row);
        }
    }
    return differing;
}
