#include "app/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cstring>

namespace {

bool hasExtension(const char* extensions, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool startsWord = at == extensions || at[-1] == ' ';
        if (startsWord && (at[length] == ' ' || at[length] == '\0')) {
            return true;
        }
    }
    return false;
}

template <typename Function>
Function glxFunction(const char* name) {
    return reinterpret_cast<Function>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace

void openWindow(int width, int height) {
    glutInitWindowPosition(0, 0);
    if (width >= 1 && height >= 1) {
        glutInitWindowSize(width, height);
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutCreateWindow("2D Voronoi Topology Generation Demo");
}

void setUpView(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, width, 0.0, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(kBackgroundRed, kBackgroundGreen, kBackgroundBlue, 1.0f);
}

bool syncSwapsToDisplay() {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) {
        return false;
    }
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!extensions) {
        return false;
    }
    if (hasExtension(extensions, "GLX_EXT_swap_control")) {
        using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
        if (const auto setInterval = glxFunction<SwapIntervalExt>("glXSwapIntervalEXT")) {
            setInterval(display, drawable, 1);
            return true;
        }
    }
    if (hasExtension(extensions, "GLX_MESA_swap_control")) {
        using SwapIntervalMesa = int (*)(unsigned int);
        if (const auto setInterval = glxFunction<SwapIntervalMesa>("glXSwapIntervalMESA")) {
            return setInterval(1) == 0;
        }
    }
    return false;
}
