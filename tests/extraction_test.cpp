#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sitemap/height_map.h"
#include "sitemap/memory_room_testing.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"

namespace {

using Position = std::pair<double, double>;

class Extraction : public ::testing::Test {
protected:
    // A raster of the edge holding `elsewhere` but for the given samples.
    void load(int edge, unsigned char elsewhere,
              const std::vector<std::pair<Position, unsigned char>>& samples = {}) {
        std::vector<unsigned char> raster(static_cast<std::size_t>(edge) * edge, elsewhere);
        for (const auto& [at, value] : samples) {
            raster[static_cast<std::size_t>(at.second * edge + at.first)] = value;
        }
        printedBy([&] { ASSERT_TRUE(map.loadRaw(scratch.write("h.raw", raster).c_str(), edge)); });
    }

    // The first `count` sites from the head of the list.
    std::vector<Position> positions(std::size_t count = 1u << 20) const {
        std::vector<Position> list;
        for (const Site* site = map.sites; site && list.size() < count; site = site->next) {
            list.emplace_back(site->x, site->y);
        }
        return list;
    }

    ScratchDir scratch;
    HeightMap map;
};

TEST_F(Extraction, AllBrightRasterGivesBinarySitesOffRowAndColumnZeroAndEveryPixelMirrored) {
    const int edge = 40;
    load(edge, 255);
    std::set<Position> inner, all;
    for (int x = 1; x <= edge; ++x) {
        for (int y = 1; y <= edge; ++y) {
            all.emplace(x, y);
            if (x < edge && y < edge) {
                inner.emplace(x, y);
            }
        }
    }
    printedBy([&] { map.extractBinary(255, 1); });
    const std::vector<Position> binary = positions();
    EXPECT_EQ(binary.size(), inner.size());
    EXPECT_EQ(std::set<Position>(binary.begin(), binary.end()), inner);
    for (const Site* site = map.sites; site; site = site->next) {
        ASSERT_TRUE(site->r < 255 && site->g < 255 && site->b < 255);  // 4563 draws
    }
    printedBy([&] { map.extractRange(230, 255); });
    const std::vector<Position> range = positions(all.size());
    EXPECT_EQ(map.siteCount, static_cast<int>(inner.size() + all.size()));
    EXPECT_EQ(std::set<Position>(range.begin(), range.end()), all);
}

TEST_F(Extraction, StrideTwoTestsEverySecondColumnAndRowColumnByColumn) {
    load(5, 255);
    EXPECT_EQ(printedBy([&] { map.extractBinary(255, 2); }),
              "point found at x:2, y: 2\npoint found at x:2, y: 4\n"
              "point found at x:4, y: 2\npoint found at x:4, y: 4\n");
    EXPECT_EQ(positions(), (std::vector<Position>{{4, 4}, {4, 2}, {2, 4}, {2, 2}}));
}

TEST_F(Extraction, EveryScanPutsItsSitesBeforeTheEarlierOnesAndStrideBelowOneActsAsOne) {
    load(5, 0, {{{1, 2}, 255}, {{3, 3}, 255}, {{4, 1}, 255}, {{2, 2}, 254}});
    printedBy([&] { map.extractBinary(255, 1); });
    const Site* const firstHead = map.sites;
    const std::vector<Position> firstScan{{4, 1}, {3, 3}, {1, 2}};
    EXPECT_EQ(positions(), firstScan);
    printedBy([&] {
        map.extractBinary(255, 0);
        map.extractBinary(255, -3);
    });
    EXPECT_EQ(map.siteCount, 9);
    std::vector<Position> threeScans;
    for (int scan = 0; scan < 3; ++scan) {
        threeScans.insert(threeScans.end(), firstScan.begin(), firstScan.end());
    }
    EXPECT_EQ(positions(), threeScans);
    EXPECT_EQ(map.sites->next->next->next->next->next->next, firstHead);
}

TEST_F(Extraction, RangeTakesAbove230UpTo255FromEveryPixelAndPrintsWhereTheSitesGo) {
    load(5, 0, {{{0, 0}, 255}, {{0, 4}, 240}, {{1, 1}, 230}, {{2, 1}, 231}, {{4, 3}, 255}});
    EXPECT_EQ(printedBy([&] { map.extractRange(230, 255); }),
              "point found at x:0, y: 0\npoint->x: 5\npoint->y: 5\n"
              "point found at x:0, y: 4\npoint->x: 5\npoint->y: 1\n"
              "point found at x:2, y: 1\npoint->x: 3\npoint->y: 4\n"
              "point found at x:4, y: 3\npoint->x: 1\npoint->y: 2\n");
    EXPECT_EQ(positions(), (std::vector<Position>{{1, 2}, {3, 4}, {5, 1}, {5, 5}}));
}

TEST(ExtractionWithoutRaster, AddsAndPrintsNothing) {
    HeightMap map;
    EXPECT_EQ(printedBy([&] {
                  map.extractBinary(255, 1);
                  map.extractRange(230, 255);
              }),
              "");
    EXPECT_EQ(map.siteCount, 0);
    EXPECT_EQ(map.sites, nullptr);
}

// Runs in a child process: caps the heap a few megabytes above what is in
// use and the headroom the scan keeps, so it stops part-way through the
// scan, then exits 0 only if the scan stopped with its one line and left a
// list that matches the count.
[[noreturn]] void scanUntilMemoryRunsOut(HeightMap& map, const std::string& logPath) {
    std::ofstream log(logPath);
    std::cout.rdbuf(log.rdbuf());
    std::ifstream status("/proc/self/status");
    std::string key;
    long dataKilobytes = 0;
    while (status >> key && key != "VmData:") {
    }
    status >> dataKilobytes;
    rlimit original{};
    getrlimit(RLIMIT_DATA, &original);
    const rlimit cap{static_cast<rlim_t>((dataKilobytes << 10) + (4L << 20) + kMemoryHeadroom),
                     original.rlim_max};
    setrlimit(RLIMIT_DATA, &cap);
    map.extractBinary(255, 1);
    setrlimit(RLIMIT_DATA, &original);
    log.close();

    int listed = 0;
    for (const Site* site = map.sites; site; site = site->next) {
        ++listed;
    }
    std::ifstream printed(logPath);
    std::string line, lastLine;
    int lineCount = 0;
    while (std::getline(printed, line)) {
        ++lineCount;
        lastLine = line;
    }
    const bool stoppedCleanly =
        map.siteCount > 0 && map.siteCount < (map.size - 1) * (map.size - 1) &&
        listed == map.siteCount && lineCount == map.siteCount + 1 &&
        lastLine == "Could not allocate memory for a site, extraction stopped";
    std::_Exit(stoppedCleanly ? 0 : 1);
}

TEST_F(Extraction, RunningOutOfMemoryStopsTheScanWithOneLineAndAConsistentList) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator aborts instead of returning null";
#endif
    load(512, 255);  // 511 x 511 sites need about 12 MB, well beyond the cap
    const std::string logPath = (scratch.path() / "scan.txt").string();
    EXPECT_EXIT(scanUntilMemoryRunsOut(map, logPath), ::testing::ExitedWithCode(0), "");
}

// The headroom read from a system and a memory cgroup given as files, as
// the kernel writes them. Where one of them leaves less than the headroom,
// an extraction stops at its next look (every 4096 sites) with its line,
// and the sites found before stay; where none does, it runs to the end.
TEST_F(Extraction, LittleRoomInTheSystemOrAMemoryCgroupStopsTheScanAndKeepsTheSitesFound) {
    const auto text = [](const std::string& contents) {
        return std::vector<unsigned char>(contents.begin(), contents.end());
    };
    const auto meminfo = [&](const std::string& availableKilobytes) {
        return text(
            "MemTotal:       16000000 kB\nMemFree:         9000000 kB\n"
            "MemAvailable:   " +
            availableKilobytes + " kB\nBuffers:          100000 kB\n");
    };
    const std::string roomy = "12000000";
    struct Case {
        const char* name;
        std::string available;
        std::string cgroups;
        std::vector<std::pair<std::string, std::string>> files;  // under the cgroup root
        bool stops;
    };
    const Case cases[] = {
        {"system", "40000", "0::/\n", {}, true},
        {"cgroup 2",
         roomy,
         "0::/app.slice/demo.scope\n",
         {{"app.slice/demo.scope/memory.max", "100000000\n"},
          {"app.slice/demo.scope/memory.current", "60000000\n"}},
         true},
        {"cgroup 2, its parent's limit",
         roomy,
         "0::/app.slice/demo.scope\n",
         {{"app.slice/demo.scope/memory.max", "max\n"},
          {"app.slice/demo.scope/memory.current", "5000000\n"},
          {"app.slice/memory.max", "300000000\n"},
          {"app.slice/memory.current", "250000000\n"}},
         true},
        {"cgroup 1",
         roomy,
         "12:pids:/docker/abc\n4:cpu,memory:/docker/abc\n0::/\n",
         {{"memory/docker/abc/memory.limit_in_bytes", "80000000\n"},
          {"memory/docker/abc/memory.usage_in_bytes", "30000000\n"}},
         true},
        {"no limits",
         roomy,
         "4:memory:/docker/abc\n0::/\n",
         {{"memory/docker/abc/memory.limit_in_bytes", "9223372036854771712\n"},
          {"memory/docker/abc/memory.usage_in_bytes", "30000000\n"},
          {"memory.max", "max\n"}},
         false},
    };
    const std::string raster =
        scratch.write("bright.raw", std::vector<unsigned char>(100 * 100, 255));
    const int perScan = 99 * 99;  // 9801: the second scan looks at 12288
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const std::filesystem::path folder = scratch.path() / each.name;
        MemorySources sources{scratch.write(std::string(each.name) + "/meminfo", meminfo(roomy)),
                              scratch.write(std::string(each.name) + "/cgroup", text("0::/\n")),
                              (folder / "cgroups").string()};
        HeightMap bright;
        printedBy([&] { ASSERT_TRUE(bright.loadRaw(raster.c_str(), 100)); });
        useMemorySources(sources);
        printedBy([&] { bright.extractBinary(255, 1); });
        ASSERT_EQ(bright.siteCount, perScan);

        scratch.write(std::string(each.name) + "/meminfo", meminfo(each.available));
        scratch.write(std::string(each.name) + "/cgroup", text(each.cgroups));
        for (const auto& [name, contents] : each.files) {
            scratch.write(std::string(each.name) + "/cgroups/" + name, text(contents));
        }
        const std::string printed = printedBy([&] { bright.extractBinary(255, 1); });
        useMemorySources(MemorySources{});
        const int expected = each.stops ? 3 * 4096 : 2 * perScan;
        EXPECT_EQ(bright.siteCount, expected);
        EXPECT_EQ(static_cast<int>(countSites(bright.sites)), expected);
        const std::string stopped = "Could not allocate memory for a site, extraction stopped\n";
        EXPECT_EQ(
            printed.size() >= stopped.size() &&
                printed.compare(printed.size() - stopped.size(), stopped.size(), stopped) == 0,
            each.stops)
            << printed.substr(printed.size() - std::min<std::size_t>(printed.size(), 200));
    }
}

}  // namespace
