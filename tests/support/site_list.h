#pragma once

#include <cstdlib>

#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"

// Puts a site of a chosen colour at the head of the map's list, as the
// extractions do; the map frees it.
inline void addSite(HeightMap& map, double x, double y, Rgb colour) {
    Site* site = static_cast<Site*>(std::malloc(sizeof(Site)));
    *site = Site{x, y, colour[0], colour[1], colour[2], map.sites};
    map.sites = site;
    ++map.siteCount;
}
