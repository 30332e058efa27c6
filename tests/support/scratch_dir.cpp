#include "tests/support/scratch_dir.h"

#include <fstream>
#include <random>

ScratchDir::ScratchDir() {
    std::random_device entropy;
    do {
        root =
            std::filesystem::temp_directory_path() / ("voronoi-test-" + std::to_string(entropy()));
    } while (!std::filesystem::create_directory(root));
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string ScratchDir::write(const std::string& name,
                              const std::vector<unsigned char>& bytes) const {
    const std::filesystem::path file = root / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file.string();
}
