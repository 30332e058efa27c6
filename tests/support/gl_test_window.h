#pragma once

#include <array>
#include <cstdint>
#include <vector>

// A real GLUT window set up exactly as the program sets up its own: the
// fixed GL state, the pixel-exact projection and the background blue. One
// per process; later calls with another size resize it.
void openTestWindow(int width, int height);

using Rgb = std::array<std::uint8_t, 3>;

// The draw buffer's pixels, bottom row first, as read back by glReadPixels.
class PixelGrid {
public:
    PixelGrid(int width, int height);
    static PixelGrid readBack(int width, int height);

    int width() const { return gridWidth; }
    int height() const { return gridHeight; }
    // Column and row counted from the lower-left corner.
    Rgb at(int column, int row) const;

private:
    int gridWidth;
    int gridHeight;
    std::vector<std::uint8_t> bytes;
};

// The background as it reads back from an 8-bit colour buffer.
Rgb backgroundColour();
