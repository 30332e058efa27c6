#pragma once

#include "cells/candidate_grid.h"

struct Site;

// Works the candidates out on `threads` threads. A radius of 0 or less, or
// no sites, gives an empty grid.
SiteCandidates computeSiteCandidates(const Site* head, int radius, int threads = 2);
