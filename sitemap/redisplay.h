#pragma once

// Asks GLUT to redraw the current window. Does nothing when GLUT has not been
// initialised or no window is current, so the raster code also runs headless.
void requestRedisplay();
