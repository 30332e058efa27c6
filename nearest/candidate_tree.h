#pragma once

#include <cstdint>
#include <vector>

#include "nearest/candidate_gathering.h"
#include "nearest/rival_selection.h"

// Builds the candidate squares of grid cells, one cell at a time, into
// nodes and candidates of its own: one builder per thread, merged when all
// are done. Dense cells start cut into squares of about a site each; a
// square whose list is long is cut into quarters.
class CandidateTree {
public:
    CandidateTree(const SiteCandidates& grid, const Buckets& buckets, double radius);

    // The root node of the cell at (column, row) of the grid.
    CandidateNode cell(int column, int row);

    std::vector<CandidateNode> nodes;
    std::vector<std::uint32_t> candidates;
    std::vector<RimSite> rimFacets;

private:
    CandidateNode cutInto(const Square& square, int levels, int column, int row,
                          std::uint32_t fallbackSite);
    CandidateNode refine(const Square& square, const std::vector<std::uint32_t>& from,
                         std::size_t depth);

    const SiteCandidates& grid;
    const Buckets& buckets;
    double radius;
    NearSiteSearch nearSites;
    CandidateGathering gathering;
    RivalSelection selection;
    std::vector<std::vector<std::uint32_t>> kept;
    // A site near every corner of the cell's squares, row by row.
    std::vector<std::uint32_t> cornerSites;
    int cornerColumns = 0;
};
