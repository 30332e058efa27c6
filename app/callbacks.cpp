#include "app/callbacks.h"

#include <GL/freeglut.h>

#include "app/commands.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"

void display() {
    ViewState view{g_zoom, g_panX, g_panY};
    windowFrameRenderer().render(*g_heightMap, view);
    glutSwapBuffers();
}

// Redraws without pause, so every change shows on the next frame.
void idle() {
    glutPostWindowRedisplay(g_windowId);
}

void visible(int state) {
    if (state == GLUT_VISIBLE) {
        glutIdleFunc(idle);
    }
}

void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    runKeyCommand(commandForKey(key));
}

void registerCallbacks() {
    glutDisplayFunc(display);
    glutVisibilityFunc(visible);
    glutIdleFunc(idle);
    glutKeyboardFunc(keyboard);
}
