#include "cells/drawn_sites.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "sitemap/site.h"

namespace {

Position drawnPosition(const Site& site) {
    // Adding 0 turns -0 into +0, so both compare and hash alike.
    return {static_cast<float>(site.x) + 0.0f, static_cast<float>(site.y) + 0.0f};
}

std::uint64_t positionKey(const Position& position) {
    const float x = static_cast<float>(position.x);
    const float y = static_cast<float>(position.y);
    std::uint32_t xBits = 0;
    std::uint32_t yBits = 0;
    std::memcpy(&xBits, &x, sizeof xBits);
    std::memcpy(&yBits, &y, sizeof yBits);
    return (static_cast<std::uint64_t>(xBits) << 32) | yBits;
}

}  // namespace

void selectDrawnSites(const Site* head, std::vector<const Site*>& drawn,
                      std::vector<Position>& positions) {
    std::vector<const Site*> listed;
    for (const Site* site = head; site; site = site->next) {
        const Position position = drawnPosition(*site);
        if (std::isfinite(position.x) && std::isfinite(position.y)) {
            listed.push_back(site);
        }
    }
    std::unordered_map<std::uint64_t, std::size_t> lastCopy;
    lastCopy.reserve(listed.size());
    for (std::size_t index = 0; index < listed.size(); ++index) {
        lastCopy[positionKey(drawnPosition(*listed[index]))] = index;
    }
    for (std::size_t index = 0; index < listed.size(); ++index) {
        const Position position = drawnPosition(*listed[index]);
        if (lastCopy[positionKey(position)] == index) {
            drawn.push_back(listed[index]);
            positions.push_back(position);
        }
    }
}
