#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sitemap/height_map.h"
#include "tests/support/bmp_file.h"
#include "tests/support/console_capture.h"
#include "tests/support/diagram_check.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/site_list.h"

namespace {

namespace fs = std::filesystem;

constexpr Rgb kGreen{20, 200, 40};
// An odd width, whose rows of 3 bytes a pixel are no multiple of 4 bytes.
constexpr int kWidth = 997;
constexpr int kHeight = 160;

class FrameCapture : public ::testing::Test {
protected:
    // Two small cones with their markers near opposite corners: a picture
    // with a top, a bottom, a left and a right.
    void SetUp() override {
        openTestWindow(kWidth, kHeight);
        HeightMap map;
        addSite(map, 30, 12, kGreen);
        addSite(map, kWidth - 40, kHeight - 25, {150, 30, 220});
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        map.drawCones(20, true);
    }

    // Saves and returns what was printed.
    std::string save(const std::string& name, int width = kWidth, int height = kHeight) const {
        return printedBy([&] { HeightMap().saveFrame(pathOf(name).c_str(), width, height); });
    }
    std::string pathOf(const std::string& name) const { return (scratch.path() / name).string(); }

    // The file is a 24-bit BMP of exactly the window's lower-left width x height
    // pixels, the window's row r from the bottom as the file's row r from the top.
    void expectFileShowsWindow(const std::string& name, int width, int height) const {
        const BmpFile file(pathOf(name));
        EXPECT_EQ(file.type(), FIF_BMP) << name;
        ASSERT_EQ(file.width(), width);
        ASSERT_EQ(file.height(), height);
        EXPECT_EQ(file.bitsPerPixel(), 24);
        const PixelGrid window = PixelGrid::readBack(width, height);
        int mismatches = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                mismatches += file.at(column, row) != window.at(column, row);
            }
        }
        EXPECT_EQ(mismatches, 0) << name;
    }

    ScratchDir scratch;
};

TEST_F(FrameCapture, SavesTheWindowAsA24BitBmpUnderAnyNameWithoutAWord) {
    for (const char* name : {"result.bmp", "frame.png"}) {
        EXPECT_EQ(save(name), "");
        expectFileShowsWindow(name, kWidth, kHeight);
    }
    const BmpFile file(pathOf("result.bmp"));
    EXPECT_EQ(file.at(30, 12), kMarkerRed);
    EXPECT_EQ(file.at(38, 12), kGreen);
    EXPECT_EQ(file.at(30, kHeight - 1 - 12), backgroundColour());
}

TEST_F(FrameCapture, SecondCaptureReplacesTheFirstWhole) {
    save("result.bmp");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    save("result.bmp", 120, 80);
    save("fresh.bmp", 120, 80);
    expectFileShowsWindow("result.bmp", 120, 80);
    EXPECT_EQ(fs::file_size(pathOf("result.bmp")), fs::file_size(pathOf("fresh.bmp")));
}

TEST_F(FrameCapture, PathThatCannotBeWrittenIsReported) {
    fs::create_directory(pathOf("folder.bmp"));
    for (const char* name : {"missing/result.bmp", "folder.bmp"}) {
        EXPECT_EQ(save(name), "Could not write " + pathOf(name) + "\n");
    }
}

}  // namespace
