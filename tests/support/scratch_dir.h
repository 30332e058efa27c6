#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A fresh directory under the system's temp folder, removed with the object.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "voronoi-XXXXXX").string();
        root = mkdtemp(pattern.data()) ? pattern : "/nonexistent";
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return root; }

    // Writes bytes to a file below the directory and returns its full path.
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const {
        const std::filesystem::path file = root / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

private:
    std::filesystem::path root;
};
