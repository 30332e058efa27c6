#include "tests/support/demo_program.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

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

}  // namespace

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

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

void DemoProgramTest::TearDown() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        // The next test looks its window up by title.
        eventually([] { return commandOutput(kWindowSearch).empty(); });
    }
}

void DemoProgramTest::start() {
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

std::string DemoProgramTest::file(const std::string& name) const {
    std::ifstream in(scratch.path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void DemoProgramTest::typeAndWait(const std::string& keys) {
    const std::size_t before = file("console.txt").size();
    // 5 ms apart, as a quick typist's keys reach the program in one go.
    // xdotool grumbles on stderr about the missing window manager's focus.
    commandOutput("xdotool key --delay 5 --window " + window + " " + keys + " 0 2>/dev/null");
    ASSERT_TRUE(eventually([&] {
        return file("console.txt").find(kInvalidInput, before) != std::string::npos;
    })) << file("console.txt");
}

void DemoProgramTest::save(const std::string& keys) {
    std::filesystem::remove(resultPath());
    typeAndWait(keys + " 4");
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(resultPath()); }));
}

void DemoProgramTest::typeNow(const std::string& keys) {
    commandOutput("xdotool key --delay 5 --window " + window + " " + keys + " 2>/dev/null");
}

double DemoProgramTest::secondsToEnd() {
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(eventually([&] { return !running(pid); }));
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - begin;
    pid = 0;
    return taken.count();
}

int DemoProgramTest::count(const std::string& text, const std::string& part) {
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++found;
    }
    return found;
}

void DemoProgramTest::resize(int width, int height) {
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
