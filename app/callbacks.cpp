#include "app/callbacks.h"

#include <GL/freeglut.h>

#include <chrono>
#include <exception>
#include <iostream>
#include <thread>

#include "app/commands.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"

namespace {

// A finished picture needs no more frames than a display shows.
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 60);
std::chrono::steady_clock::time_point nextFrameDue;

// GLUT is C: no exception may cross it. Memory running out is dealt with
// where it happens; anything else gets a line, and the program goes on.
template <typename Work>
void guarded(const Work& work) {
    try {
        work();
    } catch (const std::exception& error) {
        std::cout << "Could not finish: " << error.what() << std::endl;
    }
}

}  // namespace

void display() {
    guarded([] {
        ViewState view{g_zoom, g_panX, g_panY};
        FrameRenderer& renderer = windowFrameRenderer();
        renderer.render(*g_heightMap, view);
        if (renderer.pictureFinished()) {
            glutSwapBuffers();
        }
        nextFrameDue = std::chrono::steady_clock::now() + kFrameInterval;
    });
}

// Asks for the next frame at once while a picture is drawn in slices. Once
// it is finished, looks for changes at the display's pace and asks for a
// frame only when there is one: the window already shows the finished
// picture, and showing it again 60 times a second cost a fifth of a core.
// GLUT still redraws a window that was uncovered.
void idle() {
    guarded([] {
        FrameRenderer& renderer = windowFrameRenderer();
        if (renderer.pictureFinished()) {
            std::this_thread::sleep_until(nextFrameDue);
            nextFrameDue = std::chrono::steady_clock::now() + kFrameInterval;
            if (renderer.upToDate(*g_heightMap, ViewState{g_zoom, g_panX, g_panY})) {
                return;
            }
        }
        glutPostWindowRedisplay(g_windowId);
    });
}

// GLUT draws no frame for a window that cannot be seen, so an idle callback
// asking for one would spin. Without it the main loop sleeps until an event;
// a picture drawn in slices goes on where it stopped once the window shows.
void visible(int state) {
    glutIdleFunc(state == GLUT_VISIBLE ? idle : nullptr);
}

void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    guarded([key] { runKeyCommand(commandForKey(key)); });
}

// The window's GL objects go while its context still exists.
void closed() {
    releaseWindowFrameRenderer();
}

void registerCallbacks() {
    glutDisplayFunc(display);
    glutVisibilityFunc(visible);
    glutIdleFunc(idle);
    glutKeyboardFunc(keyboard);
    glutCloseFunc(closed);
}
