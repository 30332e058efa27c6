#include "tools/face_drawing.h"

#include "tools/stroke_drawing.h"

namespace {

// Soft detail brightnesses, all within the range extraction's 231..254.
constexpr unsigned char kLashes = 236;
constexpr unsigned char kShading = 240;
constexpr unsigned char kCrease = 245;
constexpr unsigned char kFineHair = 250;

constexpr double kCentreX = kDefaultRasterEdge / 2.0;
constexpr double kFaceCentreY = 540.0;
constexpr double kFaceHalfWidth = 300.0;
constexpr double kFaceHalfHeight = 385.0;
constexpr double kEyeY = 470.0;
constexpr double kEyeOffsetX = 125.0;
constexpr double kMouthY = 760.0;

// Puts a point given relative to the face's vertical axis on one side of it:
// side -1 is the picture's left half, +1 its right half.
StrokePoint onSide(int side, double offsetX, double y) {
    return StrokePoint{kCentreX + side * offsetX, y};
}

void drawOutline(GreyRaster& raster) {
    // Round crown, tapering jaw.
    drawEllipseArc(raster, {kCentreX, kFaceCentreY}, kFaceHalfWidth, kFaceHalfHeight, 180.0, 360.0,
                   kMainStroke);
    const double chinY = kFaceCentreY + kFaceHalfHeight;
    for (int side : {-1, 1}) {
        drawCubic(raster, onSide(side, kFaceHalfWidth, kFaceCentreY),
                  onSide(side, kFaceHalfWidth, kFaceCentreY + 210), onSide(side, 150, chinY),
                  onSide(side, 0, chinY), kMainStroke);
        // Ear, then its inner fold.
        drawCubic(raster, onSide(side, kFaceHalfWidth - 2, kEyeY - 10),
                  onSide(side, kFaceHalfWidth + 60, kEyeY - 40),
                  onSide(side, kFaceHalfWidth + 55, kEyeY + 110),
                  onSide(side, kFaceHalfWidth - 8, kEyeY + 120), kMainStroke);
        drawQuadratic(raster, onSide(side, kFaceHalfWidth + 10, kEyeY + 10),
                      onSide(side, kFaceHalfWidth + 40, kEyeY + 40),
                      onSide(side, kFaceHalfWidth + 12, kEyeY + 85), kCrease);
        // Neck, drawn softly: it is not part of the face.
        drawQuadratic(raster, onSide(side, 135, chinY - 45), onSide(side, 140, chinY + 20),
                      onSide(side, 150, kDefaultRasterEdge - 1), kShading);
    }
}

void drawEyes(GreyRaster& raster) {
    for (int side : {-1, 1}) {
        const StrokePoint inner = onSide(side, kEyeOffsetX - 62, kEyeY);
        const StrokePoint outer = onSide(side, kEyeOffsetX + 62, kEyeY);
        drawQuadratic(raster, inner, onSide(side, kEyeOffsetX, kEyeY - 58), outer, kMainStroke);
        drawQuadratic(raster, inner, onSide(side, kEyeOffsetX, kEyeY + 36), outer, kMainStroke);
        drawEllipseArc(raster, onSide(side, kEyeOffsetX, kEyeY - 4), 17, 17, 0, 360, kMainStroke);
        drawEllipseArc(raster, onSide(side, kEyeOffsetX, kEyeY - 4), 6, 6, 0, 360, kShading);
        // Lid crease above, shadow below.
        drawQuadratic(raster, onSide(side, kEyeOffsetX - 55, kEyeY - 22),
                      onSide(side, kEyeOffsetX, kEyeY - 72),
                      onSide(side, kEyeOffsetX + 58, kEyeY - 18), kCrease);
        drawQuadratic(raster, onSide(side, kEyeOffsetX - 40, kEyeY + 32),
                      onSide(side, kEyeOffsetX, kEyeY + 52),
                      onSide(side, kEyeOffsetX + 45, kEyeY + 28), kShading);
        for (int lash = 0; lash < 5; ++lash) {
            const double along = kEyeOffsetX + 10 + lash * 11.0;
            const double lidY = kEyeY - 27 + lash * lash * 0.9;
            drawLine(raster, onSide(side, along, lidY), onSide(side, along + 9, lidY - 12),
                     kLashes);
        }
        // Brow: two strokes a few pixels apart, closing at the outer end.
        drawCubic(raster, onSide(side, kEyeOffsetX - 80, kEyeY - 70),
                  onSide(side, kEyeOffsetX - 30, kEyeY - 112),
                  onSide(side, kEyeOffsetX + 40, kEyeY - 115),
                  onSide(side, kEyeOffsetX + 85, kEyeY - 80), kMainStroke);
        drawCubic(raster, onSide(side, kEyeOffsetX - 78, kEyeY - 62),
                  onSide(side, kEyeOffsetX - 30, kEyeY - 100),
                  onSide(side, kEyeOffsetX + 40, kEyeY - 103),
                  onSide(side, kEyeOffsetX + 85, kEyeY - 80), kShading);
    }
}

void drawNose(GreyRaster& raster) {
    const double tipY = kFaceCentreY + 125;
    for (int side : {-1, 1}) {
        drawCubic(raster, onSide(side, 30, kEyeY + 15), onSide(side, 28, kEyeY + 80),
                  onSide(side, 40, tipY - 45), onSide(side, 52, tipY - 5), kMainStroke);
        drawQuadratic(raster, onSide(side, 52, tipY - 5), onSide(side, 60, tipY + 20),
                      onSide(side, 28, tipY + 18), kMainStroke);
        drawEllipseArc(raster, onSide(side, 26, tipY + 8), 12, 6, 0, 360, kShading);
    }
    drawQuadratic(raster, onSide(-1, 28, tipY + 18), {kCentreX, tipY + 30},
                  onSide(1, 28, tipY + 18), kMainStroke);
}

void drawMouth(GreyRaster& raster) {
    const StrokePoint left = onSide(-1, 100, kMouthY);
    const StrokePoint right = onSide(1, 100, kMouthY);
    drawQuadratic(raster, left, {kCentreX, kMouthY + 18}, right, kMainStroke);
    drawQuadratic(raster, onSide(-1, 92, kMouthY + 4), {kCentreX, kMouthY + 78},
                  onSide(1, 92, kMouthY + 4), kMainStroke);
    for (int side : {-1, 1}) {
        // Upper lip with its bow, philtrum, dimple.
        drawCubic(raster, onSide(side, 100, kMouthY), onSide(side, 70, kMouthY - 25),
                  onSide(side, 35, kMouthY - 40), onSide(side, 0, kMouthY - 22), kCrease);
        drawLine(raster, onSide(side, 14, kMouthY - 34), onSide(side, 12, kMouthY - 75), kShading);
        drawQuadratic(raster, onSide(side, 112, kMouthY - 12), onSide(side, 120, kMouthY + 2),
                      onSide(side, 110, kMouthY + 14), kShading);
    }
    drawQuadratic(raster, onSide(-1, 45, kMouthY + 105), {kCentreX, kMouthY + 120},
                  onSide(1, 45, kMouthY + 105), kShading);
}

void drawHair(GreyRaster& raster) {
    const double crownY = kFaceCentreY - kFaceHalfHeight;
    const StrokePoint parting = onSide(-1, 70, crownY - 25);
    // Hairline across the forehead.
    drawCubic(raster, onSide(-1, kFaceHalfWidth - 5, kEyeY - 60), onSide(-1, 200, crownY + 40),
              onSide(1, 40, crownY + 80), onSide(1, kFaceHalfWidth - 5, kEyeY - 70), kMainStroke);
    // Locks sweep from the parting down past the temples; only the outermost is drawn firmly.
    for (int lock = 0; lock < 6; ++lock) {
        const int side = lock % 2 == 0 ? -1 : 1;
        const int rank = lock / 2;
        const double reach = kFaceHalfWidth + 30 + rank * 18.0;
        const double drop = kEyeY - 40 + rank * 90.0;
        const unsigned char value = rank == 0 ? kMainStroke : kFineHair;
        drawCubic(raster, {parting.x + side * rank * 12.0, parting.y + rank * 8.0},
                  onSide(side, 120 + rank * 50.0, crownY - 70 - rank * 16.0),
                  onSide(side, reach + 40, crownY + 60), onSide(side, reach, drop), value);
    }
    // A fringe falling from the parting onto the forehead.
    for (int strand = 0; strand < 4; ++strand) {
        const double endX = 120.0 + strand * 60.0;
        const unsigned char value = strand == 0 ? kMainStroke : kFineHair;
        drawCubic(raster, {parting.x + 10, parting.y + 10},
                  onSide(1, 20 + strand * 25.0, crownY + 10), onSide(1, endX - 10, crownY + 60),
                  onSide(1, endX, crownY + 115 + strand * 10.0), value);
    }
}

}  // namespace

GreyRaster drawDefaultFace() {
    GreyRaster raster(kDefaultRasterEdge, kDefaultRasterEdge);
    drawOutline(raster);
    drawEyes(raster);
    drawNose(raster);
    drawMouth(raster);
    drawHair(raster);
    return raster;
}
