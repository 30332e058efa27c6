#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/bench/bench_table.h"
#include "tools/bench/frame_statistics.h"

namespace {

TEST(TimedFrameCount, KeepsTheRequestedCountUpToTheSlowFrameLimit) {
    EXPECT_EQ(timedFrameCount(4.0, 5), 5);
    EXPECT_EQ(timedFrameCount(kSlowFrameMs, 7), 7);
}

TEST(TimedFrameCount, SlowScenesGetFewerButAtLeastOne) {
    EXPECT_EQ(timedFrameCount(6000.0, 5), 3);
    EXPECT_EQ(timedFrameCount(90000.0, 5), 1);
    EXPECT_EQ(timedFrameCount(6000.0, 2), 2);
}

TEST(SummariseFrames, TakesMedianMinAndMax) {
    const FrameStatistics odd = summariseFrames({9, 1, 5, 7, 3}, 5);
    EXPECT_EQ(odd.frames, 5);
    EXPECT_DOUBLE_EQ(odd.medianMs, 5);
    EXPECT_DOUBLE_EQ(odd.minMs, 1);
    EXPECT_DOUBLE_EQ(odd.maxMs, 9);
    EXPECT_FALSE(odd.shortened);
    const FrameStatistics even = summariseFrames({8, 2, 4, 6}, 4);
    EXPECT_DOUBLE_EQ(even.medianMs, 5);
}

TEST(SummariseFrames, MarksFewerFramesThanRequested) {
    EXPECT_TRUE(summariseFrames({12000}, 5).shortened);
}

class BenchTable : public ::testing::Test {
protected:
    SceneResult keyOne() const {
        SceneResult scene;
        scene.name = "key 1";
        scene.siteCount = 5955;
        scene.extractionMs = 16.42;
        PathResult path;
        path.frames = summariseFrames({14221.94}, 5);
        path.agreement.checkedPixels = 8000;
        path.agreement.agreeingPixels = 7999;
        path.agreement.markersInWindow = 4;
        path.agreement.visibleMarkers = 3;
        scene.paths = {path};
        return scene;
    }
};

TEST_F(BenchTable, SummaryLineRoundsSharesDown) {
    EXPECT_EQ(summaryLine(keyOne(), 0),
              "summary: key-1 frame 14221.9 ms, agreement 99.987%, markers 75.000%");
}

TEST_F(BenchTable, PrintsOneRowPerSceneAndFlagsShortenedScenes) {
    SceneResult centre;
    centre.name = "one site, centre";
    centre.siteCount = 1;
    PathResult path;
    path.frames = summariseFrames({4, 5, 6, 7, 8}, 5);
    centre.paths = {path};
    std::ostringstream out;
    printTable(out, {{"reference", false}}, {keyOne(), centre});
    const std::string table = out.str();
    EXPECT_NE(
        table.find("| key 1 | 5955 | 16.4 | 14221.9 | 14221.9 - 14221.9 | 1* | 99.987 | 75.000 |"),
        std::string::npos)
        << table;
    EXPECT_NE(table.find("| one site, centre | 1 | - | 6.0 | 4.0 - 8.0 | 5 | - | - |"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("* fewer frames"), std::string::npos);
}

TEST_F(BenchTable, GivesEveryDrawingPathItsOwnColumns) {
    SceneResult scene = keyOne();
    PathResult fast = scene.paths.front();
    fast.preparationMs = 123.45;
    fast.frames = summariseFrames({20, 30, 25}, 3);
    fast.agreement.agreeingPixels = fast.agreement.checkedPixels;
    fast.agreement.visibleMarkers = fast.agreement.markersInWindow;
    scene.paths.push_back(fast);
    std::ostringstream out;
    printTable(out, {{"reference", false}, {"fast", true}}, {scene});
    const std::string table = out.str();
    const std::string header = table.substr(0, table.find('\n'));
    EXPECT_NE(header.find("| reference frame ms (median) |"), std::string::npos) << header;
    EXPECT_NE(header.find("| fast preparation ms | fast frame ms (median) |"), std::string::npos)
        << header;
    EXPECT_NE(table.find("| 75.000 | 123.5 | 25.0 | 20.0 - 30.0 | 3 | 100 | 100 |"),
              std::string::npos)
        << table;
    EXPECT_EQ(summaryLine(scene, 1), "summary: key-1 frame 25.0 ms, agreement 100%, markers 100%");
}

}  // namespace
