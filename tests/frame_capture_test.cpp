#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    // pixels, the window's row r from the bottom as the file's row r from the
    // top, and the background beyond the window's covered part.
    void expectFileShowsWindow(const std::string& name, int width, int height,
                               int coveredWidth = kWidth, int coveredHeight = kHeight) const {
        const BmpFile file(pathOf(name));
        EXPECT_EQ(file.type(), FIF_BMP) << name;
        ASSERT_EQ(file.width(), width);
        ASSERT_EQ(file.height(), height);
        EXPECT_EQ(file.bitsPerPixel(), 24);
        const PixelGrid window =
            PixelGrid::readBack(std::min(width, coveredWidth), std::min(height, coveredHeight));
        int mismatches = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const bool covered = column < coveredWidth && row < coveredHeight;
                mismatches +=
                    file.at(column, row) != (covered ? window.at(column, row) : backgroundColour());
            }
        }
        EXPECT_EQ(mismatches, 0) << name;
    }
    std::string bytesOf(const std::string& name) const {
        std::ifstream file(pathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
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

TEST_F(FrameCapture, ShrunkWindowSavesTheBackgroundWhereItHasNoPixels) {
    openTestWindow(300, 90);
    glutSwapBuffers();  // the GL driver takes in the new size at a swap
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    HeightMap map;
    addSite(map, 290, 80, kGreen);
    map.drawCones(30, true);
    EXPECT_EQ(save("result.bmp"), "");
    expectFileShowsWindow("result.bmp", kWidth, kHeight, 300, 90);
}

// A save replaces the file whole, and only when it succeeds: a failed one
// leaves the folder as it was, with no other file. A file-size limit fails
// writes for root too, like a full disk.
TEST_F(FrameCapture, SaveReplacesTheOldFileOnlyOnceComplete) {
    save("result.bmp");
    const std::string old = bytesOf("result.bmp");
    fs::create_directory(pathOf("folder.bmp"));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{std::min<rlim_t>(old.size() / 2, saved.rlim_max), saved.rlim_max};
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    for (const char* name : {"missing/result.bmp", "folder.bmp", "result.bmp"}) {
        EXPECT_EQ(save(name), "Could not write " + pathOf(name) + "\n");
        EXPECT_TRUE(bytesOf("result.bmp") == old) << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), {}), 2) << name;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    save("result.bmp", 120, 80);
    expectFileShowsWindow("result.bmp", 120, 80);
}

}  // namespace
