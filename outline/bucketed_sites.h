#pragma once

#include <algorithm>
#include <atomic>
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

// Splits every bucket of `minimum` members or more (by `start`, as
// bucketSites leaves them) into `Parts` parts, on `threads` threads:
// partOf(member) is below Parts, and each part keeps its members' order.
// `split` gets, for each bucket, its place among the split ones or
// kUnsplitBucket; the i-th split bucket's part p holds
// members[partStart[i * (Parts + 1) + p]] up to the next part's start.
constexpr std::int32_t kUnsplitBucket = -1;
template <int Parts, typename PartOf>
void splitBuckets(const std::vector<std::int32_t>& start, std::size_t buckets, std::int32_t minimum,
                  PartOf partOf, int threads, std::vector<std::int32_t>& members,
                  std::vector<std::int32_t>& split, std::vector<std::int32_t>& partStart) {
    split.assign(buckets, kUnsplitBucket);
    std::vector<std::size_t> splitBuckets;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
        if (start[bucket + 1] - start[bucket] >= minimum) {
            split[bucket] = static_cast<std::int32_t>(splitBuckets.size());
            splitBuckets.push_back(bucket);
        }
    }
    partStart.assign(splitBuckets.size() * (Parts + 1), 0);
    std::atomic<std::size_t> taken{0};
    onThreads(threads, [&](int) {
        std::vector<std::int32_t> unsorted;
        for (std::size_t next = taken++; next < splitBuckets.size(); next = taken++) {
            const std::size_t bucket = splitBuckets[next];
            const auto first = static_cast<std::size_t>(start[bucket]);
            const auto end = static_cast<std::size_t>(start[bucket + 1]);
            unsorted.assign(members.begin() + first, members.begin() + end);
            std::int32_t* parts = &partStart[next * (Parts + 1)];
            for (const std::int32_t member : unsorted) {
                ++parts[partOf(member) + 1];
            }
            parts[0] = static_cast<std::int32_t>(first);
            for (int part = 0; part < Parts; ++part) {
                parts[part + 1] += parts[part];
            }
            // Each part's cursor runs from its start to the next part's.
            std::int32_t cursor[Parts];
            std::copy(parts, parts + Parts, cursor);
            for (const std::int32_t member : unsorted) {
                members[static_cast<std::size_t>(cursor[partOf(member)]++)] = member;
            }
        }
    });
}
