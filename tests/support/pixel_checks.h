#pragma once

#include <sstream>
#include <string>

#include "tests/support/gl_test_window.h"

constexpr Rgb kMarkerRed{255, 0, 0};

inline std::string describe(const Rgb& colour) {
    std::ostringstream text;
    text << '(' << int(colour[0]) << ", " << int(colour[1]) << ", " << int(colour[2]) << ')';
    return text.str();
}

// A marker is a 4 x 4 square of pixels around the window position (x, y)
// of its site, which the tests keep integral.
inline bool inMarkerSquare(int column, int row, int x, int y) {
    return column >= x - 2 && column <= x + 1 && row >= y - 2 && row <= y + 1;
}

// Collects the pixels that break a test's expectation and describes the
// first few, so one bad picture gives one readable failure.
class PixelMismatches {
public:
    void expect(bool holds, int column, int row, const Rgb& seen, const std::string& wanted) {
        if (holds) {
            return;
        }
        if (++mismatchCount <= 8) {
            details << "\n  pixel (" << column << ", " << row << ") is " << describe(seen)
                    << ", expected " << wanted;
        }
    }
    int count() const { return mismatchCount; }
    std::string summary() const { return details.str(); }

private:
    int mismatchCount = 0;
    std::ostringstream details;
};
