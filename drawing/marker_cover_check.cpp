#define GL_GLEXT_PROTOTYPES
#include "drawing/marker_cover_check.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "drawing/current_view.h"
#include "outline/marker_cover.h"
#include "sitemap/gl_state.h"

ContextCheck checkMarkerCover() {
    constexpr int kCorner = 32;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] < kCorner || viewport[3] < kCorner) {
        return ContextCheck::Pending;
    }
    std::vector<unsigned char> saved(kCorner * kCorner * 4);
    std::vector<unsigned char> lit(kCorner * kCorner * 4);
    const BufferBinding readIntoMemory(GL_PIXEL_PACK_BUFFER, 0);
    const BufferBinding drawFromMemory(GL_PIXEL_UNPACK_BUFFER, 0);
    const PixelStore packRows(GL_PACK_ALIGNMENT, 4);
    const PixelStore unpackRows(GL_UNPACK_ALIGNMENT, 4);
    glReadPixels(viewport[0], viewport[1], kCorner, kCorner, GL_RGBA, GL_UNSIGNED_BYTE,
                 saved.data());
    const AttribGroups allKept(GL_ALL_ATTRIB_BITS);
    const ProgramBinding programKept;
    glUseProgram(0);
    const MatrixStack projectionKept(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, viewport[2], 0.0, viewport[3], -1.0, 1.0);
    const MatrixStack modelviewKept(GL_MODELVIEW);
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
    return agrees ? ContextCheck::Agrees : ContextCheck::Differs;
}
