#pragma once

#include <string>

// A GLSL function `float facetDistance(vec2 offset)`: the distance that a
// cone of kConeSlices facets stands for at that offset from its apex.
std::string facetDistanceFunction();

// Compiles and links a program from the two sources; 0 when GL cannot.
unsigned int linkProgram(const char* vertexSource, const char* fragmentSource);
