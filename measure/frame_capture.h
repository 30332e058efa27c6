#pragma once

#include <vector>

// A frame as the window holds it: width x height pixels from its lower
// left, bottom row first, blue, green and red bytes.

// A frame of the background colour alone.
std::vector<unsigned char> backgroundFrame(int width, int height);
// Writes the frame as a 24-bit BMP whose top row is the frame's bottom row,
// replacing an existing file only by a complete one; false where it could
// not.
bool saveFramePixels(std::vector<unsigned char>& pixels, int width, int height, const char* path);
