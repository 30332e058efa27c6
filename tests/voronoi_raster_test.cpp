#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/test_images.h"

namespace {

namespace fs = std::filesystem;

// Runs the built tool with the arguments and an output path, and returns the
// raster it wrote.
class VoronoiRasterTool : public ::testing::Test {
protected:
    std::vector<unsigned char> run(const std::string& arguments) const {
        const std::string command = VORONOI_RASTER_PATH " " + arguments + " " + pathOf("out.raw");
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const std::string raster = contentsOf("out.raw");
        return {raster.begin(), raster.end()};
    }
    std::string contentsOf(const std::string& name) const {
        std::ifstream file(pathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    std::string pathOf(const std::string& name) const { return (scratch.path() / name).string(); }

    ScratchDir scratch;
};

TEST_F(VoronoiRasterTool, EdgesOptionMarksADrawnLineAndLeavesFlatAreasBlack) {
    // A black bar on white, rows 500 to 507, columns 100 to 899.
    const auto bar = [](int column, int row) {
        const bool onBar = column >= 100 && column < 900 && row >= 500 && row < 508;
        return onBar ? ImageColour{0, 0, 0} : ImageColour{255, 255, 255};
    };
    saveImage(pathOf("bar.png"), 996, 996, 24, bar, FIF_PNG);
    const std::vector<unsigned char> edges = run("--edges " + pathOf("bar.png"));
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

// A bright disc on grey whose rim fades over 40 pixels: nowhere steeper than
// 4 grey levels a pixel, where a fixed threshold found no strong edge.
ImageColour blurredDisc(int column, int row) {
    const double fade = std::clamp((std::hypot(column - 498, row - 350) - 280) / 40, 0.0, 1.0);
    const auto level = static_cast<unsigned char>(220 - 160 * fade);
    return {level, level, level};
}

// Squares of 12 pixels: far more edge pixels, all equally strong, than both caps.
ImageColour checkerboard(int column, int row) {
    return (column / 12 + row / 12) % 2 ? ImageColour{250, 250, 250} : ImageColour{10, 10, 10};
}

// The demo's keys find sites in every raster: the face's strokes, and the
// strongest edges by rank, also where they are soft or tie far beyond the caps.
TEST_F(VoronoiRasterTool, RastersHaveTheDemoEdgeAndSitesForBothKeys) {
    saveImage(pathOf("disc.png"), 996, 700, 24, blurredDisc, FIF_PNG);
    saveImage(pathOf("checker.png"), 996, 996, 24, checkerboard, FIF_PNG);
    saveImage(pathOf("wide.gif"), 300, 200, 8, checkerboard, FIF_GIF);
    const struct {
        std::string arguments;
        int fewestStrong, mostStrong, fewestWeak, mostWeak;
    } cases[] = {
        {"--face", 2000, 8000, 1, 996 * 996},
        {"--edges " + pathOf("disc.png"), 1000, 6000, 0, 6000},
        {"--edges " + pathOf("checker.png"), 6000, 6000, 6000, 6000},
        {pathOf("wide.gif"), 0, 0, 1, 996 * 996},  // greys up to 250, scaled up
    };
    for (const auto& [arguments, fewestStrong, mostStrong, fewestWeak, mostWeak] : cases) {
        const std::vector<unsigned char> raster = run(arguments);
        ASSERT_EQ(raster.size(), 996u * 996u) << arguments;
        const auto strong = std::count(raster.begin(), raster.end(), 255);
        const auto weak = std::count_if(raster.begin(), raster.end(),
                                        [](unsigned char sample) { return sample >= 231; }) -
                          strong;
        EXPECT_TRUE(strong >= fewestStrong && strong <= mostStrong) << arguments << ": " << strong;
        EXPECT_TRUE(weak >= fewestWeak && weak <= mostWeak) << arguments << ": " << weak;
    }
}

// Each refusal or failure prints one line, exits with 1, keeps the output as it
// was and leaves no other file beside it, without decoding a huge picture.
TEST_F(VoronoiRasterTool, RefusalsAndFailedWritesKeepTheOldOutput) {
    saveBmpDeclaring(pathOf("bomb.bmp"), 65535, 65535);
    // Its first image declares 20000 x 20000 pixels.
    const char gif[] =
        "GIF89a\x64\0\x64\0\x80\0\0\0\0\0\xff\xff\xff\x2c\0\0\0\0\x20\x4e\x20\x4e\0"
        "\x02\x02\x4c\x01\0\x3b";
    std::ofstream(pathOf("bomb.gif"), std::ios::binary).write(gif, sizeof gif - 1);
    const auto flat = [](int, int) { return ImageColour{90, 90, 90}; };
    saveImage(pathOf("flat.png"), 40, 30, 24, flat, FIF_PNG);
    saveImage(pathOf("disc.png"), 996, 700, 24, blurredDisc, FIF_PNG);
    const std::vector<unsigned char> old(996 * 996, 7);
    const std::string out = pathOf("out.raw");
    const struct {
        std::string shellPrefix, arguments, line;
    } cases[] = {
        {"", pathOf("bomb.bmp"),
         pathOf("bomb.bmp") + " is 65535 x 65535 pixels, 16384 MiB decoded; the limit is 256 MiB"},
        {"", pathOf("bomb.gif"),
         pathOf("bomb.gif") + " is 20000 x 20000 pixels, 1526 MiB decoded; the limit is 256 MiB"},
        {"", "--edges " + pathOf("flat.png"),
         pathOf("flat.png") + " has no edges; " + out + " is not written"},
        {"", out, out + " is the input file itself"},
        // A file-size limit fails writes for root too, like a full disk.
        {"trap '' XFSZ; ulimit -f 100; ", pathOf("disc.png"), "could not write " + out},
    };
    for (const auto& [shellPrefix, arguments, line] : cases) {
        scratch.write("out.raw", old);
        const std::string command = "sh -c \"" + shellPrefix + "/usr/bin/time -q -f %M -o " +
                                    pathOf("kilobytes") + " " VORONOI_RASTER_PATH " " + arguments +
                                    " " + out + "\" 2>" + pathOf("errors");
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << command;
        EXPECT_EQ(contentsOf("errors"), "voronoi_raster: " + line + "\n");
        EXPECT_TRUE(contentsOf("out.raw") == std::string(old.begin(), old.end())) << arguments;
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), {}), 7) << arguments;
        EXPECT_LT(std::stoi(contentsOf("kilobytes")), 500000) << arguments;
    }
}

}  // namespace
