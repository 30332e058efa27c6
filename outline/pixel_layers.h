#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "outline/fragment_key.h"

// The picture being worked out, a layer per thread: a thread offers its
// fragments to its own layer alone, with plain stores, and a pixel holds the
// lesser of its layers' keys. Keys only fall, so a pixel read while the
// threads write never holds less than it ends with.
struct PixelLayers {
    static constexpr int kLayers = 2;
    std::vector<FragmentKey> layer[kLayers];

    // Both layers `pixelCount` pixels long, every pixel holding nothing drawn.
    void clear(std::size_t pixelCount);
    // The layers read while the threads write, their keys' addresses taken
    // out of the vectors once: the atomic loads would have them read again
    // at every pixel of a loop.
    struct Reader {
        const FragmentKey* first;
        const FragmentKey* second;
        // What the pixel holds now.
        FragmentKey at(std::size_t pixel) const {
            return std::min(__atomic_load_n(&first[pixel], __ATOMIC_RELAXED),
                            __atomic_load_n(&second[pixel], __ATOMIC_RELAXED));
        }
    };
    Reader reader() const { return {layer[0].data(), layer[1].data()}; }
};
