#pragma once

#include <cstdlib>
#include <string>

// Whether the console ends with the extraction report for the total: "Done! ",
// the total, and a time in seconds written as a plain non-negative number.
inline bool endsWithReport(const std::string& console, int total) {
    const std::string head =
        "Done! \nTotal number of points computed: " + std::to_string(total) + "\n";
    const std::string timeLabel = "Time taken (seconds): ";
    const std::size_t start = console.rfind(head);
    if (start == std::string::npos || console.back() != '\n' ||
        console.compare(start + head.size(), timeLabel.size(), timeLabel) != 0) {
        return false;
    }
    const std::string time =
        console.substr(start + head.size() + timeLabel.size(),
                       console.size() - 1 - (start + head.size() + timeLabel.size()));
    char* end = nullptr;
    const double seconds = std::strtod(time.c_str(), &end);
    return !time.empty() && *end == '\0' && seconds >= 0.0;
}
