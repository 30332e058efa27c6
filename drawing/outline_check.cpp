#define GL_GLEXT_PROTOTYPES
#include "drawing/outline_check.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/current_view.h"
#include "outline/outline_picture.h"
#include "sitemap/full_cones.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"

bool outlineStateAsAssumed() {
    GLint depthFunc = 0;
    GLint cullFace = 0;
    GLint frontFace = 0;
    GLint modes[2] = {0, 0};
    GLfloat lineWidth = 0.0f;
    GLfloat depthRange[2] = {0.0f, 0.0f};
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    glGetFloatv(GL_LINE_WIDTH, &lineWidth);
    glGetFloatv(GL_DEPTH_RANGE, depthRange);
    return glIsEnabled(GL_DEPTH_TEST) && depthFunc == GL_LEQUAL && glIsEnabled(GL_CULL_FACE) &&
           cullFace == GL_BACK && frontFace == GL_CCW && modes[0] == GL_LINE && lineWidth == 1.0f &&
           !glIsEnabled(GL_LINE_SMOOTH) && !glIsEnabled(GL_POLYGON_OFFSET_LINE) &&
           depthRange[0] == 0.0f && depthRange[1] == 1.0f;
}

ContextCheck checkOutlines() {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Not the whole viewport: reading a window back and working its picture
    // out held the first wire-frame frame for over 100 ms.
    const int side = std::min({128, static_cast<int>(viewport[2]), static_cast<int>(viewport[3])});
    if (side < 16) {
        return ContextCheck::Pending;
    }
    const AttribGroups allKept(GL_ALL_ATTRIB_BITS);
    // The cones go as the full cones do: from client memory, with no program.
    const ProgramBinding programKept;
    glUseProgram(0);
    const BufferBinding verticesFromMemory(GL_ARRAY_BUFFER, 0);
    const BufferBinding indicesFromMemory(GL_ELEMENT_ARRAY_BUFFER, 0);
    const int bottom = viewport[1] + viewport[3] - side;
    glViewport(viewport[0], bottom, side, side);
    glScissor(viewport[0], bottom, side, side);
    glEnable(GL_SCISSOR_TEST);
    const MatrixStack projectionKept(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, side, 0.0, side, -1.0, 1.0);
    const MatrixStack modelviewKept(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(1.1f, 1.1f, 1.0f);
    glTranslatef(0.3f, -0.7f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDepthRange(0.0, 1.0);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glPolygonMode(GL_FRONT, GL_LINE);
    glLineWidth(1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3ub(255, 255, 255);
    const float radius = side / 2.0f;
    Site cones[3] = {{side * 0.3, side * 0.4, 255, 255, 255, &cones[1]},
                     {side * 0.71 + 0.5, side * 0.62, 255, 255, 255, &cones[2]},
                     {side * 0.5, side * 0.2 + 0.25, 255, 255, 255, nullptr}};
    drawFullCones(cones, 3, static_cast<int>(radius));
    std::vector<OutlineSite> sites;
    for (const Site& cone : cones) {
        sites.push_back(
            {static_cast<float>(cone.x), static_cast<float>(cone.y), packedColour(255, 255, 255)});
    }
    int bufferWidth = 0;
    const OutlineView view = viewportOutlineView(bufferWidth);
    std::vector<unsigned char> lit(static_cast<std::size_t>(side) * side * 3);
    const BufferBinding readIntoMemory(GL_PIXEL_PACK_BUFFER, 0);
    const PixelStore packRows(GL_PACK_ALIGNMENT, 1);
    glReadPixels(viewport[0], bottom, side, side, GL_RGB, GL_UNSIGNED_BYTE, lit.data());
    std::vector<float> depths(static_cast<std::size_t>(side) * side);
    glReadPixels(viewport[0], bottom, side, side, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
    OutlinePicture picture;
    picture.compute(sites, view, static_cast<float>(static_cast<int>(radius)), bufferWidth,
                    view.bufferHeight, {});
    // Twice the depth buffer's step, at least 1e-5: a rule of depth that
    // strayed by a hundredth of a pixel would stray by more.
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    const float depthSlack = std::max(1e-5f, std::ldexp(2.0f, -std::max(depthBits, 1)));
    // The square's rows are the buffer's first from the top.
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const std::size_t pixel =
                static_cast<std::size_t>(row) * bufferWidth + viewport[0] + column;
            const bool reached = picture.winners()[pixel] >= 0;
            const std::size_t readRow = static_cast<std::size_t>(side - 1 - row);
            if (reached != (lit[(readRow * side + column) * 3] != 0)) {
                return ContextCheck::Differs;
            }
            const float drawn = depths[readRow * side + column];
            if (reached && std::fabs(drawn - picture.depths()[pixel]) > depthSlack) {
                return ContextCheck::Differs;
            }
        }
    }
    return ContextCheck::Agrees;
}
