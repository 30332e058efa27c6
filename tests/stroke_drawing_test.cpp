#include "tools/stroke_drawing.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int litPixels(const GreyRaster& raster) {
    int lit = 0;
    for (unsigned char sample : raster.samples) {
        lit += sample != 0;
    }
    return lit;
}

TEST(StrokeDrawing, ClipsPixelsOutsideTheRaster) {
    GreyRaster raster(8, 8);
    drawLine(raster, {-20, 3}, {30, 3}, 255);
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(raster.at(column, 3), 255);
    }
    EXPECT_EQ(litPixels(raster), 8);
}

TEST(StrokeDrawing, LinesTakeOnePixelPerStepAlongTheLongerAxis) {
    GreyRaster raster(100, 100);
    drawLine(raster, {10, 20}, {80, 45}, 255);
    EXPECT_EQ(litPixels(raster), 71);
    for (int column = 10; column <= 80; ++column) {
        int litInColumn = 0;
        for (int row = 0; row < 100; ++row) {
            if (raster.at(column, row) == 0) {
                continue;
            }
            ++litInColumn;
            const double idealRow = 20 + (column - 10) * 25.0 / 70.0;
            EXPECT_LE(std::abs(row - idealRow), 0.5 + 1e-9) << "column " << column;
        }
        EXPECT_EQ(litInColumn, 1) << "column " << column;
    }
}

TEST(StrokeDrawing, EllipseArcsStayOnTheCurveWithoutGaps) {
    GreyRaster raster(200, 200);
    const double radiusX = 80;
    const double radiusY = 50;
    drawEllipseArc(raster, {100, 100}, radiusX, radiusY, 0, 360, 240);
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 200; ++column) {
            if (raster.at(column, row) == 0) {
                continue;
            }
            EXPECT_EQ(raster.at(column, row), 240);
            // Off by at most about a pixel from the ellipse, measured radially.
            const double dx = (column - 100) / radiusX;
            const double dy = (row - 100) / radiusY;
            EXPECT_NEAR(std::hypot(dx, dy), 1.0, 2.0 / radiusY) << column << "," << row;
        }
    }
    // Closed: every column the ellipse spans is lit above and below the centre.
    for (int column = 21; column <= 179; ++column) {
        bool above = false;
        bool below = false;
        for (int row = 0; row < 200; ++row) {
            above = above || (row < 100 && raster.at(column, row) != 0);
            below = below || (row > 100 && raster.at(column, row) != 0);
        }
        EXPECT_TRUE(above && below) << "column " << column;
    }
}

TEST(StrokeDrawing, CurvesRunFromTheirStartToTheirEnd) {
    GreyRaster raster(100, 100);
    drawCubic(raster, {5, 90}, {20, 10}, {80, 10}, {95, 90}, 255);
    drawQuadratic(raster, {5, 95}, {50, 60}, {95, 95}, 250);
    EXPECT_EQ(raster.at(5, 90), 255);
    EXPECT_EQ(raster.at(95, 90), 255);
    EXPECT_EQ(raster.at(5, 95), 250);
    EXPECT_EQ(raster.at(95, 95), 250);
    // The cubic's apex: 0.125 * 90 + 0.75 * 10 + 0.125 * 90 = 30 at column 50.
    EXPECT_EQ(raster.at(50, 30), 255);
}

}  // namespace
