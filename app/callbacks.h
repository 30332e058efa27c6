#pragma once

// The GLUT callbacks. They only translate GLUT's calls into work on the
// globals; the work itself lives in plain functions and classes.
void display();
void reshape(int width, int height);
void idle();
void visible(int state);
void keyboard(unsigned char key, int x, int y);
void closed();

// Registers the callbacks in the order the program relies on.
void registerCallbacks();
