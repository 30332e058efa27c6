#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "measure/file_replacement.h"
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

constexpr auto kOwnerReadWrite = fs::perms::owner_read | fs::perms::owner_write;

// Runs `work` in a child process while the parent runs `meanwhile` with the
// child's id; returns the child's wait status.
template <typename Work, typename Meanwhile>
int statusOfChild(const Work& work, const Meanwhile& meanwhile) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(work());
    }
    meanwhile(child);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

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

// A save keeps what the user set on the file it replaces.
TEST_F(FrameCapture, SaveKeepsThePermissionsOfTheFileItReplaces) {
    for (const fs::perms mode : {kOwnerReadWrite, kOwnerReadWrite | fs::perms::group_read}) {
        save("result.bmp");
        fs::permissions(pathOf("result.bmp"), mode);
        save("result.bmp");
        EXPECT_EQ(fs::status(pathOf("result.bmp")).permissions(), mode);
    }
}

// Ctrl-C, a closed terminal or kill during a save: the program ends as the
// signal asks, with result.bmp whole (the last complete one) and no
// temporary file left. Each save is all the child does, so the signal comes
// amid one.
TEST(FileReplacement, SignalsThatEndTheProgramMidSaveLeaveNoTemporaryFile) {
    const std::vector<unsigned char> bytes(4 << 20, 7);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        const ScratchDir scratch;
        const std::string path = (scratch.path() / "result.bmp").string();
        const int status = statusOfChild(
            [&] {
                std::signal(number, SIG_DFL);  // as from a terminal
                while (replaceFileContents(path, bytes.data(), bytes.size())) {
                }
                return 1;
            },
            [&](pid_t child) {
                for (int wait = 0; wait < 60000 && !fs::exists(path); ++wait) {
                    usleep(1000);
                }
                kill(child, number);
            });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << number;
        EXPECT_EQ(fs::file_size(path), bytes.size()) << number;
        EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), {}), 1) << number;
    }
}

// A folder the user may not write (as one who is not root): an existing,
// writable result.bmp is written over in place, keeping its mode; without
// one nothing is written.
TEST(FileReplacement, AFolderThatCannotBeWrittenGetsTheFileWrittenInPlace) {
    const ScratchDir scratch;
    const fs::path folder = scratch.path() / "locked";
    fs::create_directory(folder);
    fs::permissions(scratch.path(), fs::perms::others_exec, fs::perm_options::add);
    const uid_t nobody = 65534;
    const std::vector<unsigned char> bytes = {4, 5, 6};
    for (const bool existing : {true, false}) {
        const std::string path = (folder / (existing ? "result.bmp" : "new.bmp")).string();
        if (existing) {
            scratch.write("locked/result.bmp", {1, 2, 3, 4, 5});
            fs::permissions(path, kOwnerReadWrite);
            if (geteuid() == 0) {
                ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0);
            }
        }
        fs::permissions(folder, fs::perms::all & ~fs::perms::owner_write & ~fs::perms::group_write &
                                    ~fs::perms::others_write);
        const int status = statusOfChild(
            [&] {
                const bool unprivileged =
                    geteuid() != 0 || (setgid(nobody) == 0 && setuid(nobody) == 0);
                return unprivileged ? replaceFileContents(path, bytes.data(), bytes.size()) ? 0 : 1
                                    : 2;
            },
            [](pid_t) {});
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(WEXITSTATUS(status), existing ? 0 : 1);
        if (existing) {
            std::ifstream written(path, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "\4\5\6");
            EXPECT_EQ(fs::status(path).permissions(), kOwnerReadWrite);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << existing;
    }
}

}  // namespace
