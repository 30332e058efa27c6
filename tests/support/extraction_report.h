#pragma once

#include <cstdlib>
#include <string>

// Whether the console ends with the extraction report for the total: "Done! ",
// the total, and the time in seconds as a plain non-negative number.
inline bool endsWithReport(const std::string& console, int total) {
    const std::string head = "Done! \nTotal number of points computed: " + std::to_string(total) +
                             "\nTime taken (seconds): ";
    const std::size_t start = console.rfind(head);
    if (start == std::string::npos || console.back() != '\n') {
        return false;
    }
    const std::string time = console.substr(start + head.size());
    char* end = nullptr;
    return std::strtod(time.c_str(), &end) >= 0.0 && end != time.c_str() && *end == '\n' &&
           end + 1 == time.c_str() + time.size();
}
