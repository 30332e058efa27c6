#define GL_GLEXT_PROTOTYPES
#include "drawing/cone_depth_program.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

#include "drawing/current_view.h"
#include "drawing/shader_building.h"
#include "drawing/shader_sources.h"

namespace {

std::string fragmentShader() {
    return "#version 120\n" + facetDistanceFunction() + shaders::kConeDepthFrag;
}

}  // namespace

ConeDepthProgram::~ConeDepthProgram() {
    if (program != 0) {
        glDeleteProgram(program);
    }
}

bool ConeDepthProgram::compile() {
    program = linkProgram(shaders::kConeDepthVert, fragmentShader().c_str());
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
    glUseProgram(program);
    glUniformMatrix2fv(windowToRasterLocation, 1, GL_FALSE, mapping.matrix);
    glUniform2fv(rasterOriginLocation, 1, mapping.origin);
    glUniform2fv(depthLocation, 1, mapping.depthAtDistance);
    return true;
}
