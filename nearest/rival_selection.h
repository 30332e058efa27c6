#pragma once

#include <cstdint>
#include <vector>

#include "nearest/candidate_square.h"
#include "nearest/facet_distance.h"
#include "nearest/site_buckets.h"

// Narrows a gathering down to the sites that can show in a square: a site
// is ruled out when one of a few rivals is nearer all over the square by
// more than the tie tolerance, or when it is beyond the rim there.
class RivalSelection {
public:
    RivalSelection(const Buckets& buckets, double radius) : buckets(buckets), radius(radius) {}

    void select(const Square& square, const std::vector<std::uint32_t>& from,
                std::vector<std::uint32_t>& keep);

private:
    static constexpr std::size_t kMostRivals = 9;

    void chooseRivals(const Square& square, const std::vector<std::uint32_t>& from,
                      std::size_t nearest);

    const Buckets& buckets;
    double radius;
    std::vector<Facet> facets;
    std::vector<std::uint32_t> rivals;
};
