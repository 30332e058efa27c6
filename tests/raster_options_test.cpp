#include "tools/raster_options.h"

#include <gtest/gtest.h>

namespace {

using Action = RasterRequest::Action;

RasterRequest parsed(const std::vector<std::string>& arguments) {
    RasterRequest request;
    std::string problem;
    EXPECT_TRUE(parseRasterArguments(arguments, request, problem)) << problem;
    return request;
}

bool rejected(const std::vector<std::string>& arguments) {
    RasterRequest request;
    std::string problem;
    const bool accepted = parseRasterArguments(arguments, request, problem);
    EXPECT_TRUE(accepted || !problem.empty());
    return !accepted;
}

TEST(ParseRasterArguments, ReadsEachFormOfTheCommandLine) {
    EXPECT_EQ(parsed({"--help"}).action, Action::ShowHelp);

    const RasterRequest face = parsed({"--face", "out.raw"});
    EXPECT_EQ(face.action, Action::DrawFace);
    EXPECT_EQ(face.outputPath, "out.raw");

    const RasterRequest grey = parsed({"in.png", "out.raw"});
    EXPECT_EQ(grey.action, Action::ConvertPicture);
    EXPECT_FALSE(grey.edgesOnly);
    EXPECT_EQ(grey.inputPath, "in.png");
    EXPECT_EQ(grey.outputPath, "out.raw");

    const RasterRequest edges = parsed({"--edges", "in.png", "out.raw"});
    EXPECT_EQ(edges.action, Action::ConvertPicture);
    EXPECT_TRUE(edges.edgesOnly);
    EXPECT_EQ(edges.inputPath, "in.png");
}

TEST(ParseRasterArguments, RejectsIncompleteOrUnknownArguments) {
    EXPECT_TRUE(rejected({}));
    EXPECT_TRUE(rejected({"--face"}));
    EXPECT_TRUE(rejected({"in.png"}));
    EXPECT_TRUE(rejected({"--edges", "in.png"}));
    EXPECT_TRUE(rejected({"--edge", "in.png", "out.raw"}));
    EXPECT_TRUE(rejected({"in.png", "out.raw", "extra.raw"}));
}

}  // namespace
