#pragma once

#include "tools/grey_raster.h"

// One-pixel strokes for line drawings. Where strokes cross, the brighter
// value stays, so a soft detail never dims a main stroke.

struct StrokePoint {
    double x;  // column
    double y;  // row, growing downward
};

void plotBrighter(GreyRaster& raster, int column, int row, unsigned char value);
void drawLine(GreyRaster& raster, StrokePoint from, StrokePoint to, unsigned char value);
void drawQuadratic(GreyRaster& raster, StrokePoint start, StrokePoint control, StrokePoint end,
                   unsigned char value);
void drawCubic(GreyRaster& raster, StrokePoint start, StrokePoint control1, StrokePoint control2,
               StrokePoint end, unsigned char value);
// Angles in degrees, measured from the +x axis toward +y (downward on screen).
void drawEllipseArc(GreyRaster& raster, StrokePoint centre, double radiusX, double radiusY,
                    double fromDegrees, double toDegrees, unsigned char value);
