#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
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

}  // namespace
