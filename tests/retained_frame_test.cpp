#define GL_GLEXT_PROTOTYPES
#include "app/frame.h"

#include <GL/freeglut.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/callbacks.h"
#include "app/commands.h"
#include "app/globals.h"
#include "app/keys.h"
#include "measure/stopwatch.h"
#include "sitemap/memory_room_testing.h"
#include "tests/support/bmp_file.h"
#include "tests/support/console_capture.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/site_scenes.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 160;

// The window's renderer, driven through the program's own keys.
class RetainedFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        openTestWindow(kSize, kSize);
        map.size = kSize;
        // Edge pixels for key 1: a ring and a bar.
        std::vector<unsigned char> raster(kSize * kSize, 0);
        for (int index = 0; index < kSize * kSize; ++index) {
            const int column = index % kSize;
            const int row = index / kSize;
            const double ring = std::hypot(column - 70.0, row - 90.0);
            const bool onBar = row == 30 && column > 20 && column < 140;
            raster[index] = (std::fabs(ring - 35.0) < 0.5 || onBar) ? 255 : 0;
        }
        ASSERT_TRUE(map.loadRaw(scratch.write("edges.raw", raster).c_str(), kSize));
        g_heightMap = &map;
        g_stopwatch = &stopwatch;
        g_zoom = 1.0f;
        g_panX = 0.0f;
        g_panY = 0.0f;
    }

    void TearDown() override {
        g_heightMap = nullptr;
        g_stopwatch = nullptr;
        g_zoom = 1.0f;
        g_panX = g_panY = 0.0f;
    }

    ViewState currentView() const { return {g_zoom, g_panX, g_panY}; }

    PixelGrid renderWindowFrame() {
        renderer.render(map, currentView());
        return PixelGrid::readBack(kSize, kSize);
    }

    void press(unsigned char key) {
        ConsoleCapture console;
        runKeyCommand(commandForKey(key));
    }

    // After a change: the next frames are drawn afresh until the picture is
    // finished and show the change, and the one after is the retained copy.
    void expectRedrawnThenRetained(const std::string& change) {
        SCOPED_TRACE(change);
        renderer.render(map, currentView());
        EXPECT_FALSE(renderer.lastFrameRetained());
        while (!renderer.pictureFinished()) {
            renderer.render(map, currentView());
        }
        const PixelGrid changed = PixelGrid::readBack(kSize, kSize);
        FrameRenderer fresh;
        fresh.renderFinished(map, currentView());
        const PixelGrid expected = PixelGrid::readBack(kSize, kSize);
        const PixelGrid again = renderWindowFrame();
        EXPECT_TRUE(renderer.lastFrameRetained());
        int wrong = 0;
        int unretained = 0;
        for (int row = 0; row < kSize; ++row) {
            for (int column = 0; column < kSize; ++column) {
                wrong += changed.at(column, row) != expected.at(column, row);
                unretained += again.at(column, row) != changed.at(column, row);
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(unretained, 0);
    }

    HeightMap map;
    FrameRenderer renderer;
    ScratchDir scratch;
    Stopwatch stopwatch;
};

TEST_F(RetainedFrameTest, EachKindOfChangeIsDrawnOnTheNextFrame) {
    expectRedrawnThenRetained("start");
    press('1');
    ASSERT_GT(map.siteCount, 0);
    expectRedrawnThenRetained("extraction");
    for (unsigned char key : std::string("adswfhgtqezx")) {
        press(key);
        expectRedrawnThenRetained(std::string("view key ") + static_cast<char>(key));
    }
    press('v');
    expectRedrawnThenRetained("outlines");
    press('2');
    expectRedrawnThenRetained("extraction in wire-frame");
    press('c');
    expectRedrawnThenRetained("filled with culling");
}

// The window's own renderer in wire-frame mode: a key starts the new picture,
// also while one is still worked out (a frame waits 15 ms for it, so a slow
// machine meets that case more often than a fast one), and 4 saves the
// finished picture of the state it was pressed in, once that is worked out,
// while later keys change the window's picture.
TEST_F(RetainedFrameTest, KeysMidPictureRestartItAndFourSavesItFinished) {
    const fs::path startDirectory = fs::current_path();
    fs::current_path(scratch.path());
    g_windowWidth = g_windowHeight = kSize;
    FrameRenderer& window = windowFrameRenderer();
    press('1');
    press('v');
    for (const std::string keys : {"d", "4", "4e"}) {
        SCOPED_TRACE(keys);
        fs::remove("result.bmp");
        press('a');
        window.render(map, currentView());
        const ViewState pressedIn = currentView();
        for (const char key : keys) {
            press(static_cast<unsigned char>(key));
        }
        const bool saving = keys.find('4') != std::string::npos;
        // At least one frame after the keys, as the window asks for one.
        do {
            window.render(map, currentView());
        } while (!window.pictureFinished() || (saving && !fs::exists("result.bmp")));
        const PixelGrid shown = PixelGrid::readBack(kSize, kSize);
        std::optional<BmpFile> saved;
        if (saving) {
            saved.emplace("result.bmp");
        }
        FrameRenderer().renderFinished(map, saving ? pressedIn : currentView());
        EXPECT_EQ(pixelsDifferingFrom(kSize, kSize,
                                      [&](int column, int row) {
                                          return saved ? saved->at(column, row)
                                                       : shown.at(column, row);
                                      }),
                  0);
    }
    fs::current_path(startDirectory);
}

// Memory running out at each large allocation in turn of what the fast
// pictures need (the candidate lists on the lattice and off it, the
// wire-frame picture): one line, and the full cones instead.
TEST_F(RetainedFrameTest, MemoryRunningOutLeavesTheFullConesAfterOneLine) {
    const std::string filled =
        "Could not allocate memory for the filled drawing, drawing the full cones\n";
    const std::string outlines =
        "Could not allocate memory for the wire-frame picture, drawing the full cones\n";
    const std::tuple<const char*, GLenum, std::string> kCases[] = {
        {"curves", GL_FILL, filled}, {"random", GL_FILL, filled}, {"random", GL_LINE, outlines}};
    for (const auto& [scene, mode, line] : kCases) {
        SCOPED_TRACE(scene + std::string(mode == GL_LINE ? " outlined" : " filled"));
        map.resetSites();
        buildScene(scene, map, kSize);
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT, mode);
        FrameRenderer().drawFrame(map, currentView(), ConeDrawing::Reference);
        const PixelGrid reference = PixelGrid::readBack(kSize, kSize);
        int allocation = 0;
        for (;; ++allocation) {
            // The screen pass whatever the number of sites.
            FrameRenderer renderer(SliceBudget::kDefaultBudgetMs, 0);
            failLargeAllocationAfter(allocation);
            const std::string said =
                printedBy([&] { renderer.renderFinished(map, currentView()); });
            failLargeAllocationAfter(-1);
            if (said.empty()) {
                break;
            }
            EXPECT_EQ(said, line) << allocation;
            EXPECT_EQ(
                pixelsDifferingFrom(kSize, kSize,
                                    [&](int column, int row) { return reference.at(column, row); }),
                0)
                << allocation;
        }
        EXPECT_GT(allocation, 2);
    }
}

// Where memory runs out for a wire-frame picture that a save waits for, the
// full cones draw it in slices, a frame at a time: of the state 4 was
// pressed in, whatever the keys pressed meanwhile (sites, filled polygons).
TEST_F(RetainedFrameTest, FourSavesTheStateItWasPressedInWhereTheFullConesStandIn) {
    const fs::path startDirectory = fs::current_path();
    fs::current_path(scratch.path());
    g_windowWidth = g_windowHeight = kSize;
    press('1');
    press('v');
    FrameRenderer window(0.0);
    window.renderFinished(map, currentView());  // the context's check done
    press('d');
    FrameRenderer().drawFrame(map, currentView(), ConeDrawing::Reference);
    const PixelGrid reference = PixelGrid::readBack(kSize, kSize);
    std::string said;
    {
        ConsoleCapture console;
        // The request reuses the list's copy of the last picture; the worker
        // finds no room.
        failLargeAllocationAfter(0);
        window.saveWhenDrawn(map, currentView(),
                             [&] { g_heightMap->saveFrame("result.bmp", kSize, kSize); });
        press('c');
        press('1');
        while (window.savePending()) {
            window.render(map, currentView());
        }
        failLargeAllocationAfter(-1);
        said = console.text();
    }
    EXPECT_EQ(said,
              "Could not allocate memory for the wire-frame picture, drawing the full cones\n");
    const BmpFile saved("result.bmp");
    int differing = 0;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            differing += saved.at(column, row) != reference.at(column, row);
        }
    }
    EXPECT_EQ(differing, 0);
    fs::current_path(startDirectory);
}

// Closing the window releases its renderer's GL objects while the context
// still exists: at exit it is gone.
TEST_F(RetainedFrameTest, ClosingTheWindowReleasesItsGlObjects) {
    const auto liveObjects = [] {
        int live = 0;
        for (GLuint name = 1; name < 1024; ++name) {
            live += glIsBuffer(name) + glIsFramebuffer(name) + glIsRenderbuffer(name) +
                    glIsProgram(name) + glIsShader(name);
        }
        return live;
    };
    closed();
    const int before = liveObjects();
    press('1');
    windowFrameRenderer().render(map, currentView());
    windowFrameRenderer().render(map, currentView());
    EXPECT_GT(liveObjects(), before);
    closed();
    EXPECT_EQ(liveObjects(), before);
}

TEST_F(RetainedFrameTest, AWindowOfAnotherSizeIsDrawnAfresh) {
    press('1');
    renderWindowFrame();
    renderWindowFrame();
    ASSERT_TRUE(renderer.lastFrameRetained());
    glViewport(0, 0, kSize / 2, kSize);
    renderWindowFrame();
    EXPECT_FALSE(renderer.lastFrameRetained());
    glViewport(0, 0, kSize, kSize);
}

}  // namespace
