#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/keys.h"

class HeightMap;

// Where a scene's sites come from.
enum class SiteSource {
    KeyOne,            // the binary extraction of key 1
    KeyTwo,            // the range extraction of key 2
    KeyOneTwice,       // key 1 run twice: every position twice
    Random,            // uniformly random integer positions, fixed seed
    EveryPixel,        // what key 1 finds in a raster of 255 only: rows and columns from 1 on
    Centre,            // one site at the raster's centre
    BrightPhoto,       // key 1 on a bright photo of the raster's size (brightPhotoRaster)
    BrightPhotoTwice,  // the same, run twice
};

struct BenchScene {
    std::string name;
    SiteSource source;
    // Whether the reference is drawn in every view or only in the first: a
    // reference frame of thousands of sites takes many seconds.
    bool referenceInEveryView;
    int randomSites = 0;  // for SiteSource::Random
};

// The scenes in the order the table lists them; the first is the key 1
// diagram, the one the summary line quotes.
// The dense scenes have fewer sites in a smoke run.
std::vector<BenchScene> benchScenes(int randomSiteCount, bool smoke);

// How a scene is looked at: zoom and pan as the view keys set them, and
// whether back faces are culled as key c leaves them.
struct BenchView {
    std::string name;
    ViewState view;
    bool culling;
};

// The views every scene is drawn in; the first is zoom 1 without culling.
// The mirrored view pans by the raster's edge, so that it shows the whole
// raster upside down whatever its size.
std::vector<BenchView> benchViews(int edge);

struct BuiltSites {
    int siteCount = 0;
    // Time of the extraction calls alone (both runs for KeyOneTwice); none
    // for sites the benchmark places itself.
    std::optional<double> extractionMs;
};

// Replaces the map's sites with the scene's. The extractions run as the key
// commands run them, with their console lines sent to /dev/null.
BuiltSites buildSites(HeightMap& map, SiteSource source, int randomSites);

// Sites placed without an extraction: malloc'd and put at the head of the
// list, like the extraction's own. Both stop, returning false, when memory
// runs out; the sites added so far stay.
bool addRandomSites(HeightMap& map, int count, unsigned seed);
bool addEveryPixel(HeightMap& map);
bool addSite(HeightMap& map, double x, double y, unsigned char r, unsigned char g, unsigned char b);

int countSites(const HeightMap& map);
