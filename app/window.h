#pragma once

// Opens the one window at the screen's top-left corner, double-buffered with
// a depth buffer. A size below 1 (no raster loaded) leaves GLUT's default.
// glutInit must have run.
void openWindow(int width, int height);

// The pixel-exact projection (one unit per window pixel, origin at the
// lower-left corner, depth range -1..+1), an identity modelview and the
// background blue.
void setUpView(int width, int height);

// The background every frame starts from.
constexpr float kBackgroundRed = 0.1f;
constexpr float kBackgroundGreen = 0.57f;
constexpr float kBackgroundBlue = 0.8f;

// Asks the driver to swap buffers at the display's refresh rate (swap
// interval 1), where it offers a way to; false where it does not.
bool syncSwapsToDisplay();
