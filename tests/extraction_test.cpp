#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sitemap/height_map.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

using Position = std::pair<double, double>;

// Records what was written between flushes, so a test sees where the console
// was flushed as well as what it shows.
class FlushRecorder : public std::streambuf {
public:
    std::vector<std::string> flushedChunks;
    std::string pending;

protected:
    int_type overflow(int_type character) override {
        if (!traits_type::eq_int_type(character, traits_type::eof())) {
            pending.push_back(traits_type::to_char_type(character));
        }
        return character;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending.append(text, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override {
        flushedChunks.push_back(pending);
        pending.clear();
        return 0;
    }
};

class RecordedConsole {
public:
    RecordedConsole() : saved(std::cout.rdbuf(&recorder)) {}
    ~RecordedConsole() { std::cout.rdbuf(saved); }
    RecordedConsole(const RecordedConsole&) = delete;
    RecordedConsole& operator=(const RecordedConsole&) = delete;

    const std::vector<std::string>& flushedChunks() const { return recorder.flushedChunks; }
    const std::string& unflushed() const { return recorder.pending; }

private:
    FlushRecorder recorder;
    std::streambuf* saved;
};

std::vector<unsigned char> uniformRaster(int edge, unsigned char value) {
    return std::vector<unsigned char>(static_cast<std::size_t>(edge) * edge, value);
}

void setSample(std::vector<unsigned char>& raster, int edge, int column, int row,
               unsigned char value) {
    raster[static_cast<std::size_t>(row) * edge + column] = value;
}

std::vector<const Site*> listOf(const HeightMap& map) {
    std::vector<const Site*> list;
    for (const Site* site = map.sites; site; site = site->next) {
        list.push_back(site);
    }
    return list;
}

// Positions from the head of the list to its end.
std::vector<Position> positionsOf(const HeightMap& map) {
    std::vector<Position> positions;
    for (const Site* site : listOf(map)) {
        positions.emplace_back(site->x, site->y);
    }
    return positions;
}

class Extraction : public ::testing::Test {
protected:
    void load(const std::vector<unsigned char>& raster, int edge) {
        ConsoleCapture loaderLines;
        ASSERT_TRUE(map.loadRaw(scratch.write("heights.raw", raster).c_str(), edge));
    }

    ScratchDir scratch;
    HeightMap map;
};

using ExtractBinary = Extraction;
using ExtractRange = Extraction;

TEST_F(ExtractBinary, AllBrightRasterGivesEveryPixelOutsideRowAndColumnZero) {
    const int edge = 7;
    load(uniformRaster(edge, 255), edge);
    ConsoleCapture console;

    map.extractBinary(255, 1);

    const std::vector<Position> positions = positionsOf(map);
    EXPECT_EQ(map.siteCount, (edge - 1) * (edge - 1));
    ASSERT_EQ(positions.size(), static_cast<std::size_t>((edge - 1) * (edge - 1)));
    const std::set<Position> distinct(positions.begin(), positions.end());
    EXPECT_EQ(distinct.size(), positions.size());
    for (const Position& position : positions) {
        EXPECT_GE(position.first, 1);
        EXPECT_GE(position.second, 1);
        EXPECT_LE(position.first, edge - 1);
        EXPECT_LE(position.second, edge - 1);
    }
}

TEST_F(ExtractBinary, NeverTestsRowZeroOrColumnZero) {
    const int edge = 5;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 0, 0, 255);
    setSample(raster, edge, 3, 0, 255);
    setSample(raster, edge, 0, 2, 255);
    load(raster, edge);
    ConsoleCapture console;

    map.extractBinary(255, 1);

    EXPECT_EQ(map.siteCount, 0);
    EXPECT_EQ(map.sites, nullptr);
    EXPECT_EQ(console.text(), "");
}

TEST_F(ExtractBinary, StrideBelowOneScansAsStrideOne) {
    const int edge = 6;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    for (int index = 0; index < edge * edge; index += 3) {
        raster[static_cast<std::size_t>(index)] = 255;
    }
    load(raster, edge);
    std::string strideOneText;
    {
        ConsoleCapture console;
        map.extractBinary(255, 1);
        strideOneText = console.text();
    }
    const std::vector<Position> strideOne = positionsOf(map);
    ASSERT_FALSE(strideOne.empty());

    for (const int stride : {0, -3}) {
        HeightMap other;
        {
            ConsoleCapture loaderLines;
            ASSERT_TRUE(other.loadRaw(scratch.write("heights.raw", raster).c_str(), edge));
        }
        ConsoleCapture console;
        other.extractBinary(255, stride);
        EXPECT_EQ(positionsOf(other), strideOne) << "stride " << stride;
        EXPECT_EQ(console.text(), strideOneText) << "stride " << stride;
    }
}

TEST_F(ExtractBinary, StrideTwoOnEdgeFiveTestsColumnsAndRowsTwoAndFour) {
    const int edge = 5;
    load(uniformRaster(edge, 255), edge);
    ConsoleCapture console;

    map.extractBinary(255, 2);

    // Column-major scan, newest at the head.
    EXPECT_EQ(positionsOf(map), (std::vector<Position>{{4, 4}, {4, 2}, {2, 4}, {2, 2}}));
    EXPECT_EQ(map.siteCount, 4);
    EXPECT_EQ(console.text(),
              "point found at x:2, y: 2\n"
              "point found at x:2, y: 4\n"
              "point found at x:4, y: 2\n"
              "point found at x:4, y: 4\n");
}

TEST_F(ExtractBinary, TakesOnlyTheTargetValue) {
    const int edge = 4;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 1, 1, 254);
    setSample(raster, edge, 2, 1, 255);
    setSample(raster, edge, 3, 3, 254);
    load(raster, edge);
    ConsoleCapture console;

    map.extractBinary(254, 1);

    EXPECT_EQ(positionsOf(map), (std::vector<Position>{{3, 3}, {1, 1}}));
}

TEST_F(ExtractBinary, PrintsOneFlushedLinePerSiteInColumnMajorOrder) {
    const int edge = 4;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 1, 3, 255);
    setSample(raster, edge, 2, 1, 255);
    setSample(raster, edge, 3, 2, 255);
    setSample(raster, edge, 3, 1, 255);
    load(raster, edge);
    RecordedConsole console;

    map.extractBinary(255, 1);

    EXPECT_EQ(console.flushedChunks(), (std::vector<std::string>{
                                           "point found at x:1, y: 3\n",
                                           "point found at x:2, y: 1\n",
                                           "point found at x:3, y: 1\n",
                                           "point found at x:3, y: 2\n",
                                       }));
    EXPECT_EQ(console.unflushed(), "");
}

TEST_F(ExtractBinary, HeadIsTheHitWithTheHighestColumnThenRow) {
    const int edge = 6;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 2, 5, 255);
    setSample(raster, edge, 4, 1, 255);
    setSample(raster, edge, 4, 3, 255);
    setSample(raster, edge, 3, 4, 255);
    load(raster, edge);
    ConsoleCapture console;

    map.extractBinary(255, 1);

    ASSERT_NE(map.sites, nullptr);
    EXPECT_EQ(map.sites->x, 4);
    EXPECT_EQ(map.sites->y, 3);
}

TEST_F(ExtractBinary, SecondScanDoublesTheCountAndPutsItsSitesInFront) {
    const int edge = 5;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 1, 2, 255);
    setSample(raster, edge, 3, 3, 255);
    setSample(raster, edge, 4, 1, 255);
    load(raster, edge);
    ConsoleCapture console;

    map.extractBinary(255, 1);
    const std::vector<const Site*> firstScan = listOf(map);
    map.extractBinary(255, 1);

    const std::vector<const Site*> both = listOf(map);
    EXPECT_EQ(map.siteCount, 6);
    ASSERT_EQ(both.size(), 6u);
    // The first scan's sites are untouched, behind three new ones at the same places.
    EXPECT_EQ(std::vector<const Site*>(both.begin() + 3, both.end()), firstScan);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(both[index]->x, firstScan[index]->x);
        EXPECT_EQ(both[index]->y, firstScan[index]->y);
    }
}

TEST_F(ExtractBinary, ColoursAreThreeDrawsModulo255InScanOrder) {
    const int edge = 40;
    load(uniformRaster(edge, 255), edge);
    ConsoleCapture console;

    std::srand(20240611);
    map.extractBinary(255, 1);

    std::srand(20240611);
    std::vector<const Site*> scanOrder = listOf(map);
    std::reverse(scanOrder.begin(), scanOrder.end());
    for (const Site* site : scanOrder) {
        const int red = std::rand() % 255;
        const int green = std::rand() % 255;
        const int blue = std::rand() % 255;
        ASSERT_EQ(site->r, red);
        ASSERT_EQ(site->g, green);
        ASSERT_EQ(site->b, blue);
        ASSERT_LT(site->r, 255);
        ASSERT_LT(site->g, 255);
        ASSERT_LT(site->b, 255);
    }
}

TEST_F(ExtractRange, AllBrightRasterGivesEveryPixelMirrored) {
    const int edge = 6;
    load(uniformRaster(edge, 255), edge);
    ConsoleCapture console;

    map.extractRange(230, 255);

    const std::vector<Position> positions = positionsOf(map);
    EXPECT_EQ(map.siteCount, edge * edge);
    const std::set<Position> distinct(positions.begin(), positions.end());
    std::set<Position> expected;
    for (int x = 1; x <= edge; ++x) {
        for (int y = 1; y <= edge; ++y) {
            expected.emplace(x, y);
        }
    }
    EXPECT_EQ(positions.size(), expected.size());
    EXPECT_EQ(distinct, expected);
}

TEST_F(ExtractRange, TakesSamplesAbove230UpTo255) {
    const int edge = 4;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 1, 1, 230);
    setSample(raster, edge, 2, 1, 231);
    setSample(raster, edge, 3, 2, 255);
    setSample(raster, edge, 0, 3, 229);
    load(raster, edge);
    ConsoleCapture console;

    map.extractRange(230, 255);

    EXPECT_EQ(positionsOf(map), (std::vector<Position>{{4 - 3, 4 - 2}, {4 - 2, 4 - 1}}));
    EXPECT_EQ(map.siteCount, 2);
}

TEST_F(ExtractRange, PixelAtTheOriginPrintsItsOwnPlaceAndGivesTheFarCorner) {
    const int edge = 5;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 0, 0, 255);
    setSample(raster, edge, 0, 4, 240);
    setSample(raster, edge, 3, 0, 231);
    load(raster, edge);
    RecordedConsole console;

    map.extractRange(230, 255);

    EXPECT_EQ(console.flushedChunks(), (std::vector<std::string>{
                                           "point found at x:0, y: 0\n",
                                           "point->x: 5\n",
                                           "point->y: 5\n",
                                           "point found at x:0, y: 4\n",
                                           "point->x: 5\n",
                                           "point->y: 1\n",
                                           "point found at x:3, y: 0\n",
                                           "point->x: 2\n",
                                           "point->y: 5\n",
                                       }));
    EXPECT_EQ(console.unflushed(), "");
    // Head: the last hit of the scan, column 3, row 0.
    EXPECT_EQ(positionsOf(map), (std::vector<Position>{{2, 5}, {5, 1}, {5, 5}}));
}

TEST_F(ExtractRange, CoordinatesPrintInTheDefaultFloatFormat) {
    const int edge = 996;
    std::vector<unsigned char> raster = uniformRaster(edge, 0);
    setSample(raster, edge, 0, 995, 255);
    load(raster, edge);
    ConsoleCapture console;

    map.extractRange(230, 255);

    EXPECT_EQ(console.text(), "point found at x:0, y: 995\npoint->x: 996\npoint->y: 1\n");
}

TEST_F(ExtractRange, ColoursAreThreeDrawsModulo256InScanOrder) {
    const int edge = 30;
    load(uniformRaster(edge, 250), edge);
    ConsoleCapture console;

    std::srand(77);
    map.extractRange(230, 255);

    std::srand(77);
    std::vector<const Site*> scanOrder = listOf(map);
    ASSERT_EQ(scanOrder.size(), static_cast<std::size_t>(edge * edge));
    std::reverse(scanOrder.begin(), scanOrder.end());
    for (const Site* site : scanOrder) {
        const int red = std::rand() % 256;
        const int green = std::rand() % 256;
        const int blue = std::rand() % 256;
        ASSERT_EQ(site->r, red);
        ASSERT_EQ(site->g, green);
        ASSERT_EQ(site->b, blue);
    }
}

TEST(ExtractionWithoutRaster, AddsAndPrintsNothing) {
    HeightMap fresh;
    ConsoleCapture console;

    fresh.extractBinary(255, 1);
    fresh.extractRange(230, 255);

    EXPECT_EQ(fresh.siteCount, 0);
    EXPECT_EQ(fresh.sites, nullptr);
    EXPECT_EQ(console.text(), "");
}

TEST(ExtractionWithoutRaster, ReleasedRasterKeepsItsEdgeButYieldsNothing) {
    ScratchDir scratch;
    HeightMap map;
    const int edge = 4;
    {
        ConsoleCapture loaderLines;
        ASSERT_TRUE(map.loadRaw(scratch.write("h.raw", uniformRaster(edge, 255)).c_str(), edge));
    }
    map.release();
    ASSERT_EQ(map.size, edge);
    ConsoleCapture console;

    map.extractBinary(255, 1);
    map.extractRange(230, 255);

    EXPECT_EQ(map.siteCount, 0);
    EXPECT_EQ(map.sites, nullptr);
    EXPECT_EQ(console.text(), "");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedAllocator = true;
#else
constexpr bool kSanitizedAllocator = false;
#endif

const char* const kOutOfMemoryLine = "Could not allocate memory for a site, extraction stopped";

// Counts console lines by kind without allocating, so it keeps working once
// the heap is exhausted.
class LineCounter : public std::streambuf {
public:
    int pixelLines = 0;
    int coordinateLines = 0;
    int outOfMemoryLines = 0;
    int otherLines = 0;
    char lastLine[128] = {};

protected:
    int_type overflow(int_type character) override {
        if (traits_type::eq_int_type(character, traits_type::eof())) {
            return character;
        }
        const char letter = traits_type::to_char_type(character);
        if (letter != '\n') {
            if (length + 1 < sizeof(line)) {
                line[length++] = letter;
            }
            return character;
        }
        line[length] = '\0';
        if (std::strncmp(line, "point found at x:", 17) == 0) {
            ++pixelLines;
        } else if (std::strncmp(line, "point->", 7) == 0) {
            ++coordinateLines;
        } else if (std::strcmp(line, kOutOfMemoryLine) == 0) {
            ++outOfMemoryLines;
        } else {
            ++otherLines;
        }
        std::memcpy(lastLine, line, length + 1);
        length = 0;
        return character;
    }

private:
    char line[128] = {};
    std::size_t length = 0;
};

long dataSegmentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kilobytes = 0;
    while (status >> key) {
        if (key == "VmData:") {
            status >> kilobytes;
            return kilobytes * 1024;
        }
    }
    return -1;
}

// Runs in a child process: caps the data segment a few megabytes above what
// is in use, so the real malloc fails part-way through the scan, then checks
// the outcome. The exit code says which check failed.
[[noreturn]] void scanUntilMemoryRunsOut(HeightMap& map, bool range) {
    const int qualifyingPixels = range ? map.size * map.size : (map.size - 1) * (map.size - 1);
    LineCounter counter;
    std::cout.rdbuf(&counter);
    const long inUse = dataSegmentBytes();
    if (inUse < 0) {
        std::_Exit(10);
    }
    const rlimit cap{static_cast<rlim_t>(inUse + (4L << 20)), static_cast<rlim_t>(-1)};
    if (setrlimit(RLIMIT_DATA, &cap) != 0) {
        std::_Exit(11);
    }
    if (range) {
        map.extractRange(230, 255);
    } else {
        map.extractBinary(255, 1);
    }
    int listed = 0;
    for (const Site* site = map.sites; site; site = site->next) {
        ++listed;
    }
    const int expectedPixelLines = range ? map.siteCount + 1 : map.siteCount;
    const int expectedCoordinateLines = range ? 2 * map.siteCount : 0;
    int failure = 0;
    if (map.siteCount <= 0 || map.siteCount >= qualifyingPixels) {
        failure = 1;  // memory did not run out during the scan
    } else if (listed != map.siteCount) {
        failure = 2;
    } else if (counter.outOfMemoryLines != 1 || counter.otherLines != 0) {
        failure = 3;
    } else if (std::strcmp(counter.lastLine, kOutOfMemoryLine) != 0) {
        failure = 4;  // the scan went on after the failure
    } else if (counter.pixelLines != expectedPixelLines ||
               counter.coordinateLines != expectedCoordinateLines) {
        failure = 5;
    }
    std::fprintf(stderr, "sites %d, listed %d, check %d\n", map.siteCount, listed, failure);
    std::_Exit(failure);
}

class SiteAllocationDeathTest : public Extraction {
protected:
    void SetUp() override {
        if (kSanitizedAllocator) {
            GTEST_SKIP() << "the sanitizer's allocator aborts instead of returning null";
        }
        // 512 x 512 sites need about 12 MB, well beyond the cap.
        const int edge = 512;
        load(uniformRaster(edge, 255), edge);
    }
};

TEST_F(SiteAllocationDeathTest, BinaryScanStopsWithOneLineAndAConsistentList) {
    EXPECT_EXIT(scanUntilMemoryRunsOut(map, false), ::testing::ExitedWithCode(0), "check 0");
}

TEST_F(SiteAllocationDeathTest, RangeScanStopsWithOneLineAndAConsistentList) {
    EXPECT_EXIT(scanUntilMemoryRunsOut(map, true), ::testing::ExitedWithCode(0), "check 0");
}

}  // namespace
