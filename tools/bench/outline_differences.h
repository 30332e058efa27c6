#pragma once

// How the wire-frame picture differs from the full cones' one pass: pixels,
// and of them those where the two pictures show sites with edge fragments of
// equal depth there (a tie, decided by the last bits of the arithmetic).
struct OutlineDifferences {
    long long differing = 0;
    long long atTies = 0;
    long long notAtTies = 0;
};
