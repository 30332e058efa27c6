#include "tools/bench/bright_photo.h"

#include <algorithm>
#include <cstdint>
#include <random>

namespace {

constexpr unsigned kPhotoSeed = 5;

// Smooth noise of a few octaves, coarse to fine, each a grid of random
// values blended by smoothstep: the light and shade of the print.
class ValueNoise {
public:
    explicit ValueNoise(std::mt19937& random) {
        for (const int cells : {3, 7, 15, 31, 63, 127}) {
            Octave octave{cells, {}};
            octave.values.resize(static_cast<std::size_t>(cells + 2) * (cells + 2));
            for (double& value : octave.values) {
                value = unit(random);
            }
            octaves.push_back(octave);
        }
    }

    // Roughly 0.5 +- 0.15 at any point of the unit square.
    double at(double x, double y) const {
        double sum = 0.0;
        double weight = 1.0;
        double weights = 0.0;
        for (const Octave& octave : octaves) {
            sum += weight * octave.at(x * octave.cells, y * octave.cells);
            weights += weight;
            weight *= 0.55;
        }
        return sum / weights;
    }

    static double unit(std::mt19937& random) { return (random() >> 8) / 16777216.0; }

private:
    struct Octave {
        int cells;
        std::vector<double> values;

        double at(double x, double y) const {
            const int column = static_cast<int>(x);
            const int row = static_cast<int>(y);
            const double across = smooth(x - column);
            const double up = smooth(y - row);
            const auto value = [&](int c, int r) {
                return values[static_cast<std::size_t>(r) * (cells + 2) + c];
            };
            const double below =
                value(column, row) * (1 - across) + value(column + 1, row) * across;
            const double above =
                value(column, row + 1) * (1 - across) + value(column + 1, row + 1) * across;
            return below * (1 - up) + above * up;
        }
        static double smooth(double t) { return t * t * (3 - 2 * t); }
    };
    std::vector<Octave> octaves;
};

}  // namespace

std::vector<unsigned char> brightPhotoRaster(int edge) {
    std::mt19937 random(kPhotoSeed);
    const ValueNoise noise(random);
    std::vector<unsigned char> samples(static_cast<std::size_t>(edge) * edge);
    for (int y = 0; y < edge; ++y) {
        for (int x = 0; x < edge; ++x) {
            const double shade =
                noise.at(static_cast<double>(x) / edge, static_cast<double>(y) / edge);
            // Overexposed: the brighter half burns out to white; the grain
            // frays the borders.
            const double grey =
                255.0 * (0.85 + 2.2 * (shade - 0.5)) + 18.0 * (ValueNoise::unit(random) - 0.5);
            samples[static_cast<std::size_t>(y) * edge + x] =
                static_cast<unsigned char>(std::clamp(grey, 0.0, 255.0));
        }
    }
    return samples;
}
