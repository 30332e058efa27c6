#pragma once

#include <string>

// Asks the window (an X window id, as xdotool prints it) to close, as a
// window manager does when its close button is pressed: xdotool's
// windowclose destroys the window instead, which the program is never told.
bool askWindowToClose(const std::string& window);
