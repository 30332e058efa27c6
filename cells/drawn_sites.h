#pragma once

#include <vector>

struct Site;

// Where a site's cone stands: its position rounded to 32-bit floats.
struct Position {
    double x;
    double y;
};

// Keeps, of every position, the copy that the full cones leave on top (the
// one drawn last), in list order, with their positions. Sites at positions
// that are not finite draw nothing and are left out.
void selectDrawnSites(const Site* head, std::vector<const Site*>& drawn,
                      std::vector<Position>& positions);
