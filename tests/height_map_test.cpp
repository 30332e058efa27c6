#include "sitemap/height_map.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "sitemap/memory_room_testing.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/site_list.h"

namespace {

const std::string kLoaded =
    "RAW file loaded\nPress 1 to extract binary color range data\n"
    "Press 2 to extract color data in the given minimum and maximum range\n";
const std::string kCannotOpen = "Could not open RAW height data file\n";
const std::string kShort = "RAW height data file is short: read ";

class LoadRaw : public ::testing::Test {
protected:
    // Loads and returns what it printed.
    std::string load(const std::string& path, int edge, bool loads) {
        return printedBy([&] { EXPECT_EQ(map.loadRaw(path.c_str(), edge), loads) << path; });
    }
    std::string load(const std::vector<unsigned char>& bytes, int edge) {
        return load(scratch.write("r.raw", bytes), edge, true);
    }
    std::vector<unsigned char> heights() const {
        return {map.heights, map.heights + map.size * map.size};
    }

    ScratchDir scratch;
    HeightMap map;
    const std::string absent = (scratch.path() / "absent.raw").string();
};

TEST_F(LoadRaw, SampleAtColumnAndRowIsTheByteAtRowTimesEdgePlusColumn) {
    std::vector<unsigned char> bytes(37 * 37);
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<unsigned char>(index % 251);  // no two rows alike
    }
    EXPECT_EQ(load(bytes, 37), kLoaded);
    EXPECT_EQ(heights(), bytes);
    EXPECT_EQ(map.loadedSize, 37);
    EXPECT_TRUE(map.release());
    EXPECT_TRUE(map.release());
    EXPECT_EQ(map.heights, nullptr);
}

TEST_F(LoadRaw, ShortFilesAreFilledWithZerosAndLongOnesCut) {
    EXPECT_EQ(load({9, 8, 7, 6, 5}, 3), kLoaded + kShort + "5 of 9 bytes, the rest is 0\n");
    EXPECT_EQ(heights(), (std::vector<unsigned char>{9, 8, 7, 6, 5, 0, 0, 0, 0}));
    EXPECT_EQ(load({}, 2), kLoaded + kShort + "0 of 4 bytes, the rest is 0\n");
    EXPECT_EQ(heights(), std::vector<unsigned char>(4, 0));
    EXPECT_EQ(load({1, 2, 3, 4, 5, 6}, 2), kLoaded);
    EXPECT_EQ(heights(), (std::vector<unsigned char>{1, 2, 3, 4}));
}

TEST_F(LoadRaw, InvalidEdgeIsRejectedAndTheLoadedRasterKept) {
    load(std::vector<unsigned char>(25, 1), 5);
    const unsigned char* const loaded = map.heights;
    for (int edge : {0, -1, INT_MIN, 32768, INT_MAX}) {
        EXPECT_EQ(load(absent, edge, false),
                  "Invalid RAW height data edge: " + std::to_string(edge) + "\n");
        EXPECT_EQ(map.heights, loaded);
        EXPECT_EQ(map.loadedSize, 5);
    }
}

TEST_F(LoadRaw, UnopenableFileLeavesNoRasterAndAReloadKeepsTheSites) {
    for (const std::string& path : {absent, scratch.path().string()}) {
        EXPECT_EQ(load(path, 6, false), kCannotOpen);
        EXPECT_EQ(map.heights, nullptr);
        EXPECT_EQ(map.size, 0);
        EXPECT_EQ(map.loadedSize, 0);
    }
    load(std::vector<unsigned char>(36, 1), 6);
    addSite(map, 1, 1, {});
    addSite(map, 2, 2, {});
    load(std::vector<unsigned char>(81, 2), 9);
    EXPECT_EQ(heights(), std::vector<unsigned char>(81, 2));
    EXPECT_EQ(map.siteCount, 2);
    EXPECT_EQ(map.sites->next->x, 1);

    EXPECT_EQ(load(absent, 6, false), kCannotOpen);
    EXPECT_EQ(map.heights, nullptr);
    EXPECT_EQ(map.targetX, nullptr);
    EXPECT_EQ(map.targetY, nullptr);
    EXPECT_EQ(map.loadedSize, 0);
    EXPECT_EQ(map.size, 9);
}

// Memory running out for any of a new raster's planes leaves the raster
// loaded before as it was (an import goes through here too).
TEST_F(LoadRaw, RasterThatCannotBeHeldLeavesTheOneLoadedBefore) {
    load(std::vector<unsigned char>(25, 7), 5);
    const unsigned char* const loaded = map.heights;
    const std::string larger = scratch.write("larger.raw", std::vector<unsigned char>(81, 9));
    for (int plane = 0; plane < 3; ++plane) {
        failLargeAllocationAfter(plane);
        EXPECT_EQ(load(larger, 9, false), "Could not allocate memory for RAW height data file\n");
        failLargeAllocationAfter(-1);
        EXPECT_EQ(map.heights, loaded);
        EXPECT_EQ(heights(), std::vector<unsigned char>(25, 7));
        EXPECT_EQ(map.loadedSize, 5);
    }
}

TEST(HeightMap, TwoBuiltInTheSameSecondSeedTheSameSequence) {
    // Retried when a second boundary splits the two builds.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        HeightMap first;
        const std::vector<int> firstDraws{std::rand(), std::rand(), std::rand()};
        HeightMap second;
        const std::vector<int> secondDraws{std::rand(), std::rand(), std::rand()};
        if (std::time(nullptr) == before) {
            EXPECT_EQ(firstDraws, secondDraws);
            return;
        }
    }
    FAIL() << "the clock crossed a second boundary three times";
}

}  // namespace
