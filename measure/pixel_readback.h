#pragma once

#include <vector>

// The current read buffer's lower-left width x height pixels after all drawing
// has finished: red, green, blue bytes, rows bottom first and without gaps.
std::vector<unsigned char> readRgbPixels(int width, int height);
