#include "tools/edge_detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;

GreyRaster paint(int width, int height, const std::function<int(int, int)>& greyAt) {
    GreyRaster raster(width, height);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            raster.at(column, row) = static_cast<unsigned char>(greyAt(column, row));
        }
    }
    return raster;
}

int countWhere(const GreyRaster& raster, const std::function<bool(unsigned char)>& test) {
    int count = 0;
    for (unsigned char sample : raster.samples) {
        count += test(sample);
    }
    return count;
}

// A step between two greys at column 100 of a 200 x 120 picture.
GreyRaster verticalStep(int leftGrey, int rightGrey) {
    return paint(200, 120, [=](int column, int) { return column < 100 ? leftGrey : rightGrey; });
}

TEST(DetectEdges, MarksASharpStepWithOneFullPixelPerRow) {
    const GreyRaster edges = detectEdges(verticalStep(30, 230));
    for (int row = 0; row < edges.height; ++row) {
        int lit = 0;
        for (int column = 0; column < edges.width; ++column) {
            if (edges.at(column, row) == 0) {
                continue;
            }
            ++lit;
            EXPECT_EQ(edges.at(column, row), 255);
            EXPECT_TRUE(column == 99 || column == 100) << "column " << column << ", row " << row;
        }
        EXPECT_EQ(lit, 1) << "row " << row;
    }
}

TEST(DetectEdges, GivesFaintStepsSoftValuesAndIgnoresBarelyVisibleOnes) {
    const GreyRaster faint = detectEdges(verticalStep(100, 120));
    EXPECT_EQ(countWhere(faint, [](unsigned char v) { return v >= 231 && v <= 254; }),
              faint.height);
    EXPECT_EQ(countWhere(faint, [](unsigned char v) { return v == 255 || (v > 0 && v < 231); }), 0);

    const GreyRaster barely = detectEdges(verticalStep(100, 106));
    EXPECT_EQ(countWhere(barely, [](unsigned char v) { return v != 0; }), 0);
    const GreyRaster flat = detectEdges(paint(50, 50, [](int, int) { return 77; }));
    EXPECT_EQ(countWhere(flat, [](unsigned char v) { return v != 0; }), 0);
}

TEST(DetectEdges, TracesACurvedOutlineOnePixelThin) {
    const double radius = 60.0;
    const GreyRaster edges = detectEdges(paint(200, 200, [&](int column, int row) {
        return std::hypot(column - 100, row - 100) < radius ? 220 : 20;
    }));
    int lit = 0;
    bool sectorLit[36] = {};
    for (int row = 0; row < edges.height; ++row) {
        for (int column = 0; column < edges.width; ++column) {
            if (edges.at(column, row) != 255) {
                EXPECT_EQ(edges.at(column, row), 0);
                continue;
            }
            ++lit;
            EXPECT_NEAR(std::hypot(column - 100, row - 100), radius, 1.5);
            const double degrees = std::atan2(row - 100, column - 100) * 180.0 / kPi + 180.0;
            sectorLit[static_cast<int>(degrees / 10.0) % 36] = true;
        }
    }
    for (int sector = 0; sector < 36; ++sector) {
        EXPECT_TRUE(sectorLit[sector])
            << "no edge between " << sector * 10 << " and " << sector * 10 + 10 << " degrees";
    }
    // Thin: no 2 x 2 block is full, and no more pixels than a 4-connected
    // ring, which takes one step across or down per pixel: 8 r.
    for (int row = 0; row + 1 < edges.height; ++row) {
        for (int column = 0; column + 1 < edges.width; ++column) {
            EXPECT_FALSE(edges.at(column, row) && edges.at(column + 1, row) &&
                         edges.at(column, row + 1) && edges.at(column + 1, row + 1))
                << "column " << column << ", row " << row;
        }
    }
    EXPECT_LE(lit, 8 * radius + 4);
}

TEST(DetectEdges, KeepsTheStrongestEdgesWithinTheSiteCaps) {
    // Left half: black and white squares; right half: two mid greys. The left
    // half alone has more edge pixels than the strong cap allows.
    const GreyRaster edges = detectEdges(paint(400, 300, [](int column, int row) {
        const bool odd = (column / 10 + row / 10) % 2 == 1;
        if (column < 200) {
            return odd ? 255 : 0;
        }
        return odd ? 160 : 100;
    }));
    const int strong = countWhere(edges, [](unsigned char v) { return v == 255; });
    const int lit = countWhere(edges, [](unsigned char v) { return v != 0; });
    EXPECT_LE(strong, kMostStrongEdgePixels);
    EXPECT_GT(strong, kMostStrongEdgePixels * 3 / 4);
    EXPECT_LE(lit, kMostEdgePixels);
    EXPECT_GT(lit, strong);
    for (int row = 0; row < edges.height; ++row) {
        for (int column = 203; column < edges.width; ++column) {
            ASSERT_NE(edges.at(column, row), 255) << "column " << column << ", row " << row;
        }
    }
}

}  // namespace
