#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bmp_file.h"
#include "tests/support/demo_program.h"
#include "tests/support/diagram_check.h"
#include "tests/support/extraction_report.h"
#include "tests/support/window_close.h"

namespace {

namespace fs = std::filesystem;

// The program with the scenes these tests draw, and the sites it should find.
class DemoProgram : public DemoProgramTest {
protected:
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

    // Holds result.bmp to the exact diagram under the view; the file's rows
    // run top-down from the window's bottom row.
    void expectSavedDiagram(const ViewState& view) {
        const BmpFile picture(resultPath());
        ASSERT_EQ(picture.width(), kEdge);
        ASSERT_EQ(picture.height(), kEdge);
        const auto pixelAt = [&](int column, int row) { return picture.at(column, row); };
        EXPECT_EQ(diagramMismatches(kEdge, kEdge, pixelAt, sites, kEdge / 2, view), "");
    }

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
