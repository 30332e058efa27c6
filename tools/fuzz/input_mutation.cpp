#include "tools/fuzz/input_mutation.h"

#include <algorithm>
#include <random>

namespace {

// Header fields are sizes, counts and offsets: their extremes find the faults.
constexpr unsigned char kExtremes[] = {0x00, 0x01, 0x7f, 0x80, 0xff};
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kMostRepeated = 64;

}  // namespace

std::vector<unsigned char> mutateInput(std::vector<unsigned char> bytes, unsigned number) {
    std::mt19937 random(number);
    const auto below = [&](std::size_t bound) { return bound == 0 ? 0 : random() % bound; };
    const int changes = 1 + static_cast<int>(below(8));
    for (int change = 0; change < changes && !bytes.empty(); ++change) {
        const std::size_t at = below(bytes.size());
        switch (below(5)) {
            case 0: bytes[at] ^= static_cast<unsigned char>(1u << below(8)); break;
            case 1: bytes[at] = static_cast<unsigned char>(random()); break;
            case 2:
                bytes[below(std::min(bytes.size(), kHeaderBytes))] =
                    kExtremes[below(sizeof kExtremes)];
                break;
            case 3: {
                const std::size_t length = std::min(bytes.size() - at, 1 + below(kMostRepeated));
                const std::vector<unsigned char> slice(bytes.begin() + at,
                                                       bytes.begin() + at + length);
                bytes.insert(bytes.begin() + below(bytes.size()), slice.begin(), slice.end());
                break;
            }
            default: bytes.resize(std::max<std::size_t>(at, 1)); break;
        }
    }
    return bytes;
}
