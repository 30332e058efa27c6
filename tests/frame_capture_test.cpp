#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sitemap/height_map.h"
#include "tests/support/bmp_file.h"
#include "tests/support/console_capture.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/site_list.h"

namespace {

namespace fs = std::filesystem;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{20, 200, 40};
constexpr Rgb kPurple{150, 30, 220};
constexpr int kConeRadius = 20;
// An odd width, whose rows of 3 bytes a pixel are no multiple of 4 bytes. One
// size for every test: a window resized within a process may lag behind.
constexpr int kWidth = 997;
constexpr int kHeight = 160;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FrameCapture : public ::testing::Test {
protected:
    // Two small cones with their markers, one near the lower-left and one near
    // the upper-right corner, on the background: a picture with a top, a
    // bottom, a left and a right.
    void drawScene() {
        openTestWindow(kWidth, kHeight);
        HeightMap map;
        addSite(map, kLowSiteX, kLowSiteY, kGreen);
        addSite(map, kWidth - kHighSiteInsetX, kHeight - kHighSiteInsetY, kPurple);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        map.drawCones(kConeRadius, true);
    }

    std::string pathFor(const std::string& name) const { return (scratch.path() / name).string(); }

    // The file holds exactly the window's lower-left width x height pixels, the
    // window's row y (from the bottom) as the file's row y from the top.
    static void expectFileShowsWindow(const std::string& path, int width, int height) {
        const BmpFile file(path);
        ASSERT_TRUE(file.loaded()) << path;
        EXPECT_EQ(file.type(), FIF_BMP);
        ASSERT_EQ(file.width(), width);
        ASSERT_EQ(file.height(), height);
        EXPECT_EQ(file.bitsPerPixel(), 24);
        const PixelGrid window = PixelGrid::readBack(width, height);
        int mismatches = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                if (file.at(column, row) != window.at(column, row) && mismatches++ == 0) {
                    ADD_FAILURE() << "first mismatch at column " << column << ", row " << row;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    static constexpr int kLowSiteX = 30;
    static constexpr int kLowSiteY = 12;
    static constexpr int kHighSiteInsetX = 40;
    static constexpr int kHighSiteInsetY = 25;
    ScratchDir scratch;
};

TEST_F(FrameCapture, SavesTheWindowAsATwentyFourBitBmpWithoutAWord) {
    drawScene();
    const std::string path = pathFor("result.bmp");
    ConsoleCapture console;
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    EXPECT_EQ(console.text(), "");
    expectFileShowsWindow(path, kWidth, kHeight);
}

TEST_F(FrameCapture, WindowPixelLandsAtTheSameColumnAndRowFromTheTopInWindowColours) {
    drawScene();
    const std::string path = pathFor("result.bmp");
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    const BmpFile file(path);
    ASSERT_TRUE(file.loaded());
    EXPECT_EQ(file.at(kLowSiteX, kLowSiteY), kRed);
    EXPECT_EQ(file.at(kLowSiteX + 8, kLowSiteY), kGreen);
    EXPECT_EQ(file.at(kLowSiteX, kHeight - 1 - kLowSiteY), backgroundColour());
    EXPECT_EQ(file.at(kWidth - kHighSiteInsetX, kHeight - kHighSiteInsetY), kRed);
    EXPECT_EQ(file.at(kWidth - kHighSiteInsetX - 8, kHeight - kHighSiteInsetY), kPurple);
    EXPECT_EQ(file.at(120, 80), backgroundColour());
}

TEST_F(FrameCapture, OddWidthKeepsEveryRowInPlaceAndPackAlignmentAsFound) {
    drawScene();
    const std::string path = pathFor("result.bmp");
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    expectFileShowsWindow(path, kWidth, kHeight);
}

TEST_F(FrameCapture, NameWithAnotherExtensionStillHoldsBmp) {
    drawScene();
    const std::string path = pathFor("frame.png");
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    EXPECT_EQ(fileBytes(path).substr(0, 2), "BM");
    expectFileShowsWindow(path, kWidth, kHeight);
}

TEST_F(FrameCapture, SecondCaptureReplacesTheFirstWhole) {
    const std::string path = pathFor("result.bmp");
    drawScene();
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    // A smaller picture of other content: nothing of the first may remain.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    HeightMap().saveFrame(path.c_str(), 120, 80);
    const std::string fresh = pathFor("fresh.bmp");
    HeightMap().saveFrame(fresh.c_str(), 120, 80);
    EXPECT_EQ(fileBytes(path), fileBytes(fresh));
    expectFileShowsWindow(path, 120, 80);
}

TEST_F(FrameCapture, PathThatCannotBeWrittenIsReportedAndLaterCapturesWork) {
    drawScene();
    const std::string inMissingFolder = pathFor("missing/result.bmp");
    const std::string folder = pathFor("folder.bmp");
    fs::create_directory(folder);
    {
        ConsoleCapture console;
        HeightMap().saveFrame(inMissingFolder.c_str(), kWidth, kHeight);
        HeightMap().saveFrame(folder.c_str(), kWidth, kHeight);
        EXPECT_EQ(console.text(),
                  "Could not write " + inMissingFolder + "\nCould not write " + folder + "\n");
    }
    EXPECT_FALSE(fs::exists(inMissingFolder));
    EXPECT_TRUE(fs::is_directory(folder));

    const std::string path = pathFor("result.bmp");
    HeightMap().saveFrame(path.c_str(), kWidth, kHeight);
    expectFileShowsWindow(path, kWidth, kHeight);
}

TEST_F(FrameCapture, EmptyRectangleIsReportedAndWritesNoFile) {
    drawScene();
    const std::string path = pathFor("result.bmp");
    ConsoleCapture console;
    HeightMap().saveFrame(path.c_str(), 0, kHeight);
    EXPECT_EQ(console.text(), "Could not write " + path + "\n");
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
