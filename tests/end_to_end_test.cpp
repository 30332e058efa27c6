#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "measure/diagram_oracle.h"
#include "tests/support/bmp_file.h"
#include "tests/support/demo_session.h"
#include "tests/support/extraction_report.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr int kEdge = 996;
constexpr int kConeRadius = kEdge / 2;
constexpr Rgb kRed{255, 0, 0};
// Generous: a frame of the literal drawing takes about a second here, and
// much longer under the sanitizers.
constexpr seconds kStartTimeout{60};
constexpr seconds kCommandTimeout{300};

struct RasterPixel {
    int x;
    int y;
};

// Bright pixels at least 16 pixels apart, so the few pixels right beside a
// marker belong to its own site's cell beyond doubt.
std::vector<RasterPixel> scatteredSites() {
    std::mt19937 random(4);
    std::uniform_int_distribution<int> coordinate(20, kEdge - 21);
    std::vector<RasterPixel> sites;
    for (int attempt = 0; attempt < 20000 && sites.size() < 150; ++attempt) {
        const RasterPixel candidate{coordinate(random), coordinate(random)};
        bool roomy = true;
        for (const RasterPixel& site : sites) {
            roomy = roomy && std::hypot(site.x - candidate.x, site.y - candidate.y) >= 16;
        }
        if (roomy) {
            sites.push_back(candidate);
        }
    }
    return sites;
}

// The sites at 255, plus pixels that key 1 passes over: 255 on row 0 and
// column 0, which it never tests, and 254 elsewhere.
std::vector<unsigned char> rasterWith(const std::vector<RasterPixel>& sites) {
    std::vector<unsigned char> samples(kEdge * kEdge, 0);
    for (const RasterPixel& site : sites) {
        samples[site.y * kEdge + site.x] = 255;
    }
    for (const RasterPixel& skipped : {RasterPixel{300, 0}, {700, 0}, {0, 500}, {0, 0}}) {
        samples[skipped.y * kEdge + skipped.x] = 255;
    }
    for (const RasterPixel& dim : {RasterPixel{5, 990}, {990, 5}, {3, 3}}) {
        samples[dim.y * kEdge + dim.x] = 254;
    }
    return samples;
}

int occurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

struct View {
    double zoom;
    double panX;
    double panY;
};

// Each site's colour as the picture at zoom 1 and no pan shows it just
// beyond its marker, on all four sides alike; empty when they differ.
std::vector<OracleSite> coloursFromPicture(const BmpFile& file,
                                           const std::vector<RasterPixel>& sites) {
    std::vector<OracleSite> coloured;
    for (const RasterPixel& site : sites) {
        const Rgb colour = file.at(site.x + 4, site.y);
        for (const Rgb& beside : {file.at(site.x - 4, site.y), file.at(site.x, site.y + 4),
                                  file.at(site.x, site.y - 4)}) {
            if (beside != colour) {
                ADD_FAILURE() << "site " << site.x << ", " << site.y << " has no single colour";
                return {};
            }
        }
        coloured.push_back({static_cast<double>(site.x), static_cast<double>(site.y), colour[0],
                            colour[1], colour[2]});
    }
    return coloured;
}

// Checks a saved picture against the exact diagram under the view: every
// pixel off the markers shows the colour of a site no farther than the
// 32-gon factor times the nearest one's distance (the file's row r from the
// top is the window's row r from the bottom). At whole-pixel views the marker
// on each site is red too.
void expectDiagram(const BmpFile& file, const DiagramOracle& oracle, View view) {
    ASSERT_EQ(file.width(), kEdge);
    ASSERT_EQ(file.height(), kEdge);
    std::vector<bool> nearMarker(kEdge * kEdge, false);
    int redMarkers = 0;
    int markersInWindow = 0;
    for (const OracleSite& site : oracle.sites()) {
        const int column = static_cast<int>(std::floor(view.zoom * (site.x + view.panX)));
        const int row = static_cast<int>(std::floor(view.zoom * (site.y + view.panY)));
        for (int r = row - 3; r <= row + 3; ++r) {
            for (int c = column - 3; c <= column + 3; ++c) {
                if (r >= 0 && r < kEdge && c >= 0 && c < kEdge) {
                    nearMarker[r * kEdge + c] = true;
                }
            }
        }
        if (column >= 0 && column < kEdge && row >= 0 && row < kEdge) {
            ++markersInWindow;
            redMarkers += file.at(column, row) == kRed;
        }
    }
    if (view.zoom == 1.0) {
        EXPECT_EQ(redMarkers, markersInWindow);
    }

    int wrongPixels = 0;
    std::vector<int> candidates;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            if (nearMarker[row * kEdge + column]) {
                continue;
            }
            const RasterPoint point =
                windowPixelToRaster(column, row, view.zoom, view.panX, view.panY);
            const double nearest = oracle.withinFactor(point.x, point.y, facetFactor(), candidates);
            if (nearest * facetFactor() >= kConeRadius) {
                continue;  // near the cones' rims, where no cone need reach
            }
            const Rgb shown = file.at(column, row);
            bool explained = false;
            for (int index : candidates) {
                const OracleSite& site = oracle.sites()[index];
                explained = explained || shown == Rgb{site.r, site.g, site.b};
            }
            if (!explained && wrongPixels++ == 0) {
                ADD_FAILURE() << "first pixel off the diagram: column " << column << ", row "
                              << row;
            }
        }
    }
    EXPECT_EQ(wrongPixels, 0);
}

int differingPixels(const BmpFile& first, const BmpFile& second) {
    int count = 0;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            count += first.at(column, row) != second.at(column, row);
        }
    }
    return count;
}

// The program in a scratch working directory on the test's display.
class DemoProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the program needs a display";
    }

    void writeRaster() { scratch.write("data/face_binary_edges.raw", rasterWith(sites)); }

    std::unique_ptr<DemoSession> startDemo() {
        auto demo = std::make_unique<DemoSession>(VORONOI_DEMO_PATH, scratch.path());
        window = demo->findWindow(kStartTimeout);
        if (window.empty()) {
            ADD_FAILURE() << "no window; the program is " << (demo->running() ? "" : "not ")
                          << "running\nconsole:\n"
                          << demo->console() << "errors:\n"
                          << demo->errors();
        }
        return demo;
    }

    // Key 1, then the report.
    static void extract(DemoSession& demo) {
        demo.type("1");
        ASSERT_TRUE(demo.waitForConsole(
            [](const std::string& text) {
                return text.find("Time taken (seconds): ") != std::string::npos &&
                       text.back() == '\n';
            },
            kCommandTimeout))
            << demo.console();
    }

    // Key 4, followed by a key without a command: its "Invalid input" comes
    // only once the save has returned.
    void save(DemoSession& demo) {
        fs::remove(resultPath());
        const int invalidBefore = occurrences(demo.console(), "Invalid input\n");
        demo.type("4 0");
        ASSERT_TRUE(demo.waitForConsole(
            [&](const std::string& text) {
                return occurrences(text, "Invalid input\n") > invalidBefore;
            },
            kCommandTimeout));
        ASSERT_TRUE(fs::exists(resultPath()));
    }

    std::string resultPath() const { return (scratch.path() / "result.bmp").string(); }

    ScratchDir scratch;
    const std::vector<RasterPixel> sites = scatteredSites();
    std::string window;
};

TEST_F(DemoProgram, StartsWithTheLoadingLinesAndATitledWindowAsLargeAsTheRaster) {
    writeRaster();
    const auto demo = startDemo();
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(demo->console(),
              "RAW file loaded\n"
              "Press 1 to extract binary color range data\n"
              "Press 2 to extract color data in the given minimum and maximum range\n");
    const std::string info = commandOutput("xwininfo -id " + window);
    EXPECT_NE(info.find("\"2D Voronoi Topology Generation Demo\""), std::string::npos) << info;
    EXPECT_NE(info.find("Width: 996\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 996\n"), std::string::npos) << info;
}

TEST_F(DemoProgram, MissingRasterIsReportedAndTheWindowOpensAllTheSame) {
    const auto demo = startDemo();
    EXPECT_FALSE(window.empty());
    EXPECT_EQ(demo->console(), "Could not open RAW height data file\n");
    EXPECT_TRUE(demo->running());
}

TEST_F(DemoProgram, ExtractThenSaveReportsTheTotalAndLeavesTheDiagramInResultBmp) {
    writeRaster();
    const auto demo = startDemo();
    ASSERT_FALSE(window.empty());
    extract(*demo);
    EXPECT_TRUE(endsWithReport(demo->console(), static_cast<int>(sites.size()))) << demo->console();

    save(*demo);
    const std::string console = demo->console();
    EXPECT_EQ(console.substr(console.find("Result image")),
              "Result image outputed as result.bmp\nInvalid input\n");
    const BmpFile picture(resultPath());
    ASSERT_TRUE(picture.loaded());
    EXPECT_EQ(picture.type(), FIF_BMP);
    EXPECT_EQ(picture.bitsPerPixel(), 24);
    const DiagramOracle oracle(coloursFromPicture(picture, sites));
    ASSERT_EQ(oracle.sites().size(), sites.size());
    expectDiagram(picture, oracle, {1.0, 0.0, 0.0});
}

TEST_F(DemoProgram, PanAndZoomKeysMoveTheSavedPictureAsTheViewSays) {
    writeRaster();
    const auto demo = startDemo();
    ASSERT_FALSE(window.empty());
    extract(*demo);
    save(*demo);
    const BmpFile unmoved(resultPath());
    ASSERT_TRUE(unmoved.loaded());
    const DiagramOracle oracle(coloursFromPicture(unmoved, sites));
    ASSERT_EQ(oracle.sites().size(), sites.size());

    demo->type("d w");
    save(*demo);
    {
        const BmpFile panned(resultPath());
        ASSERT_TRUE(panned.loaded());
        expectDiagram(panned, oracle, {1.0, 10.0, 10.0});
        EXPECT_GT(differingPixels(unmoved, panned), kEdge * kEdge / 100);
    }

    demo->type("q");
    save(*demo);
    const BmpFile zoomed(resultPath());
    ASSERT_TRUE(zoomed.loaded());
    expectDiagram(zoomed, oracle, {static_cast<double>(1.0f + 0.05f), 10.0, 10.0});
    EXPECT_GT(differingPixels(unmoved, zoomed), kEdge * kEdge / 100);
}

}  // namespace
