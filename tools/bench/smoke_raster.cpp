#include "tools/bench/smoke_raster.h"

#include <fstream>

std::vector<unsigned char> smokeRaster(int edge) {
    std::vector<unsigned char> samples(static_cast<std::size_t>(edge) * edge, 0);
    for (int step = edge / 8; step < edge - edge / 8; ++step) {
        samples[static_cast<std::size_t>(step) * edge + step] = 255;
        samples[static_cast<std::size_t>(edge / 4) * edge + step] = 240;
    }
    return samples;
}

bool writeSmokeRaster(const std::string& path, int edge) {
    const std::vector<unsigned char> samples = smokeRaster(edge);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size()));
    return static_cast<bool>(file);
}
