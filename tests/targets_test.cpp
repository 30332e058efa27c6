#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sitemap/height_map.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* const kMatchLine = "Generating target points...\n";

struct Pixel {
    int column;
    int row;
};

class GenerateTargets : public ::testing::Test {
protected:
    // Loads a raster of 0s with `value` at the given pixels and 254 beside each,
    // so a near miss would show.
    void loadWith(int edge, const std::vector<Pixel>& pixels, unsigned char value) {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(edge) * edge, 0);
        for (const Pixel& pixel : pixels) {
            bytes[pixel.row * edge + pixel.column] = value;
            if (pixel.column + 1 < edge && bytes[pixel.row * edge + pixel.column + 1] == 0) {
                bytes[pixel.row * edge + pixel.column + 1] = 254;
            }
        }
        ConsoleCapture quiet;
        ASSERT_TRUE(map.loadRaw(scratch.write("r.raw", bytes).c_str(), edge));
    }

    std::vector<unsigned char> plane(const unsigned char* cells) const {
        return std::vector<unsigned char>(cells, cells + 2 * map.size * map.size);
    }

    static std::string repeated(const char* line, int times) {
        std::string text;
        for (int count = 0; count < times; ++count) {
            text += line;
        }
        return text;
    }

    ScratchDir scratch;
    HeightMap map;
};

TEST_F(GenerateTargets, WritesMirroredPositionsForExactlyTheMatchingPixels) {
    const int edge = 40;
    const std::vector<Pixel> matches = {{3, 7}, {39, 0}, {0, 39}};
    loadWith(edge, matches, 255);
    std::vector<unsigned char> expectedX = plane(map.targetX);
    std::vector<unsigned char> expectedY = plane(map.targetY);
    for (const Pixel& pixel : matches) {
        expectedX[pixel.row * edge + pixel.column] =
            static_cast<unsigned char>(edge - pixel.column);
        expectedY[pixel.row * edge + pixel.column] = static_cast<unsigned char>(edge - pixel.row);
    }
    ConsoleCapture console;

    map.generateTargets(255);

    EXPECT_EQ(console.text(), repeated(kMatchLine, 3) + "Done!\n");
    EXPECT_EQ(plane(map.targetX), expectedX);
    EXPECT_EQ(plane(map.targetY), expectedY);
}

TEST_F(GenerateTargets, KeepsTheLowEightBitsOnTheDemoRaster) {
    loadWith(996, {{10, 20}, {0, 995}}, 77);
    ConsoleCapture console;

    map.generateTargets(77);

    EXPECT_EQ(console.text(), repeated(kMatchLine, 2) + "Done!\n");
    EXPECT_EQ(map.targetX[20 * 996 + 10], 986 % 256);
    EXPECT_EQ(map.targetY[20 * 996 + 10], 976 % 256);
    EXPECT_EQ(map.targetX[995 * 996 + 0], 996 % 256);
    EXPECT_EQ(map.targetY[995 * 996 + 0], 1);
}

TEST_F(GenerateTargets, ValuesOutsideAByteMatchNothing) {
    loadWith(16, {{5, 5}}, 255);
    const std::vector<unsigned char> before = plane(map.targetX);
    ConsoleCapture console;

    map.generateTargets(255 + 256);
    map.generateTargets(-1);

    EXPECT_EQ(console.text(), "Done!\nDone!\n");
    EXPECT_EQ(plane(map.targetX), before);
}

TEST_F(GenerateTargets, WithoutARasterOnlyReportsDone) {
    {
        ConsoleCapture console;
        map.generateTargets(0);
        EXPECT_EQ(console.text(), "Done!\n");
    }
    // Released by a failed reload: size still holds the old edge, the planes are gone.
    loadWith(16, {{1, 1}}, 0);
    ConsoleCapture console;
    EXPECT_FALSE(map.loadRaw((scratch.path() / "absent.raw").c_str(), 16));
    map.generateTargets(0);
    EXPECT_EQ(console.text(), "Could not open RAW height data file\nDone!\n");
}

}  // namespace
