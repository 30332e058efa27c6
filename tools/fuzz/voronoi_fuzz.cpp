// Helps scripts/fuzz: writes the seeds, mutates one, and loads a file as the
// demo's raster and through the image import.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "sitemap/height_map.h"
#include "tools/fuzz/fuzz_seeds.h"
#include "tools/fuzz/input_mutation.h"

namespace {

constexpr int kLoadedEdge = 64;

int mutate(const std::string& seedPath, const std::string& outputPath, unsigned number) {
    std::ifstream seed(seedPath, std::ios::binary);
    const std::vector<unsigned char> bytes =
        mutateInput({std::istreambuf_iterator<char>(seed), {}}, number);
    std::ofstream output(outputPath, std::ios::binary);
    output.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    return output ? 0 : 1;
}

// Both loads go through the one HeightMap, as in the program, and sites are
// taken from whatever got loaded.
int load(const std::string& path) {
    HeightMap map;
    map.loadRaw(path.c_str(), kLoadedEdge);
    map.importImage(path.c_str(), kLoadedEdge);
    map.extractBinary(255, 1);
    map.extractRange(230, 255);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 2 && arguments[0] == "seeds") {
        writeFuzzSeeds(arguments[1]);
        return 0;
    }
    if (arguments.size() == 4 && arguments[0] == "mutate") {
        return mutate(arguments[1], arguments[2], static_cast<unsigned>(std::stoul(arguments[3])));
    }
    if (arguments.size() == 2 && arguments[0] == "load") {
        return load(arguments[1]);
    }
    std::cerr << "Usage: voronoi_fuzz seeds FOLDER | mutate SEED OUTPUT NUMBER | load FILE\n";
    return 2;
}
