#pragma once

#include <cstdint>

// A candidate as the screen pass reads it: the site's point relative to the
// lattice's origin (column in the low 16 bits, row in the high 16), and its
// colour (red in the low byte).
struct PackedCandidate {
    std::uint32_t place;
    std::uint32_t colour;
};

// A cell's candidates: up to two held in the cell, with their count in the
// top byte of the first colour; more are listed in LatticeCandidates::more
// from index first.place on, the count again in first.colour's top byte.
struct PackedCell {
    PackedCandidate first;
    PackedCandidate second;

    // Left unset: every cell of the grid is written once, and zeroing
    // millions of them first would cost a pass over their memory.
    PackedCell() {}
    PackedCell(PackedCandidate first, PackedCandidate second) : first(first), second(second) {}
    std::uint32_t count() const { return first.colour >> 24; }
};
