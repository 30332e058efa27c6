#include "outline/site_copies.h"

#include "cells/large_arrays.h"
#include "outline/whole_points.h"

bool dropEarlierCopies(const std::vector<OutlineSite>& sites, std::vector<OutlineSite>& lastCopies,
                       std::vector<std::int32_t>& original) {
    lastCopies.clear();
    original.clear();
    WholePoints seen;
    if (sites.size() < 2 || !seen.fit(sites)) {
        return false;
    }
    // From the last site back, the first one seen at each point is kept.
    std::vector<std::uint8_t> kept(sites.size(), 0);
    std::size_t keptCount = 0;
    for (std::size_t index = sites.size(); index-- > 0;) {
        if (!seen.testAndSet(static_cast<std::int64_t>(sites[index].x),
                             static_cast<std::int64_t>(sites[index].y))) {
            kept[index] = 1;
            ++keptCount;
        }
    }
    if (keptCount == sites.size()) {
        return false;
    }
    reserveLarge(lastCopies, keptCount);
    reserveLarge(original, keptCount);
    for (std::size_t index = 0; index < sites.size(); ++index) {
        if (kept[index]) {
            lastCopies.push_back(sites[index]);
            original.push_back(static_cast<std::int32_t>(index));
        }
    }
    return true;
}
