#pragma once

#include <cstddef>

// One Voronoi site: a position in raster pixels and the colour of its cell.
// Sites are separate malloc'd blocks chained into a singly linked list whose
// head is HeightMap::sites; new sites go to the head.
struct Site {
    double x;
    double y;
    unsigned char r;
    unsigned char g;
    unsigned char b;
    Site* next;
};

// How many sites the list holds, counted by walking it.
inline std::size_t countSites(const Site* head) {
    std::size_t count = 0;
    for (const Site* site = head; site; site = site->next) {
        ++count;
    }
    return count;
}
