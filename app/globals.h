#pragma once

class HeightMap;
class Stopwatch;

// The program's state, created in main and kept until the process ends.
extern HeightMap* g_heightMap;
extern Stopwatch* g_stopwatch;
extern int g_windowWidth;  // start-up window size; never changes afterwards
extern int g_windowHeight;
extern float g_zoom;  // scale about the window's lower-left corner
extern float g_panX;  // raster pixels, applied before the zoom
extern float g_panY;
extern int g_windowId;
