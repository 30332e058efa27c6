#pragma once

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
