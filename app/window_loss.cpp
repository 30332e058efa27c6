#include "app/window_loss.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

namespace {

XID watchedWindow = 0;
bool lost = false;
XErrorHandler previousHandler = nullptr;
int lastWidth = 0;
int lastHeight = 0;

int onXError(Display* display, XErrorEvent* error) {
    if (watchedWindow != 0 && error->resourceid == watchedWindow) {
        lost = true;
        return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

}  // namespace

void watchForWindowLoss() {
    watchedWindow = glXGetCurrentDrawable();
    const XErrorHandler replaced = XSetErrorHandler(onXError);
    if (replaced != onXError) {
        previousHandler = replaced;
    }
}

bool windowLost() {
    return lost;
}

bool windowExists() {
    Display* display = glXGetCurrentDisplay();
    if (display && watchedWindow != 0 && !lost) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, watchedWindow, &attributes) == 0) {
            lost = true;
        }
    }
    return !lost;
}

void windowSize(int& width, int& height) {
    const int askedWidth = glutGet(GLUT_WINDOW_WIDTH);
    const int askedHeight = glutGet(GLUT_WINDOW_HEIGHT);
    // An error about the gone window reaches the handler before GLUT answers.
    if (!lost) {
        lastWidth = askedWidth;
        lastHeight = askedHeight;
    }
    width = lastWidth;
    height = lastHeight;
}
