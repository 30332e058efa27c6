#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sitemap/height_map.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"
#include "tests/test_images.h"

namespace {

namespace fs = std::filesystem;

const std::string kLoaded =
    "RAW file loaded\nPress 1 to extract binary color range data\n"
    "Press 2 to extract color data in the given minimum and maximum range\n";

// Works in a scratch folder of its own: the import writes "temp/" below the
// working directory.
class RasterOperations : public ::testing::Test {
protected:
    void SetUp() override { fs::current_path(scratch.path()); }
    void TearDown() override { fs::current_path(startDirectory); }

    void load(const std::vector<unsigned char>& raster, int edge) {
        printedBy([&] { ASSERT_TRUE(map.loadRaw(scratch.write("r.raw", raster).c_str(), edge)); });
    }

    const fs::path startDirectory = fs::current_path();
    ScratchDir scratch;
    HeightMap map;
};

using GenerateTargets = RasterOperations;

TEST_F(GenerateTargets, WritesTheMirroredPositionsOfExactlyTheMatchingPixels) {
    EXPECT_EQ(printedBy([&] { map.generateTargets(255); }), "Done!\n");  // no raster yet
    const int edge = 996;
    std::vector<unsigned char> raster(edge * edge, 254), expectedX(2 * edge * edge, 0);
    std::vector<unsigned char> expectedY = expectedX;
    for (const auto& [column, row] : {std::pair{10, 20}, {995, 0}, {0, 995}}) {
        raster[row * edge + column] = 255;
        expectedX[row * edge + column] = static_cast<unsigned char>(edge - column);
        expectedY[row * edge + column] = static_cast<unsigned char>(edge - row);
    }
    load(raster, edge);
    const std::string line = "Generating target points...\n";
    EXPECT_EQ(printedBy([&] { map.generateTargets(255); }), line + line + line + "Done!\n");
    EXPECT_EQ(std::vector<unsigned char>(map.targetX, map.targetX + 2 * edge * edge), expectedX);
    EXPECT_EQ(std::vector<unsigned char>(map.targetY, map.targetY + 2 * edge * edge), expectedY);
    EXPECT_EQ(map.targetX[20 * edge + 10], 218);  // 986, less 3 * 256 the plane's bytes cannot hold
    EXPECT_EQ(map.targetY[20 * edge + 10], 208);  // 976, likewise
}

// Distinct, position-dependent samples from 1 up, so a misplaced or flipped
// row shows and a 0 can only come from the fill.
unsigned char pattern(int column, int row) {
    return static_cast<unsigned char>(1 + (column * 5 + row * 3 + (column * row) % 7) % 255);
}

ImageColour grey(int column, int row) {
    return {pattern(column, row), pattern(column, row), pattern(column, row)};
}

class ImportImage : public RasterOperations {
protected:
    void SetUp() override {
        RasterOperations::SetUp();
        load(std::vector<unsigned char>(36, 9), 6);
    }

    // Imports and expects the samples within a grey level of expectedAt.
    void expectImported(const std::string& path, int edge,
                        const std::function<double(int column, int row)>& expectedAt) {
        EXPECT_EQ(printedBy([&] { ASSERT_TRUE(map.importImage(path.c_str(), edge)); }), kLoaded);
        ASSERT_EQ(map.size, edge);
        for (int row = 0; row < edge; ++row) {
            for (int column = 0; column < edge; ++column) {
                ASSERT_LT(std::abs(map.heights[row * edge + column] - expectedAt(column, row)), 1.0)
                    << "column " << column << ", row " << row;
            }
        }
    }

    // Expects the import to fail with the line and to keep the old raster.
    void expectFailure(const std::string& path, const std::string& line) {
        EXPECT_EQ(printedBy([&] { EXPECT_FALSE(map.importImage(path.c_str(), 6)); }), line + "\n");
        EXPECT_EQ(map.loadedSize, 6);
        EXPECT_EQ(std::vector<unsigned char>(map.heights, map.heights + 36),
                  std::vector<unsigned char>(36, 9));
    }
};

TEST_F(ImportImage, ReducesAColourImageToItsLuminance) {
    const auto colourAt = [](int column, int row) {
        return ImageColour{static_cast<unsigned char>(column * 4),
                           static_cast<unsigned char>(row * 4),
                           static_cast<unsigned char>(255 - column * 2 - row)};
    };
    saveImage("colour.bmp", 64, 64, 24, colourAt);
    // Rec. 709 weights.
    expectImported("colour.bmp", 64, [&](int column, int row) {
        const ImageColour colour = colourAt(column, row);
        return 0.2126 * colour[0] + 0.7152 * colour[1] + 0.0722 * colour[2];
    });
}

TEST_F(ImportImage, TakesGreyImagesTopRowFirstFillingOrCuttingToTheEdge) {
    saveImage("picture.bmp", 996, 996, 8, grey);
    expectImported("picture.bmp", 996, pattern);
    saveImage("small.bmp", 30, 20, 8, grey);
    expectImported("small.bmp", 50, [](int column, int row) {
        return column < 30 && row < 20 ? pattern(column, row) : 0;
    });
    saveImage("large.bmp", 120, 70, 8, grey);
    expectImported("large.bmp", 50, pattern);
}

TEST_F(ImportImage, FailureIsReportedAndKeepsTheOldRaster) {
    expectFailure("absent.bmp", "Could not load image file absent.bmp");
    std::ofstream("notes.bmp") << "not an image, just some text\n";
    expectFailure("notes.bmp", "Could not load image file notes.bmp");
    // Permissions do not stop root, but a file where the folder should be does.
    std::ofstream("temp") << "in the way\n";
    saveImage("picture.bmp", 6, 6, 8, grey);
    expectFailure("picture.bmp", "Could not write temp/convert_temp.raw");
    // 2 GiB if decoded, refused from its header.
    saveBmpDeclaring("tall.bmp", 64, 8388672);
    expectFailure("tall.bmp",
                  "tall.bmp is 64 x 8388672 pixels, 2049 MiB decoded; the limit is 256 MiB");
}

}  // namespace
