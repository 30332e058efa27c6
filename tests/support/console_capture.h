#pragma once

#include <iostream>
#include <sstream>
#include <string>

// Collects what is written to std::cout while it lives.
class ConsoleCapture {
public:
    ConsoleCapture() : saved(std::cout.rdbuf(captured.rdbuf())) {}
    ~ConsoleCapture() { std::cout.rdbuf(saved); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf* saved;
};

// What the action writes to std::cout.
template <typename Action>
std::string printedBy(const Action& action) {
    ConsoleCapture console;
    action();
    return console.text();
}
