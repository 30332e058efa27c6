#pragma once

class HeightMap;

// Opens the benchmark's window as the program opens its own: square and as
// large as the loaded raster, with the map's fixed GL state and the
// pixel-exact view, and waits until the server has mapped it. Hands argc and
// argv to glutInit.
void openBenchWindow(HeightMap& map, int& argc, char** argv);
