#include "app/commands.h"

#include <GL/freeglut.h>

#include <cstdlib>
#include <iostream>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/window_loss.h"
#include "measure/frame_capture.h"
#include "measure/stopwatch.h"
#include "sitemap/height_map.h"

namespace {

constexpr int kBinaryValue = 255;
constexpr int kBinaryStride = 1;
constexpr int kRangeLow = 230;
constexpr int kRangeHigh = 255;

void finishExtraction() {
    // Wipes the per-site lines of the extraction; a console that cannot be
    // cleared keeps them, which is harmless.
    [[maybe_unused]] const int clearStatus = std::system("clear");
    std::cout << "Done! " << std::endl;
    std::cout << "Total number of points computed: " << g_heightMap->siteCount << std::endl;
    // Read last, so the time includes the clearing and the two lines above.
    std::cout << "Time taken (seconds): " << g_stopwatch->elapsed() << std::endl;
    // Worked out here rather than in the next frame, which would hold the
    // window as long: about a second for a million sites. Wire-frame frames
    // need none of it; the first filled frame works it out then.
    GLint polygonModes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonModes);
    if (polygonModes[0] != GL_LINE) {
        windowFrameRenderer().prepare(*g_heightMap);
    }
}

// Renders the current view's finished picture into the back buffer and
// saves it, announcing it first. Rendering first matters: keys typed in one
// burst reach the program before the next frame, so the last frame drawn may
// predate an extraction or a view change. An unchanged, finished frame is
// only copied. A picture still being worked out or drawn in slices is saved,
// and announced, when it is done, also where the window was hidden or closed
// meanwhile; the window answers keys meanwhile. The swap then shows what was
// saved, which the next frames find up to date and would not bring to the
// front; and a software driver takes in a new window size only after a swap
// (or a draw to the front), so a window enlarged after a save would get a
// picture cut to the old size, kept as it was. Where the window was
// destroyed, GL draws nowhere: a wire-frame picture is saved from memory, as
// the window would have shown it.
void saveCurrentFrame() {
    windowFrameRenderer().saveWhenDrawn(*g_heightMap, ViewState{g_zoom, g_panX, g_panY}, [] {
        std::cout << "Result image outputed as result.bmp" << std::endl;
        // The window may also go while it is read: it is asked again after.
        const bool shown = windowExists();
        if (shown) {
            g_heightMap->saveFrame("result.bmp", g_windowWidth, g_windowHeight);
        }
        if (shown && windowExists()) {
            glutSwapBuffers();
            return;
        }
        // Without a picture in memory, what was read from the window stands.
        std::vector<unsigned char> frame =
            windowFrameRenderer().pictureInMemory(g_windowWidth, g_windowHeight);
        const bool saved =
            frame.empty() ? shown
                          : saveFramePixels(frame, g_windowWidth, g_windowHeight, "result.bmp");
        if (!saved) {
            std::cout << "Could not write result.bmp" << std::endl;
        }
    });
}

void setPolygonMode(GLenum mode) {
    glEnable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT, mode);
}

}  // namespace

void runKeyCommand(KeyCommand command) {
    ViewState view{g_zoom, g_panX, g_panY};
    if (applyViewCommand(command, view)) {
        g_zoom = view.zoom;
        g_panX = view.panX;
        g_panY = view.panY;
        return;
    }
    switch (command) {
        case KeyCommand::ExtractBinary:
            g_stopwatch->start();
            g_heightMap->extractBinary(kBinaryValue, kBinaryStride);
            g_stopwatch->stop();
            finishExtraction();
            break;
        case KeyCommand::ExtractRange:
            g_stopwatch->start();
            g_heightMap->extractRange(kRangeLow, kRangeHigh);
            g_stopwatch->stop();
            finishExtraction();
            break;
        case KeyCommand::None: break;
        case KeyCommand::SaveFrame: saveCurrentFrame(); break;
        case KeyCommand::FillMode:
            std::cout << "Color fill display mode" << std::endl;
            setPolygonMode(GL_FILL);
            break;
        case KeyCommand::WireframeMode:
            std::cout << "Wireframe display mode" << std::endl;
            setPolygonMode(GL_LINE);
            break;
        default: std::cout << "Invalid input" << std::endl; break;
    }
}

std::size_t mostSitesOfAKey(const HeightMap& map) {
    if (!map.heights) {
        return 0;
    }
    const std::size_t samples = static_cast<std::size_t>(map.size) * map.size;
    std::size_t sites = 0;
    for (std::size_t sample = 0; sample < samples; ++sample) {
        sites += map.heights[sample] > kRangeLow && map.heights[sample] <= kRangeHigh;
    }
    return sites;
}
