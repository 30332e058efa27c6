layout(std430, binding = 0) readonly buffer Sites { uvec4 sites[]; };
layout(std430, binding = 1) readonly buffer Nodes { uvec2 nodes[]; };
layout(std430, binding = 2) readonly buffer Candidates { uint candidates[]; };
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
uniform vec2 gridOrigin;
uniform float cellSize;
uniform ivec2 gridSize;
uniform float radius;
uniform float rimBand;

void main() {
    if (litMarker()) {
        return;
    }
    vec2 point = windowToRaster * gl_FragCoord.xy + rasterOrigin;
    vec2 cell = (point - gridOrigin) / cellSize;
    if (any(lessThan(cell, vec2(0.0))) || any(greaterThanEqual(cell, vec2(gridSize)))) {
        discard;
    }
    ivec2 column = ivec2(cell);
    vec2 inside = cell - vec2(column);
    uvec2 node = nodes[column.y * gridSize.x + column.x];
    while (node.y == 0xFFFFFFFFu) {
        inside *= 2.0;
        ivec2 quarter = ivec2(greaterThanEqual(inside, vec2(1.0)));
        inside -= vec2(quarter);
        node = nodes[node.x + uint(quarter.x + 2 * quarter.y)];
    }
    float nearest = radius + 1.0;
    uint winner = 0u;
    for (uint index = node.x; index < node.x + node.y; ++index) {
        uint site = candidates[index];
        float distance = facetDistance(point - uintBitsToFloat(sites[site].xy));
        if (distance < nearest) {
            nearest = distance;
            winner = site;
        }
    }
    // The rim strips draw the band.
    if (nearest > radius - rimBand) {
        discard;
    }
    gl_FragColor = unpackUnorm4x8(sites[winner].z);
#ifndef DEPTH_KEPT
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * nearest;
#endif
}
