#include "nearest/site_candidates.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <string>

#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "nearest/candidate_tree.h"
#include "nearest/site_buckets.h"
#include "sitemap/site.h"

namespace {

// Each thread's trees, and which thread built each cell's root.
struct ThreadTrees {
    std::vector<CandidateTree> trees;
    std::vector<CandidateNode> roots;
    std::vector<unsigned char> rootThread;
};

ThreadTrees buildTrees(const SiteCandidates& grid, const Buckets& buckets, int radius,
                       int threads) {
    const int cells = grid.columns * grid.rows;
    ThreadTrees built{std::vector<CandidateTree>(threads, CandidateTree(grid, buckets, radius)),
                      std::vector<CandidateNode>(cells), std::vector<unsigned char>(cells)};
    // Room for what dense rasters need, so that the arrays seldom grow.
    for (CandidateTree& tree : built.trees) {
        reserveLarge(tree.nodes, 2 * buckets.sites.size() / threads);
        reserveLarge(tree.candidates, 8 * buckets.sites.size() / threads);
    }
    // Cell by cell: on an edge raster a few cells hold most of the work.
    std::atomic<int> nextCell{0};
    onThreads(threads, [&](int thread) {
        for (int cell = nextCell++; cell < cells; cell = nextCell++) {
            built.roots[cell] = built.trees[thread].cell(cell % grid.columns, cell / grid.columns);
            built.rootThread[cell] = static_cast<unsigned char>(thread);
        }
    });
    return built;
}

// One node array: the cells first, then each thread's quarters; every
// thread moves its own share, and a share of the sites.
void mergeTrees(SiteCandidates& grid, const ThreadTrees& built, const Buckets& buckets,
                int threads) {
    const int cells = grid.columns * grid.rows;
    std::vector<std::uint32_t> nodeBase(threads), candidateBase(threads);
    std::size_t nodeCount = cells, candidateCount = 0;
    for (int thread = 0; thread < threads; ++thread) {
        nodeBase[thread] = static_cast<std::uint32_t>(nodeCount);
        candidateBase[thread] = static_cast<std::uint32_t>(candidateCount);
        nodeCount += built.trees[thread].nodes.size();
        candidateCount += built.trees[thread].candidates.size();
    }
    const auto rebased = [&](CandidateNode node, int thread) {
        node.first += node.count == kSplitNode ? nodeBase[thread] : candidateBase[thread];
        return node;
    };
    reserveLarge(grid.nodes, nodeCount);
    grid.nodes.resize(nodeCount);
    reserveLarge(grid.candidates, candidateCount);
    grid.candidates.resize(candidateCount);
    reserveLarge(grid.sites, buckets.sites.size());
    grid.sites.resize(buckets.sites.size());
    onThreads(threads, [&](int thread) {
        for (int cell = thread; cell < cells; cell += threads) {
            grid.nodes[cell] = rebased(built.roots[cell], built.rootThread[cell]);
        }
        const CandidateTree& tree = built.trees[thread];
        std::transform(tree.nodes.begin(), tree.nodes.end(), grid.nodes.begin() + nodeBase[thread],
                       [&](CandidateNode node) { return rebased(node, thread); });
        std::copy(tree.candidates.begin(), tree.candidates.end(),
                  grid.candidates.begin() + candidateBase[thread]);
        const std::size_t first = buckets.sites.size() * thread / threads;
        const std::size_t last = buckets.sites.size() * (thread + 1) / threads;
        for (std::size_t index = first; index < last; ++index) {
            const SitePoint& site = buckets.sites[index];
            grid.sites[index] = {static_cast<float>(site.x), static_cast<float>(site.y),
                                 site.colour, 0};
        }
    });
}

// Few sites reach the rim: their facets are gathered by sorting.
void mergeRimSites(SiteCandidates& grid, const ThreadTrees& built) {
    for (const CandidateTree& tree : built.trees) {
        grid.rimSites.insert(grid.rimSites.end(), tree.rimFacets.begin(), tree.rimFacets.end());
    }
    std::sort(grid.rimSites.begin(), grid.rimSites.end(),
              [](const RimSite& a, const RimSite& b) { return a.site < b.site; });
    std::size_t kept = 0;
    for (const RimSite& rim : grid.rimSites) {
        if (kept > 0 && grid.rimSites[kept - 1].site == rim.site) {
            grid.rimSites[kept - 1].facets |= rim.facets;
        } else {
            grid.rimSites[kept++] = rim;
        }
    }
    grid.rimSites.resize(kept);
}

// Beyond these the grid's cell count overflows its int, and NaNs or
// infinities place no grid at all.
void refuseUnplaceableInput(const Site* head, int radius) {
    if (radius > kLargestSiteCoordinate) {
        throw std::invalid_argument("site candidates: radius " + std::to_string(radius) +
                                    " is beyond " + std::to_string(kLargestSiteCoordinate));
    }
    for (const Site* site = head; site; site = site->next) {
        if (!(std::fabs(site->x) <= kLargestSiteCoordinate &&
              std::fabs(site->y) <= kLargestSiteCoordinate)) {
            throw std::invalid_argument("site candidates: site at (" + std::to_string(site->x) +
                                        ", " + std::to_string(site->y) + ") is beyond +-" +
                                        std::to_string(kLargestSiteCoordinate));
        }
    }
}

}  // namespace

SiteCandidates computeSiteCandidates(const Site* head, int radius, int threads) {
    SiteCandidates grid;
    if (!head || radius <= 0) {
        return grid;
    }
    refuseUnplaceableInput(head, radius);
    threads = std::max(threads, 1);
    const std::vector<SitePoint> points = collectSites(head);
    placeGrid(grid, points, radius);
    Buckets buckets = bucketSites(grid, points, threads);
    findSitesNearCentres(grid, buckets);
    const ThreadTrees built = buildTrees(grid, buckets, radius, threads);
    mergeTrees(grid, built, buckets, threads);
    mergeRimSites(grid, built);
    return grid;
}
