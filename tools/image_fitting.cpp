#include "tools/image_fitting.h"

GreyRaster placeCentred(const GreyRaster& picture, int edge) {
    GreyRaster raster(edge, edge);
    const int columnOffset = (edge - picture.width) / 2;
    const int rowOffset = (edge - picture.height) / 2;
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            if (raster.contains(column + columnOffset, row + rowOffset)) {
                raster.at(column + columnOffset, row + rowOffset) = picture.at(column, row);
            }
        }
    }
    return raster;
}
