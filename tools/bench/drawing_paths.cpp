#include "tools/bench/drawing_paths.h"

#include "app/frame.h"

std::vector<DrawingPath> drawingPaths() {
    // The display callback's own frame, one full cone per site.
    return {{"literal", [](HeightMap& map, const ViewState& view) { drawFrame(map, view); }}};
}
