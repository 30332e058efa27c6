#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bmp_file.h"
#include "tests/support/diagram_check.h"
#include "tests/support/extraction_report.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/window_close.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEdge = 996;
const std::string kInvalidInput = "Invalid input\n";

std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            output.append(chunk, count);
        }
        pclose(pipe);
    }
    return output;
}

// By title alone: the test's display holds no other window of that name, and
// the lookup by process needs the X server to know the client's process,
// which it sometimes did not under heavy load.
const std::string kWindowSearch =
    "xdotool search --name '^2D Voronoi Topology Generation Demo$' 2>/dev/null";

// Whether the process runs: it is nobody's child here, so once ended it may
// stay a zombie for a while.
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t state = line.rfind(") ");
    return state != std::string::npos && line.size() > state + 2 && line[state + 2] != 'Z' &&
           line[state + 2] != 'X';
}

// Polls for up to five minutes: a frame takes seconds under the sanitizers.
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

// The real program in a scratch working directory on the test's display,
// driven through its window with xdotool as a user would.
class DemoProgram : public ::testing::Test {
protected:
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            // The next test looks its window up by title.
            eventually([] { return commandOutput(kWindowSearch).empty(); });
        }
    }

    // Starts it with its output in console.txt and errors.txt and waits for
    // its window. Under load the test's X server has now and then refused a
    // connection: a program that could not open the display is started
    // again, twice at most.
    void start() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            pid = std::stoi(commandOutput("cd '" + scratch.path().string() +
                                          "' && { " VORONOI_DEMO_PATH
                                          " >console.txt 2>errors.txt & echo $!; }"));
            ASSERT_TRUE(eventually([&] {
                window = commandOutput(kWindowSearch);
                window = window.substr(0, window.find('\n'));
                return !window.empty() || !running(pid);
            }));
            if (!window.empty() ||
                file("errors.txt").find("failed to open display") == std::string::npos) {
                break;
            }
        }
        ASSERT_FALSE(window.empty()) << "no window; console:\n"
                                     << file("console.txt") << "errors:\n"
                                     << file("errors.txt");
        // Keys typed before the window is mapped may be lost.
        ASSERT_TRUE(eventually([&] {
            return commandOutput("xwininfo -id " + window).find("IsViewable") != std::string::npos;
        }));
    }

    std::string file(const std::string& name) const {
        std::ifstream in(scratch.path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Types the keys and waits for their lines: a key without a command
    // follows, whose "Invalid input" comes only once the others are done (a
    // wire-frame save may come after it, once its picture is worked out).
    void typeAndWait(const std::string& keys) {
        const std::size_t before = file("console.txt").size();
        // 5 ms apart, as a quick typist's keys reach the program in one go.
        // xdotool grumbles on stderr about the missing window manager's focus.
        commandOutput("xdotool key --delay 5 --window " + window + " " + keys + " 0 2>/dev/null");
        ASSERT_TRUE(eventually([&] {
            return file("console.txt").find(kInvalidInput, before) != std::string::npos;
        })) << file("console.txt");
    }

    // Bright pixels scattered over a lattice 20 pixels wide at 5 past its
    // lines, so that no two markers are near and none falls on half a pixel
    // after the pan and zoom keys.
    void writeRaster() {
        std::vector<unsigned char> samples(kEdge * kEdge, 0);
        for (int x = 25; x < kEdge - 20; x += 20) {
            for (int y = 25; y < kEdge - 20; y += 20) {
                if ((x * 7 + y * 3) % 11 == 0) {
                    samples[y * kEdge + x] = 255;
                    sites.push_back({static_cast<double>(x), static_cast<double>(y), 0, 0, 0});
                }
            }
        }
        scratch.write("data/face_binary_edges.raw", samples);
    }

    void save(const std::string& keys) {
        fs::remove(resultPath());
        typeAndWait(keys + " 4");
        ASSERT_TRUE(eventually([&] { return fs::exists(resultPath()); }));
    }

    // Holds result.bmp to the exact diagram under the view; the file's rows
    // run top-down from the window's bottom row.
    void expectSavedDiagram(const ViewState& view) {
        const BmpFile picture(resultPath());
        ASSERT_EQ(picture.width(), kEdge);
        ASSERT_EQ(picture.height(), kEdge);
        const auto pixelAt = [&](int column, int row) { return picture.at(column, row); };
        EXPECT_EQ(diagramMismatches(kEdge, kEdge, pixelAt, sites, kEdge / 2, view), "");
    }

    std::string resultPath() const { return (scratch.path() / "result.bmp").string(); }

    // A site on every `step`-th pixel of every `step`-th row: a million or
    // a quarter of it, whose wire-frame picture takes a while to work out.
    void writeCrowdedRaster(int step) {
        std::vector<unsigned char> samples(kEdge * kEdge, 0);
        for (int y = step; y < kEdge; y += step) {
            for (int x = step; x < kEdge; x += step) {
                samples[y * kEdge + x] = 255;
            }
        }
        scratch.write("data/face_binary_edges.raw", samples);
    }

    // Saves the state the keys leave, once its picture is finished, as
    // reference.bmp: what a save of that state holds.
    std::string savedReference(const std::string& keys) {
        save(keys);
        fs::copy_file(resultPath(), scratch.path() / "reference.bmp",
                      fs::copy_options::overwrite_existing);
        fs::remove(resultPath());
        return file("reference.bmp");
    }

    // Types the keys at once, without waiting for them.
    void typeNow(const std::string& keys) {
        commandOutput("xdotool key --delay 5 --window " + window + " " + keys + " 2>/dev/null");
    }

    // Waits for the program to end; how long that took, in seconds.
    double secondsToEnd() {
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_TRUE(eventually([&] { return !running(pid); }));
        const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - begin;
        pid = 0;
        return taken.count();
    }

    static int count(const std::string& text, const std::string& part) {
        int found = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + part.size())) {
            ++found;
        }
        return found;
    }

    // The program picks the colours: read each off result.bmp beside its marker.
    void learnColours() {
        const BmpFile unmoved(resultPath());
        for (OracleSite& site : sites) {
            const Rgb colour = unmoved.at(static_cast<int>(site.x) + 4, static_cast<int>(site.y));
            site.r = colour[0];
            site.g = colour[1];
            site.b = colour[2];
        }
    }

    void resize(int width, int height) {
        const std::string size = std::to_string(width) + " " + std::to_string(height);
        commandOutput("xdotool windowsize " + window + " " + size);
        ASSERT_TRUE(eventually([&] {
            const std::string info = commandOutput("xwininfo -id " + window);
            return info.find("Width: " + std::to_string(width) + "\n") != std::string::npos &&
                   info.find("Height: " + std::to_string(height) + "\n") != std::string::npos;
        }));
        windowWidth = width;
        windowHeight = height;
    }

    // What the window shows, as pixelAt(column, row) with row 0 at the bottom.
    template <typename Check>
    std::string checkWindow(const Check& check) const {
        const std::string shown = commandOutput("import -window " + window + " -depth 8 rgb:-");
        if (shown.size() != static_cast<std::size_t>(windowWidth) * windowHeight * 3) {
            return "a screenshot of " + std::to_string(shown.size()) + " bytes";
        }
        return check([&](int column, int row) {
            const std::size_t at =
                (static_cast<std::size_t>(windowHeight - 1 - row) * windowWidth + column) * 3;
            return Rgb{static_cast<std::uint8_t>(shown[at]),
                       static_cast<std::uint8_t>(shown[at + 1]),
                       static_cast<std::uint8_t>(shown[at + 2])};
        });
    }

    // Waits until the window shows what result.bmp holds where both have
    // pixels, and no black pixel, a colour no cell, marker or background
    // has: one nothing was drawn into.
    void expectWindowEndsUpShowingTheFile(const std::string& keys) {
        const BmpFile saved(resultPath());
        std::string mismatch;
        EXPECT_TRUE(eventually([&] {
            mismatch = checkWindow([&](const auto& pixelAt) {
                int differing = 0;
                int black = 0;
                for (int row = 0; row < std::min(windowHeight, saved.height()); ++row) {
                    for (int column = 0; column < std::min(windowWidth, saved.width()); ++column) {
                        differing += pixelAt(column, row) != saved.at(column, row);
                        black += pixelAt(column, row) == Rgb{0, 0, 0};
                    }
                }
                return differing + black == 0 ? std::string()
                                              : std::to_string(differing) + " pixels differ, " +
                                                    std::to_string(black) + " are black";
            });
            return mismatch.empty();
        })) << keys
            << ": " << mismatch;
    }

    ScratchDir scratch;
    pid_t pid = 0;
    std::string window;
    int windowWidth = kEdge;
    int windowHeight = kEdge;
    std::vector<OracleSite> sites;
};

TEST_F(DemoProgram, StartsWithTheLoadingLinesAndABlueTitledWindowAsLargeAsTheRaster) {
    writeRaster();
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(file("console.txt"),
              "RAW file loaded\n"
              "Press 1 to extract binary color range data\n"
              "Press 2 to extract color data in the given minimum and maximum range\n");
    // The window was found by its title; now all of its 996 x 996 pixels are blue.
    std::string blue;
    for (int pixel = 0; pixel < kEdge * kEdge; ++pixel) {
        blue.append(reinterpret_cast<const char*>(backgroundColour().data()), 3);
    }
    EXPECT_TRUE(eventually(
        [&] { return commandOutput("import -window " + window + " -depth 8 rgb:-") == blue; }));
}

TEST_F(DemoProgram, MissingRasterIsReportedAndTheWindowOpensAllTheSame) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(file("console.txt"), "Could not open RAW height data file\n");
}

TEST_F(DemoProgram, ExtractSaveAndViewKeysGiveTheDiagramUnderTheView) {
    writeRaster();
    ASSERT_NO_FATAL_FAILURE(start());
    typeAndWait("1");
    const std::string report = file("console.txt");
    EXPECT_TRUE(endsWithReport(report.substr(0, report.rfind(kInvalidInput)),
                               static_cast<int>(sites.size())))
        << report;
    save("");
    EXPECT_EQ(file("console.txt").substr(report.size()),
              "Result image outputed as result.bmp\n" + kInvalidInput);
    learnColours();
    expectSavedDiagram({1, 0, 0});
    save("d w");
    expectSavedDiagram({1, 10, 10});
    save("q");
    expectSavedDiagram({1.0f + 0.05f, 10, 10});
}

// Keys in one burst ending in 4, in outlines and filled, and a save between
// two resizes: once the program is through, the window shows what it saved.
TEST_F(DemoProgram, TheWindowEndsUpShowingWhatItSaved) {
    writeRaster();
    ASSERT_NO_FATAL_FAILURE(start());
    typeAndWait("1");
    save("");
    learnColours();
    for (const std::string burst : {"v", "d w", "c a s"}) {
        save(burst);
        expectWindowEndsUpShowingTheFile(burst);
    }
    expectSavedDiagram({1, 0, 0});
    resize(500, 500);
    save("");
    expectWindowEndsUpShowingTheFile("shrunk, 4");
    resize(kEdge, kEdge);
    std::string mismatch;
    EXPECT_TRUE(eventually([&] {
        mismatch = checkWindow([&](const auto& pixelAt) {
            return diagramMismatches(kEdge, kEdge, pixelAt, sites, kEdge / 2, {1, 0, 0});
        });
        return mismatch.empty();
    })) << "enlarged: "
        << mismatch;
    save("");
    expectWindowEndsUpShowingTheFile("enlarged, 4");
    expectSavedDiagram({1, 0, 0});
}

// A window resized while a long wire-frame picture is worked out shows the
// background until the new picture is ready, not what the window system
// left in it (black).
TEST_F(DemoProgram, AResizeDuringALongPictureShowsTheBackgroundMeanwhile) {
    writeCrowdedRaster(1);
    ASSERT_NO_FATAL_FAILURE(start());
    // At zoom 0.05 a picture takes seconds.
    typeAndWait("1 v x q");
    ASSERT_NO_FATAL_FAILURE(resize(500, 500));
    ASSERT_NO_FATAL_FAILURE(resize(kEdge, kEdge));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(checkWindow([&](const auto& pixelAt) {
                  int black = 0;
                  for (int row = 0; row < windowHeight; ++row) {
                      for (int column = 0; column < windowWidth; ++column) {
                          black += pixelAt(column, row) == Rgb{0, 0, 0};
                      }
                  }
                  return black == 0 ? std::string() : std::to_string(black) + " pixels black";
              }),
              "");
}

// Saves still pending when the window is closed: a wire-frame one whose
// picture is still being worked out, and a filled one behind it, each of
// the state its 4 was pressed in, whatever the keys after it. Both are
// written and announced before the program ends; the filled one, the last,
// holds what a save of that state holds. A close with nothing pending ends
// the program at once, though a picture is being worked out.
TEST_F(DemoProgram, ClosingFinishesThePendingSavesAndEndsTheProgram) {
    writeCrowdedRaster(1);
    ASSERT_NO_FATAL_FAILURE(start());
    // Zoomed out, where the picture takes longest.
    typeAndWait("1 c e e e e e e e e e e");
    const std::string reference = savedReference("");
    const std::size_t before = file("console.txt").size();
    typeNow("v 4 c 4 d");
    ASSERT_TRUE(askWindowToClose(window));
    const double closing = secondsToEnd();
    const std::string said = file("console.txt").substr(before);
    EXPECT_EQ(count(said, "Result image outputed as result.bmp\n"), 2) << said;
    EXPECT_EQ(said.find("Could not"), std::string::npos) << said;
    EXPECT_TRUE(file("result.bmp") == reference);
    EXPECT_LT(closing, 60.0);

    fs::remove(resultPath());
    ASSERT_NO_FATAL_FAILURE(start());
    typeAndWait("1 v e e e e e e e e e");
    typeNow("e");
    ASSERT_TRUE(askWindowToClose(window));
    EXPECT_LT(secondsToEnd(), 10.0);
    EXPECT_FALSE(fs::exists(resultPath()));
}

// A window destroyed from outside, which the program is never told of and
// where GL draws nowhere, while a save waits for its wire-frame picture: the
// picture worked out in memory is saved as the window would have shown it,
// and the program ends.
TEST_F(DemoProgram, DestroyingTheWindowFinishesThePendingSaveAndEndsTheProgram) {
    writeCrowdedRaster(1);
    ASSERT_NO_FATAL_FAILURE(start());
    typeAndWait("1 v e e e e e e e e e e");
    const std::string reference = savedReference("");
    const std::size_t before = file("console.txt").size();
    typeNow("a d 4");
    commandOutput("xdotool windowclose " + window + " 2>/dev/null");
    EXPECT_LT(secondsToEnd(), 60.0);
    const std::string said = file("console.txt").substr(before);
    EXPECT_EQ(count(said, "Result image outputed as result.bmp\n"), 1) << said;
    EXPECT_EQ(said.find("Could not"), std::string::npos) << said;
    EXPECT_TRUE(file("result.bmp") == reference);
    EXPECT_EQ(file("errors.txt").find("X Error"), std::string::npos) << file("errors.txt");
}

// A save pending when the window is hidden is written while it stays
// hidden, with the picture of the state 4 was pressed in, and the window
// shows it once it is shown again.
TEST_F(DemoProgram, HidingTheWindowLeavesNoSaveWaiting) {
    writeCrowdedRaster(2);
    ASSERT_NO_FATAL_FAILURE(start());
    typeAndWait("1 v");
    const std::string reference = savedReference("");
    typeAndWait("d");
    typeNow("a 4");
    commandOutput("xdotool windowunmap " + window);
    ASSERT_TRUE(eventually([&] { return fs::exists(resultPath()); }));
    EXPECT_NE(commandOutput("xwininfo -id " + window).find("IsUnMapped"), std::string::npos);
    EXPECT_TRUE(eventually([&] { return file("result.bmp") == reference; }));
    const std::string console = file("console.txt");
    const std::string line = "Result image outputed as result.bmp\n";
    EXPECT_EQ(console.substr(console.size() - std::min(console.size(), line.size())), line);
    commandOutput("xdotool windowmap " + window);
    expectWindowEndsUpShowingTheFile("shown again");
}

}  // namespace
