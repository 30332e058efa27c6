#include "tools/bench/bench_window.h"

#include <GL/freeglut.h>

#include "app/window.h"
#include "sitemap/height_map.h"

void openBenchWindow(HeightMap& map, int& argc, char** argv) {
    glutInit(&argc, argv);
    openWindow(map.size, map.size);
    // Frames are drawn by the benchmark, not by GLUT's loop.
    glutDisplayFunc([] {});
    map.initGL();
    setUpView(map.size, map.size);
    for (int pass = 0; pass < 3; ++pass) {
        glutMainLoopEvent();
    }
    glViewport(0, 0, map.size, map.size);
}
