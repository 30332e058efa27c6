#include "app/window.h"

#include <GL/freeglut.h>

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
