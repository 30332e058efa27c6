#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// A real GLUT window set up exactly as the program sets up its own: the
// fixed GL state, the pixel-exact projection and the background blue. One
// per process; later calls with another size resize it.
void openTestWindow(int width, int height);

using Rgb = std::array<std::uint8_t, 3>;

// The background (0.1, 0.57, 0.8) as it reads back from an 8-bit colour buffer.
inline Rgb backgroundColour() {
    return {26, 145, 204};
}

// The draw buffer's pixels as read back by glReadPixels.
class PixelGrid {
public:
    static PixelGrid readBack(int width, int height);

    // Column and row counted from the lower-left corner.
    Rgb at(int column, int row) const;

private:
    PixelGrid(int width, int height);
    int gridWidth;
    std::vector<std::uint8_t> bytes;
};

// How many of the draw buffer's width x height pixels differ from
// picture(column, row), rows counted from the bottom.
int pixelsDifferingFrom(int width, int height, const std::function<Rgb(int, int)>& picture);
