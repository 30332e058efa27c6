#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

// Runs a shell command and returns what it printed on standard output.
std::string commandOutput(const std::string& command);

// Polls until the condition holds or the time is up; says which.
bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout);

// The real program, started in a working directory of the test's choosing
// on the test's display, driven through its window like a user would. Its
// standard output is kept in console.txt in that directory. Ended with the
// object.
class DemoSession {
public:
    DemoSession(const std::string& program, const std::filesystem::path& workingDirectory);
    ~DemoSession();
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    std::string console() const;
    // What the program wrote on standard error.
    std::string errors() const;
    bool waitForConsole(const std::function<bool(const std::string&)>& condition,
                        std::chrono::seconds timeout) const;

    // The program's window by its process and title; empty when it did not
    // appear in time.
    std::string findWindow(std::chrono::seconds timeout);

    // Types keys (X key names, as xdotool knows them) into the window.
    void type(const std::string& keyNames) const;

    bool running() const;

private:
    pid_t pid = -1;
    mutable bool reaped = false;  // its exit status was collected; the id may be reused
    std::filesystem::path consolePath;
    std::filesystem::path errorsPath;
    std::string windowId;
};
