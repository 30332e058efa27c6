#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cells/large_arrays.h"

// Lists the sites by bucket, each in site order: bucketOf(site) is a bucket
// below `buckets`, or `buckets` for none; the members of bucket b are
// members[start[b]] to members[start[b + 1] - 1].
template <typename BucketOf>
void bucketSites(std::size_t siteCount, std::size_t buckets, BucketOf bucketOf,
                 std::vector<std::int32_t>& start, std::vector<std::int32_t>& members) {
    start.assign(buckets + 1, 0);
    for (std::size_t site = 0; site < siteCount; ++site) {
        const std::size_t bucket = bucketOf(site);
        if (bucket < buckets) {
            ++start[bucket + 1];
        }
    }
    for (std::size_t bucket = 1; bucket <= buckets; ++bucket) {
        start[bucket] += start[bucket - 1];
    }
    reserveLarge(members, static_cast<std::size_t>(start.back()));
    members.resize(static_cast<std::size_t>(start.back()));
    std::vector<std::int32_t> filled(start.begin(), start.end() - 1);
    for (std::size_t site = 0; site < siteCount; ++site) {
        const std::size_t bucket = bucketOf(site);
        if (bucket < buckets) {
            members[static_cast<std::size_t>(filled[bucket]++)] = static_cast<std::int32_t>(site);
        }
    }
}
