#pragma once

#include <cstdint>
#include <vector>

#include "outline/outline_edge.h"

// Where sites stand at one position more than once, the last copy's cone
// covers every fragment of the earlier ones at equal depth, and the depth
// test keeps the later cone: only the last copy can show.
//
// Fills `lastCopies` with the sites, in their order, less every copy that a
// later one repeats, and `original` with each kept site's index in `sites`.
// False, leaving both empty, when no two stand at one position (or the sites
// do not all stand on whole points, where copies are not looked for).
bool dropEarlierCopies(const std::vector<OutlineSite>& sites, std::vector<OutlineSite>& lastCopies,
                       std::vector<std::int32_t>& original);
