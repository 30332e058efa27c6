#define GL_GLEXT_PROTOTYPES
#include "drawing/shader_building.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>

#include "cells/cell_extents.h"

namespace {

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

}  // namespace

// The 32-gon distance is the largest of the projections on the facet
// normals, divided by cos(pi / 32). The 32-gon is symmetric about both axes
// and the diagonal, so the offset is folded into the first half-quadrant,
// where only four facets can face it; their normals come pre-divided.
std::string facetDistanceFunction() {
    const double kPi = 3.14159265358979323846;
    std::string source = R"(
float facetDistance(vec2 offset) {
    offset = abs(offset);
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
    return source + "    return distance;\n}\n";
}

unsigned int linkProgram(const char* vertexSource, const char* fragmentSource) {
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentSource);
    GLuint program = 0;
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
    return program;
}
