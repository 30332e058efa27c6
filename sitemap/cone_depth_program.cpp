#define GL_GLEXT_PROTOTYPES
#include "sitemap/cone_depth_program.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "sitemap/cell_extents.h"

namespace {

const char* const kVertexShader = R"(
#version 120
varying vec2 site;
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
    site = gl_MultiTexCoord0.xy;
}
)";

// The 32-gon distance is the largest of the projections on the facet
// normals, divided by cos(pi / 32). The 32-gon is symmetric about both axes
// and the diagonal, so the offset is folded into the first half-quadrant,
// where only four facets can face it; their normals come pre-divided.
std::string fragmentShader() {
    const double kPi = 3.14159265358979323846;
    std::string source = R"(
#version 120
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
varying vec2 site;
void main() {
    vec2 offset = abs(windowToRaster * gl_FragCoord.xy + rasterOrigin - site);
    if (offset.y > offset.x) {
        offset = offset.yx;
    }
    float distance = 0.0;
)";
    for (int facet = 0; facet < kConeSlices / 8; ++facet) {
        const double angle = (facet + 0.5) * 2.0 * kPi / kConeSlices;
        const double scale = 1.0 / std::cos(kPi / kConeSlices);
        // Nine digits carry a 32-bit float exactly.
        char line[96];
        std::snprintf(line, sizeof line,
                      "    distance = max(distance, dot(offset, vec2(%.9g, %.9g)));\n",
                      scale * std::cos(angle), scale * std::sin(angle));
        source += line;
    }
    source += R"(
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * distance;
    gl_FragColor = gl_Color;
}
)";
    return source;
}

GLuint compileShader(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Window position and depth of raster point (x, y) at cone height z, under
// the current matrices and viewport.
struct WindowPoint {
    double x;
    double y;
    double depth;
};

class ViewTransform {
public:
    ViewTransform() {
        double modelview[16];
        double projection[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetDoublev(GL_DEPTH_RANGE, depthRange);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                double sum = 0.0;
                for (int inner = 0; inner < 4; ++inner) {
                    sum += projection[inner * 4 + row] * modelview[column * 4 + inner];
                }
                combined[column * 4 + row] = sum;
            }
        }
    }

    WindowPoint toWindow(double x, double y, double z) const {
        double clip[4];
        for (int row = 0; row < 4; ++row) {
            clip[row] = combined[row] * x + combined[4 + row] * y + combined[8 + row] * z +
                        combined[12 + row];
        }
        const double ndcX = clip[0] / clip[3];
        const double ndcY = clip[1] / clip[3];
        const double ndcZ = clip[2] / clip[3];
        return {viewport[0] + (ndcX + 1.0) / 2.0 * viewport[2],
                viewport[1] + (ndcY + 1.0) / 2.0 * viewport[3],
                depthRange[0] + (ndcZ + 1.0) / 2.0 * (depthRange[1] - depthRange[0])};
    }

private:
    double combined[16];
    GLint viewport[4];
    double depthRange[2];
};

}  // namespace

ConeDepthProgram::~ConeDepthProgram() {
    if (program != 0) {
        glDeleteProgram(program);
    }
}

bool ConeDepthProgram::compile() {
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, kVertexShader);
    const std::string fragmentSource = fragmentShader();
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentSource.c_str());
    if (vertex != 0 && fragment != 0) {
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!linked) {
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (program == 0) {
        return false;
    }
    windowToRasterLocation = glGetUniformLocation(program, "windowToRaster");
    rasterOriginLocation = glGetUniformLocation(program, "rasterOrigin");
    depthLocation = glGetUniformLocation(program, "depthAtDistance");
    return true;
}

bool ConeDepthProgram::use(int radius) {
    if (unusable) {
        return false;
    }
    if (program == 0 && !compile()) {
        unusable = true;
        return false;
    }
    // The view maps raster points to window points by an affine map; the
    // fragments need its inverse.
    const ViewTransform view;
    const WindowPoint origin = view.toWindow(0.0, 0.0, 1.0);
    const WindowPoint alongX = view.toWindow(1.0, 0.0, 1.0);
    const WindowPoint alongY = view.toWindow(0.0, 1.0, 1.0);
    const WindowPoint onRim = view.toWindow(0.0, 0.0, 0.0);
    const double xx = alongX.x - origin.x;
    const double xy = alongX.y - origin.y;
    const double yx = alongY.x - origin.x;
    const double yy = alongY.y - origin.y;
    const double determinant = xx * yy - yx * xy;
    if (!std::isfinite(determinant) || determinant == 0.0) {
        return false;
    }
    // Columns of the inverse of [[xx, yx], [xy, yy]].
    const GLfloat windowToRaster[4] = {
        static_cast<GLfloat>(yy / determinant), static_cast<GLfloat>(-xy / determinant),
        static_cast<GLfloat>(-yx / determinant), static_cast<GLfloat>(xx / determinant)};
    const double originX = -(yy * origin.x - yx * origin.y) / determinant;
    const double originY = -(-xy * origin.x + xx * origin.y) / determinant;

    glGetIntegerv(GL_CURRENT_PROGRAM, &savedProgram);
    glUseProgram(program);
    glUniformMatrix2fv(windowToRasterLocation, 1, GL_FALSE, windowToRaster);
    glUniform2f(rasterOriginLocation, static_cast<GLfloat>(originX), static_cast<GLfloat>(originY));
    // Height z = 1 - distance / radius.
    glUniform2f(depthLocation, static_cast<GLfloat>(origin.depth),
                static_cast<GLfloat>((onRim.depth - origin.depth) / radius));
    return true;
}

void ConeDepthProgram::release() {
    glUseProgram(static_cast<GLuint>(savedProgram));
}
