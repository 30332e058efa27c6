#pragma once

#include "sitemap/height_map.h"

// What tells one state of the site list from another, for every cache that
// is worked out from the sites. The list only ever grows, so its head and
// count change with every addition; the head's contents guard against a new
// list whose head took a freed one's place.
struct SiteListIdentity {
    const Site* head = nullptr;
    int siteCount = 0;
    double headX = 0.0;
    double headY = 0.0;
    unsigned char headColour[3] = {0, 0, 0};

    static SiteListIdentity of(const HeightMap& map) {
        SiteListIdentity identity;
        identity.head = map.sites;
        identity.siteCount = map.siteCount;
        if (map.sites) {
            identity.headX = map.sites->x;
            identity.headY = map.sites->y;
            identity.headColour[0] = map.sites->r;
            identity.headColour[1] = map.sites->g;
            identity.headColour[2] = map.sites->b;
        }
        return identity;
    }

    bool operator==(const SiteListIdentity& other) const {
        return head == other.head && siteCount == other.siteCount && headX == other.headX &&
               headY == other.headY && headColour[0] == other.headColour[0] &&
               headColour[1] == other.headColour[1] && headColour[2] == other.headColour[2];
    }
    bool operator!=(const SiteListIdentity& other) const { return !(*this == other); }
};
