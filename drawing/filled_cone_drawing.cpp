#include "drawing/filled_cone_drawing.h"

#include <GL/gl.h>

#include "drawing/current_view.h"
#include "sitemap/height_map.h"

int FilledConeDrawing::listedSites(const HeightMap& map) {
    const SiteListIdentity identity = SiteListIdentity::of(map);
    if (identity != countedFor) {
        counted = static_cast<int>(countSites(map.sites));
        countedFor = identity;
    }
    return counted;
}

bool FilledConeDrawing::screenPassFirst(const HeightMap& map) {
    return listedSites(map) > cutConeSiteLimit && screenPass.available();
}

void FilledConeDrawing::update(const HeightMap& map, int radius) {
    if (screenPassFirst(map)) {
        screenPass.update(map, radius);
        path = FilledDrawingPath::ScreenPass;
    } else {
        cutCones.update(map, radius);
        path = FilledDrawingPath::CutCones;
    }
}

bool FilledConeDrawing::draw(HeightMap& map, int radius, bool markSites) {
    // Checked first: neither drawing shows anything without an inverse view,
    // and working out the cut cones for many sites is costly.
    WindowToRaster mapping;
    if (!currentWindowToRaster(radius, mapping)) {
        path = FilledDrawingPath::None;
        return false;
    }
    if (screenPassFirst(map)) {
        GLfloat savedColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glGetFloatv(GL_CURRENT_COLOR, savedColour);
        const bool drawn = screenPass.draw(map, radius, markSites);
        glColor4fv(savedColour);
        if (drawn) {
            path = FilledDrawingPath::ScreenPass;
            return true;
        }
    }
    path = cutCones.draw(map, radius, markSites) ? FilledDrawingPath::CutCones
                                                 : FilledDrawingPath::None;
    return path != FilledDrawingPath::None;
}

double FilledConeDrawing::lastPreparationMilliseconds() const {
    return path == FilledDrawingPath::ScreenPass ? screenPass.lastRebuildMilliseconds()
                                                 : cutCones.lastRebuildMilliseconds();
}
