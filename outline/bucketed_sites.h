#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"

// Lists the sites by bucket, each in site order, on `threads` threads:
// bucketOf(site) is a bucket below `buckets`, or `buckets` for none; the
// members of bucket b are members[start[b]] to members[start[b + 1] - 1].
// Each thread counts and then places a run of the sites, and every bucket
// takes the first run's members first, so each stays in site order.
template <typename BucketOf>
void bucketSites(std::size_t siteCount, std::size_t buckets, BucketOf bucketOf, int threads,
                 std::vector<std::int32_t>& start, std::vector<std::int32_t>& members) {
    const auto firstSite = [&](int thread) {
        return siteCount * static_cast<std::size_t>(thread) / threads;
    };
    const auto firstBucket = [&](int thread) {
        return buckets * static_cast<std::size_t>(thread) / threads;
    };
    // Each thread's count per bucket, and then where its next member goes.
    std::vector<std::vector<std::int32_t>> next(threads);
    onThreads(threads, [&](int thread) {
        std::vector<std::int32_t>& counts = next[thread];
        counts.assign(buckets, 0);
        for (std::size_t site = firstSite(thread); site < firstSite(thread + 1); ++site) {
            const std::size_t bucket = bucketOf(site);
            if (bucket < buckets) {
                ++counts[bucket];
            }
        }
    });
    // The buckets' starts, each thread adding up a range of them: first how
    // many members each range holds, then where each range's buckets start.
    start.resize(buckets + 1);
    std::vector<std::int32_t> rangeStart(threads + 1, 0);
    onThreads(threads, [&](int thread) {
        std::int32_t held = 0;
        for (std::size_t bucket = firstBucket(thread); bucket < firstBucket(thread + 1); ++bucket) {
            for (const std::vector<std::int32_t>& counts : next) {
                held += counts[bucket];
            }
        }
        rangeStart[thread + 1] = held;
    });
    for (int thread = 0; thread < threads; ++thread) {
        rangeStart[thread + 1] += rangeStart[thread];
    }
    onThreads(threads, [&](int thread) {
        std::int32_t at = rangeStart[thread];
        for (std::size_t bucket = firstBucket(thread); bucket < firstBucket(thread + 1); ++bucket) {
            start[bucket] = at;
            for (std::vector<std::int32_t>& counts : next) {
                const std::int32_t count = counts[bucket];
                counts[bucket] = at;
                at += count;
            }
        }
    });
    start[buckets] = rangeStart[threads];
    reserveLarge(members, static_cast<std::size_t>(start.back()));
    members.resize(static_cast<std::size_t>(start.back()));
    onThreads(threads, [&](int thread) {
        std::vector<std::int32_t>& cursor = next[thread];
        for (std::size_t site = firstSite(thread); site < firstSite(thread + 1); ++site) {
            const std::size_t bucket = bucketOf(site);
            if (bucket < buckets) {
                members[static_cast<std::size_t>(cursor[bucket]++)] =
                    static_cast<std::int32_t>(site);
            }
        }
    });
}
