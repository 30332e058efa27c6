#pragma once

#include "drawing/cut_cone_drawing.h"
#include "drawing/screen_pass_drawing.h"

class HeightMap;

// Which drawing gave the last filled picture.
enum class FilledDrawingPath { None, CutCones, ScreenPass };

// The filled picture of the full cones by the cheaper of two drawings: the
// cut cones, whose cost grows with the sites, for a few sites, and the
// screen pass, whose cost follows the pixels, for more. Where the context
// lacks what the screen pass needs, the cut cones draw whatever the count.
class FilledConeDrawing {
public:
    // Up to this many sites the cut cones are cheaper to draw and to work out.
    static constexpr int kCutConeSiteLimit = 2000;

    explicit FilledConeDrawing(int cutConeSiteLimit = kCutConeSiteLimit)
        : cutConeSiteLimit(cutConeSiteLimit) {}

    // Compiles the screen pass's programs now: on a software renderer that
    // takes tens of milliseconds, better spent at start-up than on the
    // first extraction.
    void compilePrograms() { screenPass.available(); }
    // Works out now, if the sites changed, what the next draw needs. Where
    // memory runs out on the way, says so in one line, and draw declines
    // until the sites change.
    void update(const HeightMap& map, int radius);
    // The cells and, when markSites is set, every site's marker over them.
    // False, drawing nothing, where neither drawing can run in this context,
    // the view shows no area or memory ran out for these sites: the caller
    // draws the full cones then, which need no memory of their own.
    bool draw(HeightMap& map, int radius, bool markSites);

    FilledDrawingPath lastPath() const { return path; }
    // What working out the last drawing's data cost, in milliseconds.
    double lastPreparationMilliseconds() const;

private:
    bool screenPassFirst(const HeightMap& map);
    // Whether the list holds more than cutConeSiteLimit sites, found again
    // when it changes (the map's count stays when its sites are released),
    // by counting that far only.
    bool manySites(const HeightMap& map);
    // Runs a drawing's preparation (and frame); false, after one line, where
    // it failed for want of memory, or of sites that the drawing can place.
    template <typename Work>
    bool prepared(const HeightMap& map, const Work& work);
    bool failedBefore(const HeightMap& map) const;
    // The screen pass where it is the cheaper and can run, else the cut cones.
    bool drawCheaper(HeightMap& map, int radius, bool markSites);

    int cutConeSiteLimit;
    SiteListIdentity countedFor;
    bool many = false;
    CutConeDrawing cutCones;
    ScreenPassDrawing screenPass;
    FilledDrawingPath path = FilledDrawingPath::None;
    bool failed = false;
    SiteListIdentity failedFor;
};
