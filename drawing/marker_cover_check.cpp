#define GL_GLEXT_PROTOTYPES
#include "drawing/marker_cover_check.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "outline/marker_cover.h"

OutlineView viewportOutlineView(int& bufferWidth) {
    OutlineView view{};
    glGetFloatv(GL_MODELVIEW_MATRIX, view.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    view.bufferHeight = view.viewport[1] + view.viewport[3];
    bufferWidth = view.viewport[0] + view.viewport[2];
    return view;
}

ContextCheck checkMarkerCover() {
    constexpr int kCorner = 32;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] < kCorner || viewport[3] < kCorner) {
        return ContextCheck::Pending;
    }
    std::vector<unsigned char> saved(kCorner * kCorner * 4);
    std::vector<unsigned char> lit(kCorner * kCorner * 4);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glReadPixels(viewport[0], viewport[1], kCorner, kCorner, GL_RGBA, GL_UNSIGNED_BYTE,
                 saved.data());
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    GLint savedProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &savedProgram);
    glUseProgram(0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewport[2], 0.0, viewport[3], -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPointSize(4.0f);
    glColor3ub(255, 255, 255);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glScissor(viewport[0], viewport[1], kCorner, kCorner);
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    const float offsets[4] = {0.0f, 0.5f, 0.5f + 1.0f / 512.0f, 0.5f - 1.0f / 512.0f};
    std::vector<MarkerPoint> points;
    for (int across = 0; across < 4; ++across) {
        for (int up = 0; up < 4; ++up) {
            points.push_back(
                {4.0f + 8.0f * across + offsets[across], 4.0f + 8.0f * up + offsets[up]});
        }
    }
    glBegin(GL_POINTS);
    for (const MarkerPoint& point : points) {
        glVertex2f(point.x, point.y);
    }
    glEnd();
    glReadPixels(viewport[0], viewport[1], kCorner, kCorner, GL_RGBA, GL_UNSIGNED_BYTE, lit.data());
    int bufferWidth = 0;
    const OutlineView view = viewportOutlineView(bufferWidth);
    MarkerCover cover;
    cover.compute(points, view, bufferWidth, view.bufferHeight);
    bool agrees = true;
    for (int row = 0; row < kCorner; ++row) {
        for (int column = 0; column < kCorner; ++column) {
            // The red byte: the window's buffer may have no alpha.
            const bool drawn = lit[(row * kCorner + column) * 4] != 0;
            agrees = agrees && drawn == cover.lit(viewport[0] + column,
                                                  view.bufferHeight - 1 - (viewport[1] + row));
        }
    }
    glWindowPos2i(viewport[0], viewport[1]);
    glDrawPixels(kCorner, kCorner, GL_RGBA, GL_UNSIGNED_BYTE, saved.data());
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glUseProgram(static_cast<GLuint>(savedProgram));
    glPopAttrib();
    glPopClientAttrib();
    return agrees ? ContextCheck::Agrees : ContextCheck::Differs;
}
