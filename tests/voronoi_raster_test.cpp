#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/test_images.h"
#include "tools/face_drawing.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode;
    std::string errorText;
};

// Runs the built tool with its standard error captured to a file.
class VoronoiRasterTool : public ::testing::Test {
protected:
    RunResult run(const std::string& arguments) const {
        const fs::path errorFile = scratch.path() / "stderr.txt";
        const std::string command = std::string(VORONOI_RASTER_PATH) + " " + arguments + " >" +
                                    (scratch.path() / "stdout.txt").string() + " 2>" +
                                    errorFile.string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(errorFile)};
    }

    static std::string readText(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    static std::vector<unsigned char> readBytes(const fs::path& path) {
        const std::string text = readText(path);
        return std::vector<unsigned char>(text.begin(), text.end());
    }

    ScratchDir scratch;
};

TEST_F(VoronoiRasterTool, WritesTheDefaultFaceAsRawBytes) {
    const fs::path output = scratch.path() / "data" / "face_binary_edges.raw";
    const RunResult result = run("--face " + output.string());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.errorText, "");
    EXPECT_EQ(readBytes(output), drawDefaultFace().samples);
}

TEST_F(VoronoiRasterTool, FailsWithOneLineWhenTheOutputCannotBeWritten) {
    // A regular file where a folder should be stops even root.
    std::ofstream(scratch.path() / "blocker") << "x";
    const RunResult result = run("--face " + (scratch.path() / "blocker" / "out.raw").string());
    EXPECT_NE(result.exitCode, 0);
    ASSERT_FALSE(result.errorText.empty());
    EXPECT_EQ(result.errorText.find('\n'), result.errorText.size() - 1);
}

TEST_F(VoronoiRasterTool, RejectsAMissingOutputAndExplainsItselfOnRequest) {
    EXPECT_NE(run("--face").exitCode, 0);
    EXPECT_NE(run("").exitCode, 0);
    EXPECT_EQ(run("--help").exitCode, 0);
    EXPECT_NE(readText(scratch.path() / "stdout.txt").find("Usage: voronoi_raster"),
              std::string::npos);
}

TEST_F(VoronoiRasterTool, ScalesAPictureToFitAndCentresIt) {
    // 300 x 200 grows by 996 / 300 to 996 x 664, leaving 166 rows above and below.
    const std::string input = (scratch.path() / "wide.png").string();
    saveGreyImage(
        input, 300, 200, [](int, int) { return 90; }, FIF_PNG);
    const fs::path output = scratch.path() / "out.raw";

    ASSERT_EQ(run(input + " " + output.string()).exitCode, 0);

    const std::vector<unsigned char> raster = readBytes(output);
    ASSERT_EQ(raster.size(), 996u * 996u);
    for (int row = 0; row < 996; ++row) {
        const unsigned char expected = row >= 166 && row < 166 + 664 ? 90 : 0;
        for (int column = 0; column < 996; ++column) {
            ASSERT_EQ(raster[row * 996 + column], expected)
                << "column " << column << ", row " << row;
        }
    }
}

TEST_F(VoronoiRasterTool, EdgeOptionTracesADrawnLineAndLeavesFlatAreasBlack) {
    // A black bar 8 pixels thick on white, rows 500 to 507, columns 100 to 899.
    auto onBar = [](int column, int row) {
        return column >= 100 && column < 900 && row >= 500 && row < 508;
    };
    const std::string input = (scratch.path() / "line.png").string();
    saveColourImage(
        input, 996, 996,
        [&](int column, int row) { return onBar(column, row) ? rgb(0, 0, 0) : rgb(255, 255, 255); },
        FIF_PNG);
    const fs::path output = scratch.path() / "edges.raw";

    ASSERT_EQ(run("--edges " + input + " " + output.string()).exitCode, 0);

    const std::vector<unsigned char> edges = readBytes(output);
    ASSERT_EQ(edges.size(), 996u * 996u);
    auto at = [&](int column, int row) { return edges[row * 996 + column]; };
    for (int column = 120; column < 880; ++column) {
        bool upperEdge = false;
        bool lowerEdge = false;
        for (int row = 497; row <= 502; ++row) {
            upperEdge = upperEdge || at(column, row) == 255;
        }
        for (int row = 505; row <= 510; ++row) {
            lowerEdge = lowerEdge || at(column, row) == 255;
        }
        EXPECT_TRUE(upperEdge && lowerEdge) << "column " << column;
    }
    // Away from the bar's outline the picture is flat.
    for (int row = 0; row < 996; ++row) {
        for (int column = 0; column < 996; ++column) {
            const bool nearOutline = column >= 94 && column < 906 && row >= 494 && row < 514;
            if (!nearOutline) {
                ASSERT_EQ(at(column, row), 0) << "column " << column << ", row " << row;
            }
        }
    }
}

TEST_F(VoronoiRasterTool, FailsWithOneLineWhenThePictureCannotBeRead) {
    std::ofstream(scratch.path() / "notes.txt") << "not a picture\n";
    const fs::path output = scratch.path() / "out.raw";
    const RunResult result = run((scratch.path() / "notes.txt").string() + " " + output.string());
    EXPECT_NE(result.exitCode, 0);
    ASSERT_FALSE(result.errorText.empty());
    EXPECT_EQ(result.errorText.find('\n'), result.errorText.size() - 1);
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
