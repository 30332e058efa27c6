#include "sitemap/redisplay.h"

#include <GL/freeglut.h>

void requestRedisplay() {
    if (glutGet(GLUT_INIT_STATE) && glutGetWindow() != 0) {
        glutPostRedisplay();
    }
}
