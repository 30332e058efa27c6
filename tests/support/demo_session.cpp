#include "tests/support/demo_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

void redirect(const std::filesystem::path& file, int descriptor) {
    const int opened = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (opened >= 0) {
        dup2(opened, descriptor);
        close(opened);
    }
}

}  // namespace

std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t count = 0;
        while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            output.append(chunk, count);
        }
        pclose(pipe);
    }
    return output;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

DemoSession::DemoSession(const std::string& program, const std::filesystem::path& workingDirectory)
    : consolePath(workingDirectory / "console.txt"), errorsPath(workingDirectory / "errors.txt") {
    std::fflush(nullptr);
    pid = fork();
    if (pid == 0) {
        if (chdir(workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        redirect(consolePath, STDOUT_FILENO);
        redirect(errorsPath, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

DemoSession::~DemoSession() {
    if (pid <= 0 || reaped) {
        return;
    }
    kill(pid, SIGTERM);
    const bool ended =
        waitUntil([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(10));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::string DemoSession::console() const {
    return fileText(consolePath);
}

std::string DemoSession::errors() const {
    return fileText(errorsPath);
}

bool DemoSession::waitForConsole(const std::function<bool(const std::string&)>& condition,
                                 std::chrono::seconds timeout) const {
    return waitUntil([&] { return condition(console()); }, timeout);
}

std::string DemoSession::findWindow(std::chrono::seconds timeout) {
    const std::string search = "xdotool search --pid " + std::to_string(pid) +
                               " --name '^2D Voronoi Topology Generation Demo$' 2>/dev/null";
    waitUntil(
        [&] {
            const std::string found = commandOutput(search);
            windowId = found.substr(0, found.find('\n'));
            return !windowId.empty();
        },
        timeout);
    return windowId;
}

void DemoSession::type(const std::string& keyNames) const {
    // xdotool grumbles on stderr about the missing window manager's focus.
    commandOutput("xdotool key --window " + windowId + " " + keyNames + " 2>/dev/null");
}

bool DemoSession::running() const {
    if (pid > 0 && !reaped && waitpid(pid, nullptr, WNOHANG) == pid) {
        reaped = true;
    }
    return pid > 0 && !reaped;
}
