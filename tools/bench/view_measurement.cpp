#include "tools/bench/view_measurement.h"

#include <GL/freeglut.h>

#include <vector>

#include "app/frame.h"
#include "sitemap/height_map.h"
#include "tools/bench/display_mode_state.h"
#include "tools/bench/frame_timing.h"
#include "tools/bench/reference_prediction.h"

namespace {

const char* drawingName(FilledDrawingPath path) {
    switch (path) {
        case FilledDrawingPath::CutCones: return "cut cones";
        case FilledDrawingPath::ScreenPass: return "screen pass";
        case FilledDrawingPath::None: break;
    }
    return "full cones";
}

}  // namespace

ViewResult measureView(HeightMap& map, const BenchView& view, const std::vector<OracleSite>& sites,
                       const ViewMeasurement& measurement, Rgb background) {
    const DisplayModeState glState(view.culling, GL_FILL);
    const ViewState& zoomAndPan = view.view;
    const int coneRadius = map.size / 2;
    // Nothing carries over from another view or scene, not even from a list
    // that happens to sit at the same address.
    FrameRenderer renderer;
    ViewResult result;
    result.name = view.name;

    // As the demo does at start-up: the extents are what each extraction
    // brings.
    renderer.compilePrograms();
    result.extentMs = timedGlWorkMs([&] { renderer.prepare(map); });
    result.fast = timeEveryFrame([&] { renderer.drawFrame(map, zoomAndPan, ConeDrawing::Fast); },
                                 measurement.frames);
    result.fastDrawing = drawingName(renderer.lastFilledPath());
    const RgbPicture fastPicture = readPicture(map.size, map.size);

    // The first render draws the frame and keeps it; the later ones, the
    // warm-up included, should only show the kept copy.
    renderer.render(map, zoomAndPan);
    result.retained = timeEveryFrame(
        [&] {
            renderer.render(map, zoomAndPan);
            result.retainedMisses += renderer.lastFrameRetained() ? 0 : 1;
        },
        measurement.frames);
    result.agreement = measureAgreement(readPicture(map.size, map.size), sites, zoomAndPan,
                                        coneRadius, background);

    if (measurement.drawReference) {
        const double predictedMs = predictReferenceMs(map, zoomAndPan);
        if (predictedMs > kLongestReferenceMs) {
            result.predictedReferenceMs = predictedMs;
            return result;
        }
        result.reference =
            timeFrames([&] { renderer.drawFrame(map, zoomAndPan, ConeDrawing::Reference); },
                       measurement.frames);
        result.differences = compareFrames(readPicture(map.size, map.size), fastPicture, sites,
                                           zoomAndPan, coneRadius);
    }
    return result;
}
