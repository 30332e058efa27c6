#pragma once

#include <cstddef>
#include <vector>

#include "outline/fragment_key.h"
#include "outline/pixel_layers.h"

// Reads the picture's pixels as they are now, where the tiles' deepest
// values, from before a band, do not tell: whether a line's fragments can
// still show anywhere along it.
class SettledPixels {
public:
    // The most columns a line is tested along, but where sites crowd: a
    // longer one is seldom settled all along, and the test would cost about
    // what walking it does.
    static constexpr double kMostColumns = 24.0;

    SettledPixels(const PixelLayers& pixels, int width, int height)
        : pixels(pixels), width(width), height(height) {}

    // Whether every pixel that an edge from an apex within `spread` of
    // (apexX, apexY) along each axis, along the unit direction (rayX, rayY)
    // to its end `endDistance` from the apex (its depth growing from 0 there
    // to 0.5), can light between `nearDistance` and `farDistance` from it
    // holds less than depth `low`, or than the least fragment any such edge
    // puts there: then none of their fragments there can show. False where
    // their ends lie far outside the window, which the clipper moves by more
    // than the margins, and for a part of more than `mostColumns` columns.
    // Adds the columns it found settled before it stopped to `columnsPassed`.
    // With Markers::Settled, a marker's pixel counts as settled also at depth
    // 0: for the edges of many apexes at once (a crowded pixel's, a tile's),
    // whose first pixels are their markers'. In a site's own tests in the
    // first band, such tests pass too seldom to pay.
    enum class Markers { Unsettled, Settled };
    bool along(double apexX, double apexY, double spread, double rayX, double rayY,
               double nearDistance, double farDistance, double endDistance, float low,
               Markers markers, double mostColumns, std::size_t& columnsPassed) const;
    // The same for a line from `start` to `end` (an edge or a part of one),
    // whose depth goes linearly along its major axis between theirs.
    struct LinePoint {
        double x;
        double y;
        double depth;
    };
    bool between(const LinePoint& start, const LinePoint& end, float low) const;
    // Whether every pixel whose centre lies in the rectangle holds less than
    // depth `low`; false for a rectangle too large to be worth the reading.
    bool within(double left, double top, double right, double bottom, float low) const;

private:
    // As between(), for the line and every one parallel to it whose ends
    // lie within `spread` of its own along each axis; false where the line
    // spans more than `mostColumns` columns of its major axis; the columns
    // found settled added to `columnsPassed`.
    bool betweenWithin(const LinePoint& start, const LinePoint& end, float low, Markers markers,
                       double spread, double mostColumns, std::size_t& columnsPassed) const;

    const PixelLayers& pixels;
    int width;
    int height;
};
