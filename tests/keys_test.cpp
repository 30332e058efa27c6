#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/callbacks.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"
#include "measure/stopwatch.h"
#include "sitemap/height_map.h"
#include "tests/support/bmp_file.h"
#include "tests/support/console_capture.h"
#include "tests/support/extraction_report.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kEdge = 128;
constexpr Rgb kRed{255, 0, 0};

// A small raster: seven pixels that both extractions take, one on row 0 that
// only the range extraction tests, and three that only it accepts.
std::vector<unsigned char> smallRaster() {
    std::vector<unsigned char> samples(kEdge * kEdge, 0);
    const auto set = [&](int column, int row, unsigned char value) {
        samples[row * kEdge + column] = value;
    };
    for (const auto& [column, row] :
         {std::pair{10, 20}, {40, 90}, {100, 30}, {70, 70}, {120, 110}, {25, 60}, {90, 115}}) {
        set(column, row, 255);
    }
    set(50, 0, 255);
    set(60, 40, 240);
    set(15, 100, 240);
    set(110, 10, 231);
    return samples;
}

std::vector<Rgb> pictureIn(const std::string& path) {
    const BmpFile file(path);
    std::vector<Rgb> pixels;
    for (int row = 0; row < file.height(); ++row) {
        for (int column = 0; column < file.width(); ++column) {
            pixels.push_back(file.at(column, row));
        }
    }
    return pixels;
}

// Notes at every flush of std::cout whether "result.bmp" exists yet.
class FlushWatch : public std::stringbuf {
public:
    std::vector<bool> fileExisted;

protected:
    int sync() override {
        fileExisted.push_back(fs::exists("result.bmp"));
        return 0;
    }
};

struct SavedGlobals {
    HeightMap* heightMap = g_heightMap;
    Stopwatch* stopwatch = g_stopwatch;
    int windowWidth = g_windowWidth;
    int windowHeight = g_windowHeight;
    float zoom = g_zoom;
    float panX = g_panX;
    float panY = g_panY;
    int windowId = g_windowId;

    void restore() const {
        g_heightMap = heightMap;
        g_stopwatch = stopwatch;
        g_windowWidth = windowWidth;
        g_windowHeight = windowHeight;
        g_zoom = zoom;
        g_panX = panX;
        g_panY = panY;
        g_windowId = windowId;
    }
};

// The program as main leaves it, with the small raster loaded, a window of
// its size, and the working directory in a scratch folder for result.bmp.
class KeyCommands : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string rasterPath = scratch.write("face.raw", smallRaster());
        startDirectory = fs::current_path();
        fs::current_path(scratch.path());
        g_heightMap = new HeightMap();
        {
            ConsoleCapture quiet;
            ASSERT_TRUE(g_heightMap->loadRaw(rasterPath.c_str(), kEdge));
        }
        g_stopwatch = new Stopwatch();
        g_windowWidth = kEdge;
        g_windowHeight = kEdge;
        g_zoom = 1.0f;
        g_panX = 0.0f;
        g_panY = 0.0f;
        openTestWindow(kEdge, kEdge);
        g_windowId = glutGetWindow();
        windowFrameRenderer().forgetRetainedFrame();
    }

    void TearDown() override {
        fs::current_path(startDirectory);
        delete g_heightMap;
        delete g_stopwatch;
        saved.restore();
    }

    static std::string press(unsigned char key) {
        ConsoleCapture console;
        keyboard(key, 0, 0);
        return console.text();
    }

    static void expectView(float zoom, float panX, float panY) {
        EXPECT_EQ(g_zoom, zoom);
        EXPECT_EQ(g_panX, panX);
        EXPECT_EQ(g_panY, panY);
    }

    static std::vector<GLint> polygonModes() {
        std::vector<GLint> modes(2);
        glGetIntegerv(GL_POLYGON_MODE, modes.data());
        return modes;
    }

    SavedGlobals saved;
    ScratchDir scratch;
    fs::path startDirectory;
};

TEST_F(KeyCommands, PanKeysMoveByTheirStepInRasterPixelsAndSayNothing) {
    struct PanKey {
        unsigned char key;
        float stepX;
        float stepY;
    };
    const PanKey panKeys[] = {{'a', -10, 0},  {'d', 10, 0},  {'s', 0, -10},  {'w', 0, 10},
                              {'f', -0.5, 0}, {'h', 0.5, 0}, {'g', 0, -0.5}, {'t', 0, 0.5}};
    g_zoom = 2.5f;
    g_panX = 3.0f;
    g_panY = -4.25f;
    for (const PanKey& panKey : panKeys) {
        SCOPED_TRACE(std::string("key ") + static_cast<char>(panKey.key));
        const float panX = g_panX;
        const float panY = g_panY;
        EXPECT_EQ(press(panKey.key), "");
        expectView(2.5f, panX + panKey.stepX, panY + panKey.stepY);
    }
}

TEST_F(KeyCommands, ZoomKeysStepByFiveHundredthsAndByOne) {
    const std::pair<unsigned char, float> zoomKeys[] = {{'q', 0.05f}, {'q', 0.05f}, {'e', -0.05f},
                                                        {'z', 1.0f},  {'x', -1.0f}, {'x', -1.0f}};
    g_panX = 7.0f;
    g_panY = -2.0f;
    for (const auto& [key, step] : zoomKeys) {
        SCOPED_TRACE(std::string("key ") + static_cast<char>(key));
        const float zoom = g_zoom;
        EXPECT_EQ(press(key), "");
        expectView(zoom + step, 7.0f, -2.0f);
    }
}

TEST_F(KeyCommands, ZoomOutAtStartUpLeavesBackgroundWithMarkersInTheCornerUntilZoomIn) {
    press('1');
    press('4');
    const std::vector<Rgb> diagram = pictureIn("result.bmp");
    ASSERT_EQ(diagram.size(), static_cast<std::size_t>(kEdge * kEdge));

    EXPECT_EQ(press('x'), "");
    EXPECT_EQ(g_zoom, 0.0f);
    press('4');
    const BmpFile zoomedOut("result.bmp");
    ASSERT_TRUE(zoomedOut.loaded());
    int wrongPixels = 0;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            // Every marker is a 4-pixel square centred on the corner.
            const Rgb expected = column < 2 && row < 2 ? kRed : backgroundColour();
            wrongPixels += zoomedOut.at(column, row) != expected;
        }
    }
    EXPECT_EQ(wrongPixels, 0);

    EXPECT_EQ(press('z'), "");
    EXPECT_EQ(g_zoom, 1.0f);
    press('4');
    EXPECT_TRUE(pictureIn("result.bmp") == diagram);
}

TEST_F(KeyCommands, FillAndWireframeKeysSaySoAndSetFrontFacesWithCulling) {
    EXPECT_EQ(press('v'), "Wireframe display mode\n");
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_LINE, GL_FILL}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    EXPECT_EQ(press('c'), "Color fill display mode\n");
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_FILL, GL_FILL}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(KeyCommands, ExtractionReportsShowTheRunningTotalLast) {
    const auto expectReport = [](const std::string& console, int total) {
        EXPECT_TRUE(endsWithReport(console, total)) << console;
        EXPECT_EQ(console.find("Done! "), console.rfind("Done! "));
        EXPECT_EQ(console.rfind("point found at x:", 0), 0u);
    };
    expectReport(press('1'), 7);
    expectReport(press('1'), 14);
    expectReport(press('2'), 14 + 8 + 3);
    EXPECT_EQ(g_heightMap->siteCount, 25);
}

TEST_F(KeyCommands, ThreeDoesNothingAtAll) {
    press('1');
    g_panX = 1.5f;
    EXPECT_EQ(press('3'), "");
    expectView(1.0f, 1.5f, 0.0f);
    EXPECT_EQ(g_heightMap->siteCount, 7);
    EXPECT_EQ(polygonModes(), (std::vector<GLint>{GL_FILL, GL_FILL}));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(fs::exists("result.bmp"));
}

TEST_F(KeyCommands, KeysWithoutACommandSayInvalidInputAndChangeNothing) {
    std::vector<unsigned char> keys = {'0', '5', '6', '7', '8', '9', ' ', 27, '\r', '-', '+'};
    for (unsigned char letter = 'A'; letter <= 'Z'; ++letter) {
        keys.push_back(letter);
    }
    for (unsigned char key : keys) {
        SCOPED_TRACE("key code " + std::to_string(key));
        EXPECT_EQ(press(key), "Invalid input\n");
    }
    expectView(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(g_heightMap->siteCount, 0);
    EXPECT_FALSE(fs::exists("result.bmp"));
}

TEST_F(KeyCommands, SaveKeyAnnouncesTheFileBeforeWritingWhatTheWindowShows) {
    press('1');
    FlushWatch watch;
    std::streambuf* console = std::cout.rdbuf(&watch);
    keyboard('4', 0, 0);
    std::cout.rdbuf(console);

    EXPECT_EQ(watch.str(), "Result image outputed as result.bmp\n");
    EXPECT_EQ(watch.fileExisted, std::vector<bool>{false});
    const BmpFile file("result.bmp");
    ASSERT_TRUE(file.loaded());
    ASSERT_EQ(file.width(), kEdge);
    ASSERT_EQ(file.height(), kEdge);
    const PixelGrid window = PixelGrid::readBack(kEdge, kEdge);
    int wrongPixels = 0;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            wrongPixels += file.at(column, row) != window.at(column, row);
        }
    }
    EXPECT_EQ(wrongPixels, 0);
    EXPECT_EQ(file.at(40, 90), kRed);
}

TEST_F(KeyCommands, SaveKeyAnnouncesTheFileAlsoWhenItCannotBeWritten) {
    fs::create_directory("result.bmp");
    EXPECT_EQ(press('4'), "Result image outputed as result.bmp\nCould not write result.bmp\n");
    EXPECT_TRUE(fs::is_directory("result.bmp"));
}

}  // namespace
