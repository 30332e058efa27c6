#pragma once

#include "sitemap/site.h"

// The square grey-scale raster, the sites taken from it and the operations
// that draw and export them. One instance lives for the whole program.
class HeightMap {
public:
    int size;       // edge of the raster in pixels; keeps the last loaded edge after a release
    int siteCount;  // sites added since construction; only grows
    Site* sites;    // head of the site list, newest first
    unsigned char*
        heights;  // sample of column x, row y at [y * size + x]; null when nothing is loaded
    unsigned char* targetX;  // planes allocated and freed together with heights
    unsigned char* targetY;
    int loadedSize;  // edge of the last successful load; 0 when nothing is loaded

    HeightMap();
    ~HeightMap();

    // Raster loading (height_map.cpp).
    bool loadRaw(const char* path, int edge);
    bool release();
    void resetSites();

    // Site extraction (extraction.cpp).
    void extractBinary(int targetValue, int stride);
    void extractRange(int low, int high);

    // Drawing (cone_drawing.cpp): the one-time GL state and the reference
    // drawing, one full cone per site.
    void initGL();
    void drawCones(int radius, bool markSites);

    // Frame capture (measure/frame_capture.cpp).
    void saveFrame(const char* path, int width, int height);

    // Auxiliary raster operations that no command invokes (targets.cpp, image_import.cpp).
    void generateTargets(int value);
    bool importImage(const char* path, int edge);
};
