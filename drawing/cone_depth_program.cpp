#define GL_GLEXT_PROTOTYPES
#include "drawing/cone_depth_program.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "drawing/current_view.h"
#include "drawing/shader_building.h"

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

std::string fragmentShader() {
    return "#version 120\n" + facetDistanceFunction() + R"(
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
varying vec2 site;
void main() {
    float distance = facetDistance(windowToRaster * gl_FragCoord.xy + rasterOrigin - site);
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * distance;
    gl_FragColor = gl_Color;
}
)";
}

}  // namespace

ConeDepthProgram::~ConeDepthProgram() {
    if (program != 0) {
        glDeleteProgram(program);
    }
}

bool ConeDepthProgram::compile() {
    program = linkProgram(kVertexShader, fragmentShader().c_str());
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
    WindowToRaster mapping;
    if (!currentWindowToRaster(radius, mapping)) {
        return false;
    }
    glGetIntegerv(GL_CURRENT_PROGRAM, &savedProgram);
    glUseProgram(program);
    glUniformMatrix2fv(windowToRasterLocation, 1, GL_FALSE, mapping.matrix);
    glUniform2fv(rasterOriginLocation, 1, mapping.origin);
    glUniform2fv(depthLocation, 1, mapping.depthAtDistance);
    return true;
}

void ConeDepthProgram::release() {
    glUseProgram(static_cast<GLuint>(savedProgram));
}
