#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "measure/diagram_oracle.h"
#include "sitemap/site.h"

// Site sets that stress the diagram: scattered, crowded along thin curves,
// repeated, on and past the raster's border, on every pixel, in clusters. Every site gets a colour
// of its own that is neither the background nor the marker red, so a pixel's colour names its site.
class SceneBuilder {
public:
    // Adds to the list of anything with the map's `sites` and `siteCount`.
    template <typename SiteOwner>
    SceneBuilder(SiteOwner& owner, unsigned int seed)
        : head(owner.sites), count(owner.siteCount), random(seed) {}

    void add(double x, double y) {
        const int index = added++;
        Site* site = static_cast<Site*>(std::malloc(sizeof(Site)));
        *site = Site{x,
                     y,
                     static_cast<unsigned char>(1 + 2 * (index % 100)),
                     static_cast<unsigned char>(1 + 2 * (index / 100 % 100)),
                     3,
                     head};
        head = site;
        ++count;
    }

    // Uniform over [low, high)^2, on a 1/256 grid so positions are exact
    // 32-bit floats.
    void scatter(int count, double low, double high) {
        std::uniform_real_distribution<double> coordinate(low, high);
        for (int index = 0; index < count; ++index) {
            add(std::round(coordinate(random) * 256.0) / 256.0,
                std::round(coordinate(random) * 256.0) / 256.0);
        }
    }

    // The pixels of a circle outline, as an edge extraction finds them.
    void circle(double centreX, double centreY, double radius) {
        const int steps = static_cast<int>(8 * radius);
        int lastX = 1 << 30;
        int lastY = 1 << 30;
        for (int step = 0; step < steps; ++step) {
            const double angle = 2.0 * 3.14159265358979323846 * step / steps;
            const int x = static_cast<int>(std::lround(centreX + radius * std::cos(angle)));
            const int y = static_cast<int>(std::lround(centreY + radius * std::sin(angle)));
            if (x != lastX || y != lastY) {
                add(x, y);
            }
            lastX = x;
            lastY = y;
        }
    }

    // The pixels of a straight segment.
    void line(int fromX, int fromY, int toX, int toY) {
        const int steps = std::max(std::abs(toX - fromX), std::abs(toY - fromY));
        for (int step = 0; step <= steps; ++step) {
            const double along = steps == 0 ? 0.0 : static_cast<double>(step) / steps;
            add(std::lround(fromX + along * (toX - fromX)),
                std::lround(fromY + along * (toY - fromY)));
        }
    }

    std::mt19937& generator() { return random; }

private:
    Site*& head;
    int& count;
    std::mt19937 random;
    int added = 0;
};

// A site list without a HeightMap, for the tests that run without GL.
struct SiteList {
    Site* sites = nullptr;
    int siteCount = 0;

    SiteList() = default;
    SiteList(const SiteList&) = delete;
    SiteList& operator=(const SiteList&) = delete;
    ~SiteList() {
        while (sites) {
            Site* next = sites->next;
            std::free(sites);
            sites = next;
        }
    }
};

// The scenes by name, for an edge-`size` raster.
template <typename SiteOwner>
void buildScene(const std::string& name, SiteOwner& owner, int size) {
    SceneBuilder scene(owner, 7);
    const double edge = size;
    if (name == "random") {
        scene.scatter(120, 0.0, edge);
    } else if (name == "curves") {
        scene.circle(edge * 0.5, edge * 0.55, edge * 0.3);
        scene.circle(edge * 0.42, edge * 0.6, edge * 0.08);
        scene.line(size / 10, size / 8, size - size / 10, size / 5);
        scene.line(size / 3, size / 10, size / 3 + size / 30, size - size / 10);
    } else if (name == "line") {
        scene.line(size / 5, size / 2, size - size / 5, size / 2);
    } else if (name == "duplicates") {
        // Every position three times, the copies far apart in the list.
        std::vector<std::pair<double, double>> positions;
        std::uniform_int_distribution<int> coordinate(0, size);
        for (int index = 0; index < 40; ++index) {
            positions.emplace_back(coordinate(scene.generator()), coordinate(scene.generator()));
        }
        for (int copy = 0; copy < 3; ++copy) {
            for (const auto& [x, y] : positions) {
                scene.add(x, y);
            }
        }
    } else if (name == "border") {
        for (int step = 0; step <= 8; ++step) {
            const double along = edge * step / 8;
            scene.add(along, 0.0);
            scene.add(edge, along);
            scene.add(-0.3 * edge, along);
            scene.add(along, 1.25 * edge);
        }
        scene.scatter(12, -0.1 * edge, 1.1 * edge);
    } else if (name == "dense") {
        // Nearly every point: a hole, and a point in eleven left out, give
        // the one-pixel cells some with no site of their own.
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const double holeX = column - 0.3 * edge;
                const double holeY = row - 0.6 * edge;
                const bool inHole = holeX * holeX + holeY * holeY < 0.01 * edge * edge;
                if (!inHole && (7 * row + 3 * column) % 11 != 0) {
                    scene.add(column, row);
                }
            }
        }
    } else if (name == "clustered") {
        std::normal_distribution<double> spread(0.0, edge / 40);
        for (int cluster = 0; cluster < 5; ++cluster) {
            const double centreX = edge * (0.2 + 0.15 * cluster);
            const double centreY = edge * (0.8 - 0.12 * cluster);
            for (int index = 0; index < 600; ++index) {
                scene.add(std::round((centreX + spread(scene.generator())) * 256.0) / 256.0,
                          std::round((centreY + spread(scene.generator())) * 256.0) / 256.0);
            }
        }
    } else if (name == "single") {
        scene.add(edge * 0.37, edge * 0.61);
    }
}

inline const std::vector<std::string> kSceneNames = {"random", "curves", "line",      "duplicates",
                                                     "border", "dense",  "clustered", "single"};

// The list's sites as the oracle takes them, in list order.
inline std::vector<OracleSite> oracleSitesOf(const Site* head) {
    std::vector<OracleSite> sites;
    for (const Site* site = head; site; site = site->next) {
        sites.push_back({site->x, site->y, site->r, site->g, site->b});
    }
    return sites;
}
