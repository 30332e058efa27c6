#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh directory under the system's temp folder, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    // Writes bytes to a file below the directory and returns its full path.
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const;

private:
    std::filesystem::path root;
};
