#include <GL/freeglut.h>

#include <limits>

#include "sitemap/full_cones.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"
#include "sitemap/site_markers.h"

void HeightMap::initGL() {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glPointSize(4.0f);
}

// One cone per site, apex on the site and pointing at the viewer: the depth
// test keeps at every pixel the cone of the nearest site. The markers come
// after all cones, so no later cone can paint over them.
void HeightMap::drawCones(int radius, bool markSites) {
    drawFullCones(sites, std::numeric_limits<int>::max(), radius);
    if (markSites) {
        drawSiteMarkers(sites);
    }
}

const Site* drawFullCones(const Site* first, int count, int radius) {
    const Site* site = first;
    for (int drawn = 0; site && drawn < count; ++drawn, site = site->next) {
        glPushMatrix();
        glColor3ub(site->r, site->g, site->b);
        glTranslatef(static_cast<float>(site->x), static_cast<float>(site->y), 0.0f);
        glutSolidCone(radius, 1.0, 32, 1);
        glPopMatrix();
    }
    return site;
}

void drawSiteMarkers(const Site* sites) {
    drawSiteMarkers(sites, std::numeric_limits<int>::max());
}

const Site* drawSiteMarkers(const Site* first, int count) {
    if (!first) {
        return nullptr;
    }
    const DepthFunction always(GL_ALWAYS);
    glColor3ub(255, 0, 0);
    glBegin(GL_POINTS);
    const Site* site = first;
    for (int marked = 0; site && marked < count; ++marked, site = site->next) {
        glVertex2f(static_cast<float>(site->x), static_cast<float>(site->y));
    }
    glEnd();
    return site;
}
