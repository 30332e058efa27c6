#include "tools/bench/drawing_paths.h"

#include <memory>

#include "app/frame.h"

std::vector<DrawingPath> drawingPaths() {
    auto renderer = std::make_shared<FrameRenderer>();
    auto windowRenderer = std::make_shared<FrameRenderer>();
    return {
        // One full cone per site: the reference picture.
        {"reference", nullptr,
         [renderer](HeightMap& map, const ViewState& view) {
             renderer->drawFrame(map, view, ConeDrawing::Reference);
         }},
        // The cut cones, drawn afresh every frame: a frame after a change.
        {"fast", [renderer](HeightMap& map) { renderer->prepare(map); },
         [renderer](HeightMap& map, const ViewState& view) {
             renderer->drawFrame(map, view, ConeDrawing::Fast);
         }},
        // The display callback's own call: after the first frame, nothing
        // changes and the retained copy is shown.
        {"window", nullptr,
         [windowRenderer](HeightMap& map, const ViewState& view) {
             windowRenderer->render(map, view);
         }},
    };
}
