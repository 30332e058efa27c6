#include "app/callbacks.h"

#include <GL/freeglut.h>

#include <chrono>
#include <thread>

#include "app/commands.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"

namespace {

// A finished picture needs no more frames than a display shows.
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 60);
std::chrono::steady_clock::time_point nextFrameDue;

}  // namespace

void display() {
    ViewState view{g_zoom, g_panX, g_panY};
    FrameRenderer& renderer = windowFrameRenderer();
    renderer.render(*g_heightMap, view);
    if (renderer.pictureFinished()) {
        glutSwapBuffers();
    }
    nextFrameDue = std::chrono::steady_clock::now() + kFrameInterval;
}

// Asks for the next frame at once while a picture is drawn in slices. Once
// it is finished, looks for changes at the display's pace and asks for a
// frame only when there is one: the window already shows the finished
// picture, and showing it again 60 times a second cost a fifth of a core.
// GLUT still redraws a window that was uncovered.
void idle() {
    FrameRenderer& renderer = windowFrameRenderer();
    if (renderer.pictureFinished()) {
        std::this_thread::sleep_until(nextFrameDue);
        nextFrameDue = std::chrono::steady_clock::now() + kFrameInterval;
        if (renderer.upToDate(*g_heightMap, ViewState{g_zoom, g_panX, g_panY})) {
            return;
        }
    }
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
