#pragma once

#include <functional>

struct ViewState;

// Runs `draw` under the view transform (zoom, then pan) and leaves the
// modelview matrix as identity.
void drawInView(const ViewState& view, const std::function<void()>& draw);
