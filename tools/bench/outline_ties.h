#pragma once

#include "outline/cone_outline.h"
#include "tools/bench/outline_differences.h"
#include "tools/bench/picture_agreement.h"

class HeightMap;

// How far a wire-frame picture differs from the full cones' one pass of the
// map's sites under the view: every differing pixel is held against every
// edge fragment the cones put there (the exhaustive outline picture). It is
// at a tie where both pictures' colours belong to fragments within 2e-5 of
// the least depth there; a pixel where either shows a marker is not.
OutlineDifferences classifyOutlineDifferences(const RgbPicture& reference,
                                              const RgbPicture& picture, const HeightMap& map,
                                              const OutlineView& view);
