#include "app/globals.h"

HeightMap* g_heightMap = nullptr;
Stopwatch* g_stopwatch = nullptr;
int g_windowWidth = 0;
int g_windowHeight = 0;
float g_zoom = 1.0f;
float g_panX = 0.0f;
float g_panY = 0.0f;
int g_windowId = 0;
