#include "sitemap/height_map.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* const kLoadedLines =
    "RAW file loaded\n"
    "Press 1 to extract binary color range data\n"
    "Press 2 to extract color data in the given minimum and maximum range\n";

// Distinct, position-dependent samples, so a misplaced byte shows.
std::vector<unsigned char> patternedRaster(int edge) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(edge) * edge);
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<unsigned char>((index * 7 + index / edge) % 256);
    }
    return bytes;
}

void addSite(HeightMap& map, double x, double y) {
    Site* site = static_cast<Site*>(std::malloc(sizeof(Site)));
    *site = Site{x, y, 1, 2, 3, map.sites};
    map.sites = site;
    ++map.siteCount;
}

class LoadRaw : public ::testing::Test {
protected:
    ScratchDir scratch;
    HeightMap map;
};

TEST_F(LoadRaw, SampleAtColumnAndRowIsTheFileByteInRowMajorOrder) {
    const int edge = 37;
    const std::vector<unsigned char> bytes = patternedRaster(edge);
    ConsoleCapture console;

    ASSERT_TRUE(map.loadRaw(scratch.write("r.raw", bytes).c_str(), edge));

    EXPECT_EQ(console.text(), kLoadedLines);
    EXPECT_EQ(map.size, edge);
    EXPECT_EQ(map.loadedSize, edge);
    for (int row = 0; row < edge; ++row) {
        for (int column = 0; column < edge; ++column) {
            ASSERT_EQ(map.heights[row * edge + column], bytes[row * edge + column])
                << "column " << column << ", row " << row;
        }
    }
}

TEST_F(LoadRaw, MissingFileFailsAndLeavesAFreshMapEmpty) {
    addSite(map, 4, 5);
    ConsoleCapture console;

    EXPECT_FALSE(map.loadRaw((scratch.path() / "absent.raw").c_str(), 996));

    EXPECT_EQ(console.text(), "Could not open RAW height data file\n");
    EXPECT_EQ(map.size, 0);
    EXPECT_EQ(map.loadedSize, 0);
    EXPECT_EQ(map.heights, nullptr);
    EXPECT_EQ(map.targetX, nullptr);
    EXPECT_EQ(map.targetY, nullptr);
    EXPECT_EQ(map.siteCount, 1);
    EXPECT_EQ(map.sites->x, 4);
}

TEST_F(LoadRaw, DirectoryIsNotARaster) {
    ConsoleCapture console;
    EXPECT_FALSE(map.loadRaw(scratch.path().c_str(), 4));
    EXPECT_EQ(console.text(), "Could not open RAW height data file\n");
    EXPECT_EQ(map.heights, nullptr);
}

TEST_F(LoadRaw, ShortFileLoadsWithZerosAndSaysHowMuchWasRead) {
    const std::vector<unsigned char> bytes{9, 8, 7, 6, 5};
    ConsoleCapture console;

    ASSERT_TRUE(map.loadRaw(scratch.write("short.raw", bytes).c_str(), 3));

    EXPECT_EQ(console.text(),
              std::string(kLoadedLines) +
                  "RAW height data file is short: read 5 of 9 bytes, the rest is 0\n");
    const std::vector<unsigned char> loaded(map.heights, map.heights + 9);
    EXPECT_EQ(loaded, (std::vector<unsigned char>{9, 8, 7, 6, 5, 0, 0, 0, 0}));
}

TEST_F(LoadRaw, EmptyFileLoadsAsAllZero) {
    ConsoleCapture console;
    ASSERT_TRUE(map.loadRaw(scratch.write("empty.raw", {}).c_str(), 4));
    EXPECT_NE(console.text().find("read 0 of 16 bytes"), std::string::npos);
    for (int index = 0; index < 16; ++index) {
        EXPECT_EQ(map.heights[index], 0);
    }
}

TEST_F(LoadRaw, LongFileIgnoresTheRest) {
    std::vector<unsigned char> bytes(20, 1);
    bytes[15] = 200;
    bytes[16] = 255;
    ConsoleCapture console;

    ASSERT_TRUE(map.loadRaw(scratch.write("long.raw", bytes).c_str(), 4));

    EXPECT_EQ(console.text(), kLoadedLines);
    EXPECT_EQ(map.heights[15], 200);
    // The plane beyond the raster is zeroed, not filled from the file.
    EXPECT_EQ(map.heights[16], 0);
}

TEST_F(LoadRaw, InvalidEdgeIsRejectedBeforeAnythingIsTouched) {
    const std::string path = scratch.write("r.raw", patternedRaster(5));
    ConsoleCapture console;
    ASSERT_TRUE(map.loadRaw(path.c_str(), 5));
    unsigned char* const loadedPlane = map.heights;

    for (int edge : {0, -1, INT_MIN, 32768, INT_MAX}) {
        EXPECT_FALSE(map.loadRaw(path.c_str(), edge)) << edge;
        EXPECT_EQ(map.heights, loadedPlane) << edge;
        EXPECT_EQ(map.size, 5);
        EXPECT_EQ(map.loadedSize, 5);
    }
    EXPECT_NE(console.text().find("Invalid RAW height data edge: 0\n"), std::string::npos);
    EXPECT_NE(console.text().find("Invalid RAW height data edge: 32768\n"), std::string::npos);
}

TEST_F(LoadRaw, ReloadWithAnotherEdgeKeepsTheSites) {
    ConsoleCapture console;
    ASSERT_TRUE(map.loadRaw(scratch.write("a.raw", patternedRaster(6)).c_str(), 6));
    addSite(map, 1, 1);
    addSite(map, 2, 2);

    ASSERT_TRUE(map.loadRaw(scratch.write("b.raw", patternedRaster(9)).c_str(), 9));

    EXPECT_EQ(map.size, 9);
    EXPECT_EQ(map.loadedSize, 9);
    EXPECT_EQ(map.heights[80], patternedRaster(9)[80]);
    EXPECT_EQ(map.siteCount, 2);
    EXPECT_EQ(map.sites->x, 2);
    EXPECT_EQ(map.sites->next->x, 1);
}

TEST_F(LoadRaw, FailedReloadLeavesNoRasterButKeepsTheOldEdge) {
    ConsoleCapture console;
    ASSERT_TRUE(map.loadRaw(scratch.write("a.raw", patternedRaster(6)).c_str(), 6));

    EXPECT_FALSE(map.loadRaw((scratch.path() / "gone.raw").c_str(), 6));

    EXPECT_EQ(map.heights, nullptr);
    EXPECT_EQ(map.targetX, nullptr);
    EXPECT_EQ(map.targetY, nullptr);
    EXPECT_EQ(map.loadedSize, 0);
    EXPECT_EQ(map.size, 6);
}

TEST(Release, IsHarmlessWithoutARasterAndWhenRepeated) {
    ScratchDir scratch;
    HeightMap map;
    EXPECT_TRUE(map.release());
    {
        ConsoleCapture console;
        ASSERT_TRUE(map.loadRaw(scratch.write("r.raw", patternedRaster(3)).c_str(), 3));
    }
    EXPECT_TRUE(map.release());
    EXPECT_TRUE(map.release());
    EXPECT_EQ(map.heights, nullptr);
    EXPECT_EQ(map.loadedSize, 0);
    EXPECT_EQ(map.size, 3);
}

TEST(ResetSites, SeedsTheSameSequenceForMapsBuiltInTheSameSecond) {
    // Retry across a second boundary, which could split the two builds.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        HeightMap first;
        const std::vector<int> firstDraws{std::rand(), std::rand(), std::rand()};
        HeightMap second;
        const std::vector<int> secondDraws{std::rand(), std::rand(), std::rand()};
        if (std::time(nullptr) != before) {
            continue;
        }
        EXPECT_EQ(firstDraws, secondDraws);
        return;
    }
    FAIL() << "the clock crossed a second boundary three times";
}

TEST(ResetSites, FreesTheListButKeepsTheCount) {
    HeightMap map;
    addSite(map, 1, 1);
    addSite(map, 2, 2);
    map.resetSites();
    EXPECT_EQ(map.sites, nullptr);
    EXPECT_EQ(map.siteCount, 2);
}

}  // namespace
