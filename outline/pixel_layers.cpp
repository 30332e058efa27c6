#include "outline/pixel_layers.h"

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"

void PixelLayers::clear(std::size_t pixelCount) {
    onThreads(kLayers, [&](int index) {
        std::vector<FragmentKey>& pixels = layer[index];
        reserveLarge(pixels, pixelCount);
        pixels.assign(pixelCount, emptyKey());
    });
}
