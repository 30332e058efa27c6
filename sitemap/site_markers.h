#pragma once

struct Site;

// Every site's red 4 x 4 marker, in list order, over everything drawn
// before. Leaves the depth function as it found it; the current colour is
// red afterwards.
void drawSiteMarkers(const Site* sites);
