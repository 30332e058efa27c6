#pragma once

#include <cctype>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outline/cone_outline.h"
#include "tests/support/site_scenes.h"

// The table the picture sweep holds the pictures to: scenes on a raster of
// edge kSweepEdge (gluOrtho2D(0, edge, 0, edge), cones of radius edge / 2),
// zooms, pans and windows (the viewport; a window not of the raster's
// proportions stretches the picture).
constexpr int kSweepEdge = 160;

inline const std::vector<float> kSweepZooms = {0.02f, 0.05f, 0.1f,  0.2f,  0.5f, 1.0f,
                                               3.7f,  50.0f, -0.3f, -1.0f, 1e8f, -1e8f};

// A test's name for the zoom at `index`: its place, then the zoom with only
// letters and digits.
inline std::string sweepZoomName(const ::testing::TestParamInfo<float>& info) {
    std::string name = std::to_string(info.index) + "_zoom_";
    for (const char c : ::testing::PrintToString(info.param)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

// A site in the order GL draws it, with a colour no other site, the marker
// red or the background has.
struct SweepSite {
    float x;
    float y;
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
};

// Few sites, some at one position twice; an edge photo's thin strokes of
// whole-pixel sites; a crowd, half on whole pixels; a solid block and one
// with holes; every pixel of a raster of 255s, rows and columns from 1 on,
// as key 1 finds them.
inline const std::vector<std::string> kSweepScenes = {
    "few sites", "edge photo", "crowd", "solid block", "block with holes", "every pixel"};

inline std::vector<SweepSite> sweepScene(const std::string& name) {
    SiteList list;
    SceneBuilder builder(list, 11);
    const int edge = kSweepEdge;
    if (name == "few sites") {
        builder.scatter(9, 0.05 * edge, 0.95 * edge);
        for (int copy = 0; copy < 2; ++copy) {
            builder.add(31, 97);
            builder.add(120, 40);
        }
    } else if (name == "edge photo") {
        buildScene("curves", list, edge);
    } else if (name == "crowd") {
        builder.scatter(1000, 1.0, edge - 1.0);
        for (int site = 0; site < 1000; ++site) {
            builder.add(1 + builder.generator()() % (edge - 2),
                        1 + builder.generator()() % (edge - 2));
        }
    } else if (name == "solid block" || name == "block with holes") {
        const int side = name == "solid block" ? edge / 4 : edge * 3 / 8;
        const int corner = (edge - side) / 2;
        for (int y = corner; y < corner + side; ++y) {
            for (int x = corner; x < corner + side; ++x) {
                if (name == "solid block" || builder.generator()() % 2 == 0) {
                    builder.add(x, y);
                }
            }
        }
    } else if (name == "every pixel") {
        for (int x = 1; x < edge; ++x) {
            for (int y = 1; y < edge; ++y) {
                builder.add(x, y);
            }
        }
    }
    std::vector<SweepSite> sites;
    for (const Site* site = list.sites; site; site = site->next) {
        const auto number = static_cast<std::uint32_t>(sites.size() + 1);
        sites.push_back({static_cast<float>(site->x), static_cast<float>(site->y),
                         static_cast<std::uint8_t>(number >> 16),
                         static_cast<std::uint8_t>(number >> 8),
                         static_cast<std::uint8_t>(number)});
    }
    return sites;
}

// The view as GL holds it after gluOrtho2D(0, edge, 0, edge), glScalef and
// glTranslatef, with the viewport on the whole window.
inline OutlineView orthoView(float edge, float zoom, float panX, float panY, int width,
                             int height) {
    OutlineView view{};
    view.projection[0] = 2.0f / edge;
    view.projection[5] = 2.0f / edge;
    view.projection[10] = -1.0f;
    view.projection[12] = -1.0f;
    view.projection[13] = -1.0f;
    view.projection[15] = 1.0f;
    view.modelview[0] = zoom;
    view.modelview[5] = zoom;
    view.modelview[10] = 1.0f;
    view.modelview[12] = zoom * panX;
    view.modelview[13] = zoom * panY;
    view.modelview[15] = 1.0f;
    view.viewport[2] = width;
    view.viewport[3] = height;
    view.bufferHeight = height;
    return view;
}

struct SweepCase {
    std::string scene;
    float zoom;
    float panX;
    float panY;
    int width;
    int height;

    std::string describe() const {
        std::ostringstream text;
        text << scene << ", zoom " << zoom << ", pan (" << panX << ", " << panY << "), window "
             << width << " x " << height;
        return text.str();
    }

    // Where raster point (x, y) lands in the window, y up.
    double windowX(double x) const { return zoom * (x + panX) * width / kSweepEdge; }
    double windowY(double y) const { return zoom * (y + panY) * height / kSweepEdge; }

    OutlineView outlineView() const {
        return orthoView(kSweepEdge, zoom, panX, panY, width, height);
    }
};

// The cases of one zoom: in the raster's own window, as the program opens
// it, every scene with the raster whole in view (turned back into it at a
// negative zoom) and panned half out of the window; in the other windows a
// few zooms each, the dense scenes only where their cones stay small there.
inline std::vector<SweepCase> sweepCases(float zoom) {
    const float edge = kSweepEdge;
    const float whole = zoom < 0.0f ? -edge : 0.0f;
    const float outX = -0.5f * edge - 0.25f;
    const float outY = -0.375f * edge + 0.5f;
    std::vector<SweepCase> cases;
    for (const std::string& scene : kSweepScenes) {
        cases.push_back({scene, zoom, whole, whole, kSweepEdge, kSweepEdge});
        cases.push_back({scene, zoom, outX, outY, kSweepEdge, kSweepEdge});
    }
    // Every pixel only where its cones stay small enough to walk whole.
    const std::vector<std::string> sparse = {"few sites", "edge photo", "solid block"};
    const std::vector<std::string> all = {"few sites", "edge photo", "solid block", "every pixel"};
    struct Window {
        int width;
        int height;
        float zoom;
        const std::vector<std::string>& scenes;
    };
    const Window windows[] = {
        {1, 1, 0.2f, all},          {1, 1, 1.0f, all},         {1, 1, -1e8f, all},
        {16, 16, 0.05f, all},       {16, 16, 3.7f, all},       {16, 16, 1e8f, all},
        {3000, 17, 0.1f, all},      {3000, 17, 1.0f, sparse},  {3000, 17, -0.3f, sparse},
        {996, 996, 0.5f, sparse},   {996, 996, 50.0f, sparse}, {996, 996, -1.0f, sparse},
        {1280, 1024, 0.2f, sparse}, {1280, 1024, 3.7f, sparse}};
    for (const Window& window : windows) {
        if (window.zoom != zoom) {
            continue;
        }
        for (std::size_t scene = 0; scene < window.scenes.size(); ++scene) {
            // Whole and half out in turns.
            const bool out = scene % 2 == 1;
            cases.push_back({window.scenes[scene], zoom, out ? outX : whole, out ? outY : whole,
                             window.width, window.height});
        }
    }
    return cases;
}
