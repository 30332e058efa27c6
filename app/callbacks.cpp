#include "app/callbacks.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <thread>

#include "app/commands.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/keys.h"
#include "app/window_loss.h"

namespace {

// A finished picture needs no more frames than a display shows.
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 60);
std::chrono::steady_clock::time_point nextFrameDue;

// While the window is hidden, a pending save is taken on this often.
constexpr unsigned int kHiddenSaveIntervalMs = 20;
bool hidden = false;
bool hiddenSaveTimed = false;

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

// A window destroyed from outside: the saves asked for are finished from
// the pictures in memory, and the program ends, as when the window is closed.
void endIfWindowLost() {
    if (!windowLost()) {
        return;
    }
    guarded([] { windowFrameRenderer().finishSaves(*g_heightMap); });
    releaseWindowFrameRenderer();
    std::exit(0);
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
    endIfWindowLost();
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
    endIfWindowLost();
}

namespace {

void takeHiddenSaveOn(int);

// A save asked for is not left to the window showing again: while it is
// hidden, a timer takes the save on, and stops once it is written.
void timeHiddenSave() {
    if (hidden && !hiddenSaveTimed && windowFrameRenderer().savePending()) {
        hiddenSaveTimed = true;
        glutTimerFunc(kHiddenSaveIntervalMs, takeHiddenSaveOn, 0);
    }
}

void takeHiddenSaveOn(int) {
    hiddenSaveTimed = false;
    guarded([] {
        if (hidden) {
            windowFrameRenderer().advanceSaves(*g_heightMap);
        }
        timeHiddenSave();
    });
    endIfWindowLost();
}

}  // namespace

// The viewport is the window, as with GLUT's own. The renderer is told too:
// a resize undone before the next frame leaves its inputs as they were.
void reshape(int width, int height) {
    glViewport(0, 0, width, height);
    guarded([] { windowFrameRenderer().windowReshaped(); });
}

// GLUT draws no frame for a window that cannot be seen, so an idle callback
// asking for one would spin. Without it the main loop sleeps until an event;
// a picture drawn in slices goes on where it stopped once the window shows.
// A window destroyed from outside is first unmapped.
void visible(int state) {
    hidden = state != GLUT_VISIBLE;
    if (hidden && !windowExists()) {
        endIfWindowLost();
    }
    glutIdleFunc(hidden ? nullptr : idle);
    guarded([] { timeHiddenSave(); });
}

void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    guarded([key] {
        runKeyCommand(commandForKey(key));
        timeHiddenSave();
    });
    endIfWindowLost();
}

// A pending save is finished, written and announced before the window goes;
// a picture nobody waits for is dropped. The window's GL objects go while
// its context still exists.
void closed() {
    guarded([] { windowFrameRenderer().finishSaves(*g_heightMap); });
    releaseWindowFrameRenderer();
}

void registerCallbacks() {
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutVisibilityFunc(visible);
    glutIdleFunc(idle);
    glutKeyboardFunc(keyboard);
    glutCloseFunc(closed);
}
