#include "tools/image_fitting.h"

#include <gtest/gtest.h>

namespace {

GreyRaster numbered(int width, int height) {
    GreyRaster picture(width, height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            picture.at(column, row) = static_cast<unsigned char>(1 + row * width + column);
        }
    }
    return picture;
}

TEST(PlaceCentred, SurroundsASmallerPictureWithZeros) {
    const GreyRaster picture = numbered(4, 2);
    const GreyRaster raster = placeCentred(picture, 6);
    ASSERT_EQ(raster.width, 6);
    ASSERT_EQ(raster.height, 6);
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            const bool inside = column >= 1 && column < 5 && row >= 2 && row < 4;
            EXPECT_EQ(raster.at(column, row), inside ? picture.at(column - 1, row - 2) : 0)
                << "column " << column << ", row " << row;
        }
    }
}

TEST(PlaceCentred, CutsALargerPictureEvenlyOnBothSides) {
    const GreyRaster picture = numbered(8, 3);
    const GreyRaster raster = placeCentred(picture, 4);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            // Two columns cut on each side; the three rows start at row 0.
            EXPECT_EQ(raster.at(column, row), row < 3 ? picture.at(column + 2, row) : 0)
                << "column " << column << ", row " << row;
        }
    }
}

}  // namespace
