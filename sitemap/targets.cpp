#include <iostream>

#include "sitemap/height_map.h"

void HeightMap::generateTargets(int value) {
    if (heights) {
        for (int x = 0; x < size; ++x) {
            for (int y = 0; y < size; ++y) {
                if (heights[y * size + x] != value) {
                    continue;
                }
                std::cout << "Generating target points..." << std::endl;
                // The mirrored position the range extraction gives a site,
                // kept to its low 8 bits by the byte planes.
                targetX[y * size + x] = static_cast<unsigned char>(size - x);
                targetY[y * size + x] = static_cast<unsigned char>(size - y);
            }
        }
    }
    std::cout << "Done!" << std::endl;
}
