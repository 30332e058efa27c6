#include <GL/freeglut.h>

#include <exception>
#include <iostream>

#include "app/callbacks.h"
#include "app/commands.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/window.h"
#include "app/window_loss.h"
#include "cells/large_arrays.h"
#include "measure/stopwatch.h"
#include "sitemap/height_map.h"

// About what the first extraction asks of the heap, with its preparation and
// pictures: per site, and per pixel of a window as large as the raster.
constexpr std::size_t kWarmBytesPerSite = 240;
constexpr std::size_t kWarmBytesPerPixel = 104;

int main(int argc, char** argv) {
    try {
        keepFreedMemory();
        // Set-up: the raster, the stopwatch, and a window as large as the
        // raster, with the drawings' programs compiled. A raster that fails
        // to load has said so; the program runs on without it.
        g_heightMap = new HeightMap();
        g_heightMap->loadRaw("data/face_binary_edges.raw", 996);
        const std::size_t pixels = static_cast<std::size_t>(g_heightMap->size) *
                                   static_cast<std::size_t>(g_heightMap->size);
        warmHeap(kWarmBytesPerSite * mostSitesOfAKey(*g_heightMap) + kWarmBytesPerPixel * pixels);
        g_stopwatch = new Stopwatch();
        g_windowWidth = g_heightMap->size;
        g_windowHeight = g_heightMap->size;

        glutInit(&argc, argv);
        openWindow(g_windowWidth, g_windowHeight);
        // Where the driver cannot pace the swaps, the idle callback paces frames.
        syncSwapsToDisplay();
        registerCallbacks();
        g_heightMap->initGL();
        setUpView(g_windowWidth, g_windowHeight);
        windowFrameRenderer().compilePrograms();
        g_windowId = glutGetWindow();
        watchForWindowLoss();

        // The loop: from here on everything happens in the callbacks, which
        // let no exception through.
        glutMainLoop();
    } catch (const std::exception& error) {
        std::cout << "Could not start: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
