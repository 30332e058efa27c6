#pragma once

struct Site;

// Every site's red 4 x 4 marker, in list order, over everything drawn
// before. Leaves the depth function as it found it; the current colour is
// red afterwards.
void drawSiteMarkers(const Site* sites);

// The same for up to `count` sites from `first` on. Returns the site after
// the last one marked, null at the end of the list.
const Site* drawSiteMarkers(const Site* first, int count);
