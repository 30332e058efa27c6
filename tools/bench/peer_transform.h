#pragma once

#include <cstdint>
#include <vector>

struct Site;

// The CPU peer of the diagram: an exact Euclidean nearest-site transform
// with indices over the raster's pixels, in time linear in the pixels. Two
// separable passes, down the columns and along the rows, the second taking
// the lower envelope of parabolas (Felzenszwalb and Huttenlocher), each
// shared among `threads` threads. For every pixel of the edge x edge raster
// (row by row from row 0), the list position of a nearest site among those
// standing on its pixels, or -1 where there is none; of several sites on one
// pixel, the one nearest the list's end.
std::vector<std::int32_t> nearestSiteTransform(const Site* head, int edge, int threads);
