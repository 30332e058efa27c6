#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/test_images.h"

namespace {

// Runs the built tool with the arguments and an output path, and returns the
// raster it wrote.
class VoronoiRasterTool : public ::testing::Test {
protected:
    std::vector<unsigned char> run(const std::string& arguments) const {
        const std::string output = pathOf("out.raw");
        const std::string command = VORONOI_RASTER_PATH " " + arguments + " " + output;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream file(output, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    std::string pathOf(const std::string& name) const { return (scratch.path() / name).string(); }

    ScratchDir scratch;
};

TEST_F(VoronoiRasterTool, DrawsTheDefaultFaceInMainStrokesAndSofterDetails) {
    const std::vector<unsigned char> face = run("--face");
    ASSERT_EQ(face.size(), 996u * 996u);
    int mainPixels = 0;
    int softPixels = 0;
    for (unsigned char sample : face) {
        mainPixels += sample == 255;
        softPixels += sample >= 231 && sample <= 254;
    }
    EXPECT_GE(mainPixels, 2000);
    EXPECT_LE(mainPixels, 8000);
    EXPECT_GT(softPixels, 0);
}

TEST_F(VoronoiRasterTool, TurnsAPictureOfAnySizeIntoARawOfTheDemoEdge) {
    saveImage(
        pathOf("wide.png"), 300, 200, 24,
        [](int, int) {
            return ImageColour{90, 90, 90};
        },
        FIF_PNG);
    EXPECT_EQ(run(pathOf("wide.png")).size(), 996u * 996u);
}

TEST_F(VoronoiRasterTool, EdgesOptionMarksADrawnLineAndLeavesFlatAreasBlack) {
    // A black bar on white, rows 500 to 507, columns 100 to 899.
    const auto onBar = [](int column, int row) {
        return column >= 100 && column < 900 && row >= 500 && row < 508;
    };
    saveImage(
        pathOf("bar.png"), 996, 996, 24,
        [&](int column, int row) {
            return onBar(column, row) ? ImageColour{0, 0, 0} : ImageColour{255, 255, 255};
        },
        FIF_PNG);
    const std::vector<unsigned char> edges = run("--edges " + pathOf("bar.png"));
    ASSERT_EQ(edges.size(), 996u * 996u);
    for (int row = 0; row < 996; ++row) {
        for (int column = 0; column < 996; ++column) {
            const bool nearOutline = column >= 94 && column < 906 && row >= 494 && row < 514;
            ASSERT_TRUE(nearOutline || edges[row * 996 + column] == 0) << column << ", " << row;
        }
    }
    // Both long sides of the outline are traced along their length.
    for (int column = 120; column < 880; ++column) {
        int traced = 0;
        for (int row = 494; row < 514; ++row) {
            traced += edges[row * 996 + column] == 255;
        }
        EXPECT_GE(traced, 2) << "column " << column;
    }
}

}  // namespace
