#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/frame.h"
#include "app/globals.h"
#include "measure/stopwatch.h"
#include "sitemap/height_map.h"
#include "tests/support/bmp_file.h"
#include "tests/support/console_capture.h"
#include "tests/support/diagram_check.h"
#include "tests/support/extraction_report.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEdge = 128;

std::string press(unsigned char key) {
    return printedBy([&] { keyboard(key, 0, 0); });
}

std::vector<GLint> polygonModes() {
    std::vector<GLint> modes(2);
    glGetIntegerv(GL_POLYGON_MODE, modes.data());
    return modes;
}

// The program as main leaves it, in a scratch working directory for
// result.bmp, with a raster of three pixels that both extractions take and
// two (on row 0, and at 240) that only the range extraction takes.
class KeyCommands : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<unsigned char> raster(kEdge * kEdge, 0);
        raster[20 * kEdge + 10] = raster[90 * kEdge + 40] = raster[30 * kEdge + 100] = 255;
        raster[50] = 255;
        raster[40 * kEdge + 60] = 240;
        const std::string rasterPath = scratch.write("face.raw", raster);
        fs::current_path(scratch.path());
        g_heightMap = new HeightMap();
        printedBy([&] { ASSERT_TRUE(g_heightMap->loadRaw(rasterPath.c_str(), kEdge)); });
        g_stopwatch = new Stopwatch();
        g_windowWidth = g_windowHeight = kEdge;
        openTestWindow(kEdge, kEdge);
        g_windowId = glutGetWindow();
        windowFrameRenderer().forgetRetainedFrame();
    }

    void TearDown() override {
        fs::current_path(startDirectory);
        delete g_heightMap;
        delete g_stopwatch;
        g_zoom = 1.0f;
        g_panX = g_panY = 0.0f;
    }

    const fs::path startDirectory = fs::current_path();
    ScratchDir scratch;
};

TEST_F(KeyCommands, ViewKeysStepTheViewAndSayNothing) {
    struct Step {
        unsigned char key;
        float zoom, panX, panY;
    };
    // Zooming first: the pan steps are raster pixels, whatever the zoom.
    const Step steps[] = {{'z', 1, 0, 0},    {'q', 0.05f, 0, 0},  {'a', 0, -10, 0},
                          {'d', 0, 10, 0},   {'s', 0, 0, -10},    {'w', 0, 0, 10},
                          {'f', 0, -0.5, 0}, {'h', 0, 0.5, 0},    {'g', 0, 0, -0.5},
                          {'t', 0, 0, 0.5},  {'e', -0.05f, 0, 0}, {'x', -1, 0, 0}};
    for (const Step& step : steps) {
        const ViewState before{g_zoom, g_panX, g_panY};
        EXPECT_EQ(press(step.key), "") << step.key;
        EXPECT_EQ(g_zoom, before.zoom + step.zoom) << step.key;
        EXPECT_EQ(g_panX, before.panX + step.panX) << step.key;
        EXPECT_EQ(g_panY, before.panY + step.panY) << step.key;
    }
}

TEST_F(KeyCommands, ZoomOutAtStartUpLeavesTheMarkersInTheCornerUntilZoomIn) {
    const auto saved = [] {
        EXPECT_EQ(press('4'), "Result image outputed as result.bmp\n");
        const BmpFile file("result.bmp");
        std::vector<Rgb> pixels;
        for (int index = 0; index < kEdge * kEdge; ++index) {
            pixels.push_back(file.at(index % kEdge, index / kEdge));
        }
        return pixels;
    };
    press('1');
    const std::vector<Rgb> diagram = saved();
    press('x');
    EXPECT_EQ(g_zoom, 0.0f);
    // Every marker is a 4-pixel square centred on the lower-left corner.
    std::vector<Rgb> corner(kEdge * kEdge, backgroundColour());
    corner[0] = corner[1] = corner[kEdge] = corner[kEdge + 1] = kMarkerRed;
    EXPECT_TRUE(saved() == corner);
    press('z');
    EXPECT_EQ(g_zoom, 1.0f);
    EXPECT_TRUE(saved() == diagram);
}

TEST_F(KeyCommands, FillAndWireframeKeysSaySoAndSetFrontFacesWithCulling) {
    EXPECT_EQ(press('v'), "Wireframe display mode\n");
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_LINE, GL_FILL}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(press('c'), "Color fill display mode\n");
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_FILL, GL_FILL}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(KeyCommands, ExtractionsListTheirSitesAndReportTheRunningTotalLast) {
    for (const auto& [key, total] : {std::pair{'1', 3}, {'1', 6}, {'2', 11}}) {
        const std::string console = press(key);
        EXPECT_TRUE(endsWithReport(console, total)) << console;
        EXPECT_EQ(console.rfind("point found at x:", 0), 0u);
    }
}

// Notes at every flush of std::cout whether result.bmp exists yet.
class FlushWatch : public std::stringbuf {
public:
    std::vector<bool> fileExisted;

protected:
    int sync() override {
        fileExisted.push_back(fs::exists("result.bmp"));
        return 0;
    }
};

TEST_F(KeyCommands, SaveKeyAnnouncesTheFileBeforeWritingItAndWhenItCannot) {
    FlushWatch watch;
    std::streambuf* const console = std::cout.rdbuf(&watch);
    keyboard('4', 0, 0);
    std::cout.rdbuf(console);
    EXPECT_EQ(watch.str(), "Result image outputed as result.bmp\n");
    EXPECT_EQ(watch.fileExisted, std::vector<bool>{false});
    EXPECT_TRUE(BmpFile("result.bmp").loaded());

    fs::remove("result.bmp");
    fs::create_directory("result.bmp");
    EXPECT_EQ(press('4'), "Result image outputed as result.bmp\nCould not write result.bmp\n");
}

TEST_F(KeyCommands, KeysWithoutACommandChangeNothingAndAllButThreeSayInvalidInput) {
    std::vector<unsigned char> keys = {'3', '0', '5', '6', '7', '8', '9', ' ', 27, '\r', '-'};
    for (unsigned char letter = 'A'; letter <= 'Z'; ++letter) {
        keys.push_back(letter);
    }
    for (unsigned char key : keys) {
        EXPECT_EQ(press(key), key == '3' ? "" : "Invalid input\n") << "key code " << int(key);
    }
    EXPECT_EQ(g_zoom, 1.0f);
    EXPECT_EQ(g_panX, 0.0f);
    EXPECT_EQ(g_panY, 0.0f);
    EXPECT_EQ(g_heightMap->siteCount, 0);
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_FILL, GL_FILL}));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(fs::exists("result.bmp"));
}

}  // namespace
