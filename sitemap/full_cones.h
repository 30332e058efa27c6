#pragma once

struct Site;

// The full cones of up to `count` sites from `first` on, in list order, each
// as HeightMap::drawCones draws it. Returns the site after the last one
// drawn, null at the end of the list.
const Site* drawFullCones(const Site* first, int count, int radius);
