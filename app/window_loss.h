#pragma once

// A window can be destroyed from outside the program (as xdotool's
// windowclose does) without the program being told; every GL call on it then
// raises X errors, and Xlib's own handler ends the process at the first. So
// errors about the window are noted instead, and the program finishes what
// it was asked for and ends.

// Watches the current GL drawable, once the window exists.
void watchForWindowLoss();
// Whether an X error has said the window is gone.
bool windowLost();
// Asks the X server whether the window still exists; where it does not,
// windowLost() says so from then on.
bool windowExists();
// The window's size as GLUT has it; once the window is gone, the last size
// it had (GLUT then reads whatever memory holds).
void windowSize(int& width, int& height);
