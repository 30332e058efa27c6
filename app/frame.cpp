#include "app/frame.h"

#include <GL/freeglut.h>

#include "app/keys.h"
#include "sitemap/height_map.h"

void drawFrame(HeightMap& map, const ViewState& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glPushMatrix();
    glLoadIdentity();
    // Scale first, translate second: the pan is in raster pixels.
    glScalef(view.zoom, view.zoom, 1.0f);
    glTranslatef(view.panX, view.panY, 0.0f);
    map.drawCones(map.size / 2, true);
    glPopMatrix();
}
