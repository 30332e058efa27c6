#include "tools/stroke_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Curves are cut into chords about this long before rasterising, short enough
// that the chords do not show.
constexpr double kChordPixels = 3.0;

int roundToPixel(double coordinate) {
    return static_cast<int>(std::lround(coordinate));
}

// Bresenham between two pixel centres: an 8-connected run, one pixel thin.
void drawPixelLine(GreyRaster& raster, int fromColumn, int fromRow, int toColumn, int toRow,
                   unsigned char value) {
    const int columnSpan = std::abs(toColumn - fromColumn);
    const int rowSpan = -std::abs(toRow - fromRow);
    const int columnStep = fromColumn < toColumn ? 1 : -1;
    const int rowStep = fromRow < toRow ? 1 : -1;
    int error = columnSpan + rowSpan;
    int column = fromColumn;
    int row = fromRow;
    for (;;) {
        plotBrighter(raster, column, row, value);
        if (column == toColumn && row == toRow) {
            return;
        }
        const int doubledError = 2 * error;
        if (doubledError >= rowSpan) {
            error += rowSpan;
            column += columnStep;
        }
        if (doubledError <= columnSpan) {
            error += columnSpan;
            row += rowStep;
        }
    }
}

// Samples a curve given on [0, 1] into chords; lengthEstimate sets how many.
void drawCurve(GreyRaster& raster, double lengthEstimate,
               const std::function<StrokePoint(double)>& pointAt, unsigned char value) {
    const int chordCount = std::max(1, static_cast<int>(std::ceil(lengthEstimate / kChordPixels)));
    StrokePoint previous = pointAt(0.0);
    for (int chord = 1; chord <= chordCount; ++chord) {
        const StrokePoint next = pointAt(static_cast<double>(chord) / chordCount);
        drawLine(raster, previous, next, value);
        previous = next;
    }
}

double distance(StrokePoint a, StrokePoint b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

}  // namespace

void plotBrighter(GreyRaster& raster, int column, int row, unsigned char value) {
    if (raster.contains(column, row)) {
        unsigned char& sample = raster.at(column, row);
        sample = std::max(sample, value);
    }
}

void drawLine(GreyRaster& raster, StrokePoint from, StrokePoint to, unsigned char value) {
    drawPixelLine(raster, roundToPixel(from.x), roundToPixel(from.y), roundToPixel(to.x),
                  roundToPixel(to.y), value);
}

void drawQuadratic(GreyRaster& raster, StrokePoint start, StrokePoint control, StrokePoint end,
                   unsigned char value) {
    // The control polygon is never shorter than the curve.
    const double length = distance(start, control) + distance(control, end);
    drawCurve(
        raster, length,
        [&](double t) {
            const double s = 1.0 - t;
            return StrokePoint{s * s * start.x + 2 * s * t * control.x + t * t * end.x,
                               s * s * start.y + 2 * s * t * control.y + t * t * end.y};
        },
        value);
}

void drawCubic(GreyRaster& raster, StrokePoint start, StrokePoint control1, StrokePoint control2,
               StrokePoint end, unsigned char value) {
    const double length =
        distance(start, control1) + distance(control1, control2) + distance(control2, end);
    drawCurve(
        raster, length,
        [&](double t) {
            const double s = 1.0 - t;
            const double a = s * s * s;
            const double b = 3 * s * s * t;
            const double c = 3 * s * t * t;
            const double d = t * t * t;
            return StrokePoint{a * start.x + b * control1.x + c * control2.x + d * end.x,
                               a * start.y + b * control1.y + c * control2.y + d * end.y};
        },
        value);
}

void drawEllipseArc(GreyRaster& raster, StrokePoint centre, double radiusX, double radiusY,
                    double fromDegrees, double toDegrees, unsigned char value) {
    const double fromRadians = fromDegrees * kPi / 180.0;
    const double sweepRadians = (toDegrees - fromDegrees) * kPi / 180.0;
    const double length = std::abs(sweepRadians) * std::max(radiusX, radiusY);
    drawCurve(
        raster, length,
        [&](double t) {
            const double angle = fromRadians + t * sweepRadians;
            return StrokePoint{centre.x + radiusX * std::cos(angle),
                               centre.y + radiusY * std::sin(angle)};
        },
        value);
}
