#pragma once

#include <fstream>
#include <iostream>

// Sends what is written to std::cout to /dev/null while it lives, so the
// extraction's per-site lines cost their formatting and writing but fill no
// terminal.
class QuietConsole {
public:
    QuietConsole() : sink("/dev/null"), saved(std::cout.rdbuf(sink.rdbuf())) {}
    ~QuietConsole() { std::cout.rdbuf(saved); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

private:
    std::ofstream sink;
    std::streambuf* saved;
};
