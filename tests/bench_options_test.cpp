#include "tools/bench/bench_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ParseBenchArguments : public ::testing::Test {
protected:
    BenchOptions options;
    std::string problem;

    bool parse(const std::vector<std::string>& arguments) {
        return parseBenchArguments(arguments, options, problem);
    }
};

TEST_F(ParseBenchArguments, DefaultsToTheDemosRasterAndFiveFrames) {
    ASSERT_TRUE(parse({}));
    EXPECT_EQ(options.rasterPath, "data/face_binary_edges.raw");
    EXPECT_EQ(options.edge, 996);
    EXPECT_EQ(options.frames, 5);
    EXPECT_FALSE(options.smoke);
    EXPECT_FALSE(options.showHelp);
}

TEST_F(ParseBenchArguments, TakesRasterEdgeAndFramesInAnyOrder) {
    ASSERT_TRUE(parse({"--frames", "9", "--raster", "my.raw", "--edge", "512", "--smoke"}));
    EXPECT_EQ(options.rasterPath, "my.raw");
    EXPECT_EQ(options.edge, 512);
    EXPECT_EQ(options.frames, 9);
    EXPECT_TRUE(options.smoke);
}

TEST_F(ParseBenchArguments, RejectsWhatItCannotUse) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--fast"},
                                               {"--raster"},
                                               {"--edge", "0"},
                                               {"--edge", "-4"},
                                               {"--frames", "3x"},
                                               {"--frames", ""},
                                               {"--edge", "99999999999"}}) {
        problem.clear();
        EXPECT_FALSE(parse(arguments)) << arguments[0];
        EXPECT_FALSE(problem.empty());
    }
}

}  // namespace
