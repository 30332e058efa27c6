#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tests/support/bmp_file.h"
#include "tests/support/scratch_dir.h"

// What the program prints for a key without a command.
inline const std::string kInvalidInput = "Invalid input\n";

// What the shell command printed.
std::string commandOutput(const std::string& command);

// Polls for up to five minutes: a frame takes seconds under the sanitizers.
bool eventually(const std::function<bool()>& condition);

// The real program in a scratch working directory on the test's display,
// driven through its window with xdotool as a user would.
class DemoProgramTest : public ::testing::Test {
protected:
    static constexpr int kEdge = 996;

    void TearDown() override;

    // Starts it with its output in console.txt and errors.txt and waits for
    // its window. Under load the test's X server has now and then refused a
    // connection: a program that could not open the display is started
    // again, twice at most.
    void start();

    std::string file(const std::string& name) const;

    // Types the keys and waits for their lines: a key without a command
    // follows, whose "Invalid input" comes only once the others are done (a
    // wire-frame save may come after it, once its picture is worked out).
    void typeAndWait(const std::string& keys);

    void save(const std::string& keys);

    std::string resultPath() const { return (scratch.path() / "result.bmp").string(); }

    // Types the keys at once, without waiting for them.
    void typeNow(const std::string& keys);

    // Waits for the program to end; how long that took, in seconds.
    double secondsToEnd();

    static int count(const std::string& text, const std::string& part);

    void resize(int width, int height);

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

    ScratchDir scratch;
    pid_t pid = 0;
    std::string window;
    int windowWidth = kEdge;
    int windowHeight = kEdge;
};
