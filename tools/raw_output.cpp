#include "tools/raw_output.h"

#include <filesystem>
#include <system_error>

#include "measure/file_replacement.h"

bool writeRawFile(const GreyRaster& raster, const std::string& path, std::string& problem) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty()) {
        // A failure here shows up as the write failing below.
        std::filesystem::create_directories(parent, ignored);
    }
    if (!replaceFileContents(path, raster.samples.data(), raster.samples.size())) {
        problem = "could not write " + path;
        return false;
    }
    return true;
}
