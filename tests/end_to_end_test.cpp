#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bmp_file.h"
#include "tests/support/diagram_check.h"
#include "tests/support/extraction_report.h"
#include "tests/support/scratch_dir.h"

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
        if (running()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Starts it with its output in console.txt and waits for its window.
    void start() {
        pid = fork();
        if (pid == 0) {
            if (chdir(scratch.path().c_str()) == 0) {
                dup2(open("console.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644), STDOUT_FILENO);
                dup2(open("errors.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644), STDERR_FILENO);
                execl(VORONOI_DEMO_PATH, VORONOI_DEMO_PATH, static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        const std::string search = "xdotool search --pid " + std::to_string(pid) +
                                   " --name '^2D Voronoi Topology Generation Demo$' 2>/dev/null";
        ASSERT_TRUE(eventually([&] {
            window = commandOutput(search);
            window = window.substr(0, window.find('\n'));
            return !window.empty();
        })) << "no window; console:\n"
            << file("console.txt") << "errors:\n"
            << file("errors.txt");
    }

    bool running() {
        reaped = reaped || (pid > 0 && waitpid(pid, nullptr, WNOHANG) == pid);
        return pid > 0 && !reaped;
    }

    std::string file(const std::string& name) const {
        std::ifstream in(scratch.path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Types the keys and waits for their lines: a key without a command
    // follows, whose "Invalid input" comes only once the others are done.
    void typeAndWait(const std::string& keys) {
        const std::size_t before = file("console.txt").size();
        // xdotool grumbles on stderr about the missing window manager's focus.
        commandOutput("xdotool key --window " + window + " " + keys + " 0 2>/dev/null");
        ASSERT_TRUE(eventually([&] {
            const std::string text = file("console.txt");
            return text.size() >= before + kInvalidInput.size() &&
                   text.compare(text.size() - kInvalidInput.size(), std::string::npos,
                                kInvalidInput) == 0;
        })) << file("console.txt");
    }

    // 150 bright pixels at 5 past multiples of 20, so that no two markers are
    // near and none falls on half a pixel after the pan and zoom keys; plus
    // 255 on row 0 and column 0 and 254 elsewhere, which key 1 passes over.
    void writeRaster() {
        std::vector<std::pair<int, int>> lattice;
        for (int x = 25; x < kEdge - 20; x += 20) {
            for (int y = 25; y < kEdge - 20; y += 20) {
                lattice.emplace_back(x, y);
            }
        }
        std::shuffle(lattice.begin(), lattice.end(), std::mt19937(4));
        lattice.resize(150);
        std::vector<unsigned char> samples(kEdge * kEdge, 0);
        for (const auto& [x, y] : lattice) {
            samples[y * kEdge + x] = 255;
            sites.push_back({static_cast<double>(x), static_cast<double>(y), 0, 0, 0});
        }
        samples[300] = samples[500 * kEdge] = 255;
        samples[3 * kEdge + 3] = samples[990 * kEdge + 5] = 254;
        scratch.write("data/face_binary_edges.raw", samples);
    }

    void save(const std::string& keys) {
        fs::remove(resultPath());
        typeAndWait(keys + " 4");
    }

    // Holds result.bmp to the exact diagram under the view; the file's rows
    // run top-down from the window's bottom row.
    void expectSavedDiagram(const ViewState& view) {
        const BmpFile picture(resultPath());
        ASSERT_EQ(picture.type(), FIF_BMP);
        EXPECT_EQ(picture.bitsPerPixel(), 24);
        ASSERT_EQ(picture.width(), kEdge);
        ASSERT_EQ(picture.height(), kEdge);
        const auto pixelAt = [&](int column, int row) { return picture.at(column, row); };
        EXPECT_EQ(diagramMismatches(kEdge, kEdge, pixelAt, sites, kEdge / 2, view), "");
    }

    std::string resultPath() const { return (scratch.path() / "result.bmp").string(); }

    ScratchDir scratch;
    pid_t pid = -1;
    bool reaped = false;
    std::string window;
    std::vector<OracleSite> sites;
};

TEST_F(DemoProgram, StartsWithTheLoadingLinesAndABlueTitledWindowAsLargeAsTheRaster) {
    writeRaster();
    start();
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
    start();
    EXPECT_EQ(file("console.txt"), "Could not open RAW height data file\n");
    EXPECT_TRUE(running());
}

TEST_F(DemoProgram, ExtractSaveAndViewKeysGiveTheDiagramUnderTheView) {
    writeRaster();
    start();
    typeAndWait("1");
    const std::string report = file("console.txt");
    EXPECT_TRUE(endsWithReport(report.substr(0, report.rfind(kInvalidInput)), 150)) << report;
    save("");
    EXPECT_EQ(file("console.txt").substr(report.size()),
              "Result image outputed as result.bmp\n" + kInvalidInput);
    {
        // The program picks the colours: read each off the picture beside its marker.
        const BmpFile unmoved(resultPath());
        for (OracleSite& site : sites) {
            const Rgb colour = unmoved.at(static_cast<int>(site.x) + 4, static_cast<int>(site.y));
            site.r = colour[0];
            site.g = colour[1];
            site.b = colour[2];
        }
    }
    expectSavedDiagram({1, 0, 0});
    save("d w");
    expectSavedDiagram({1, 10, 10});
    save("q");
    expectSavedDiagram({1.0f + 0.05f, 10, 10});
}

}  // namespace
