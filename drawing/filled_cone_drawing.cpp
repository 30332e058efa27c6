#include "drawing/filled_cone_drawing.h"

#include <exception>
#include <iostream>
#include <new>

#include "drawing/current_view.h"
#include "sitemap/height_map.h"

bool FilledConeDrawing::manySites(const HeightMap& map) {
    const SiteListIdentity identity = SiteListIdentity::of(map);
    if (identity != countedFor) {
        int counted = 0;
        for (const Site* site = map.sites; site && counted <= cutConeSiteLimit; site = site->next) {
            ++counted;
        }
        many = counted > cutConeSiteLimit;
        countedFor = identity;
    }
    return many;
}

bool FilledConeDrawing::screenPassFirst(const HeightMap& map) {
    return manySites(map) && screenPass.available();
}

template <typename Work>
bool FilledConeDrawing::prepared(const HeightMap& map, const Work& work) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        std::cout << "Could not allocate memory for the filled drawing, drawing the full cones"
                  << std::endl;
    } catch (const std::exception& error) {
        std::cout << "Could not prepare the filled drawing (" << error.what()
                  << "), drawing the full cones" << std::endl;
    }
    failed = true;
    failedFor = SiteListIdentity::of(map);
    path = FilledDrawingPath::None;
    return false;
}

bool FilledConeDrawing::failedBefore(const HeightMap& map) const {
    return failed && failedFor == SiteListIdentity::of(map);
}

void FilledConeDrawing::update(const HeightMap& map, int radius) {
    if (failedBefore(map)) {
        return;
    }
    prepared(map, [&] {
        if (screenPassFirst(map)) {
            screenPass.update(map, radius);
            path = FilledDrawingPath::ScreenPass;
        } else {
            cutCones.update(map, radius);
            path = FilledDrawingPath::CutCones;
        }
    });
}

bool FilledConeDrawing::draw(HeightMap& map, int radius, bool markSites) {
    // Checked first: neither drawing shows anything without an inverse view,
    // and working out the cut cones for many sites is costly.
    WindowToRaster mapping;
    if (!currentWindowToRaster(radius, mapping) || failedBefore(map)) {
        path = FilledDrawingPath::None;
        return false;
    }
    // Both drawings allocate only while they prepare, before any GL state
    // changes, so a failure leaves nothing half drawn.
    bool drawn = false;
    prepared(map, [&] { drawn = drawCheaper(map, radius, markSites); });
    return drawn;
}

bool FilledConeDrawing::drawCheaper(HeightMap& map, int radius, bool markSites) {
    if (screenPassFirst(map)) {
        if (screenPass.draw(map, radius, markSites)) {
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
