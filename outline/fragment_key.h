#pragma once

#include <cstdint>
#include <cstring>

// What a pixel of the wire-frame picture holds, as one number that orders
// fragments as the depth test does: less depth first, then the cone drawn
// later. Depths are never negative, so their bits order as they do.
using FragmentKey = std::uint64_t;

// The depth of a pixel no edge reached: deeper than any fragment.
constexpr float kNothingDrawn = 2.0f;
// The depth of every rim edge's fragments: behind every radial edge.
constexpr float kRimDepth = 0.5f;

inline FragmentKey fragmentKey(float depth, std::int32_t site) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &depth, sizeof bits);
    return (static_cast<FragmentKey>(bits) << 32) |
           (0x7FFFFFFFu - static_cast<std::uint32_t>(site + 1));
}

inline float keyDepth(FragmentKey key) {
    const auto bits = static_cast<std::uint32_t>(key >> 32);
    float depth = 0.0f;
    std::memcpy(&depth, &bits, sizeof depth);
    return depth;
}

inline std::int32_t keySite(FragmentKey key) {
    return static_cast<std::int32_t>(0x7FFFFFFFu - static_cast<std::uint32_t>(key & 0xFFFFFFFFu)) -
           1;
}

// What a pixel under a marker holds: no fragment beats it.
constexpr FragmentKey kMarkedKey = 0;
// What a pixel holds before any edge reaches it.
inline FragmentKey emptyKey() {
    return fragmentKey(kNothingDrawn, -1);
}
