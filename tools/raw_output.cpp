#include "tools/raw_output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool writeRawFile(const GreyRaster& raster, const std::string& path, std::string& problem) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty()) {
        // A failure here shows up as the open failing below.
        std::filesystem::create_directories(parent, ignored);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        problem = "could not open " + path + " for writing";
        return false;
    }
    const std::size_t written = std::fwrite(raster.samples.data(), 1, raster.samples.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != raster.samples.size() || !closed) {
        problem = "could not write " + path;
        return false;
    }
    return true;
}
