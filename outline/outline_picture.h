#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "outline/cone_outline.h"
#include "outline/outline_edge.h"

// What the full cones draw in GL_LINE mode, worked out per pixel without
// drawing every edge: at each pixel the edge fragment of least depth, the
// cone drawn later where two tie, as the depth test leaves it. Radial edges
// are found near their sites first; beyond, they are followed outward only
// through pixels where they can still win; the rim edges (depth 0.5) only
// where no radial edge reaches. The pixels that markers cover are skipped.
class OutlinePicture {
public:
    // Up to `mostKeptEdges` radial edges are worked out once and kept from
    // band to band; more are worked out again in every band, in less memory.
    explicit OutlinePicture(std::size_t mostKeptEdges = std::size_t{1} << 20);
    ~OutlinePicture();
    OutlinePicture(const OutlinePicture&) = delete;
    OutlinePicture& operator=(const OutlinePicture&) = delete;

    // Works the picture out for the sites, in the order GL draws them (of
    // copies at one position only the last can show), for a
    // buffer of width x height pixels, rows from the top. markerCovered,
    // when not empty, flags the pixels that markers drawn afterwards cover
    // for certain (same layout); nothing is worked out for them. Once
    // `cancel` is set, it stops between its stages, bands or rows and leaves
    // the picture unfinished.
    void compute(const std::vector<OutlineSite>& sites, const OutlineView& view, float radius,
                 int width, int height, const std::vector<std::uint8_t>& markerCovered,
                 const std::atomic<bool>* cancel = nullptr);

    // Per pixel, rows from the top: the index of the site whose edge shows,
    // or -1 for none.
    const std::vector<std::int32_t>& winners() const { return winner; }
    // The depth of what shows (2 where nothing does).
    const std::vector<float>& depths() const { return depth; }

    // The memory it works in, kept from one picture to the next: fresh
    // memory costs a page fault per page on a virtual machine.
    struct Workspace;

private:
    std::size_t mostKeptEdges;
    std::vector<std::int32_t> winner;
    std::vector<float> depth;
    std::unique_ptr<Workspace> workspace;
};
