layout(binding = 0) uniform usamplerBuffer sites;
layout(binding = 1) uniform usamplerBuffer nodes;
layout(binding = 2) uniform usamplerBuffer candidates;
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
    uvec2 node = texelFetch(nodes, column.y * gridSize.x + column.x).xy;
    while (node.y == 0xFFFFFFFFu) {
        inside *= 2.0;
        ivec2 quarter = ivec2(greaterThanEqual(inside, vec2(1.0)));
        inside -= vec2(quarter);
        node = texelFetch(nodes, int(node.x) + quarter.x + 2 * quarter.y).xy;
    }
    float nearest = radius + 1.0;
    int winner = 0;
    for (int index = int(node.x); index < int(node.x + node.y); ++index) {
        int site = int(texelFetch(candidates, index).x);
        float distance = facetDistance(point - uintBitsToFloat(texelFetch(sites, site).xy));
        if (distance < nearest) {
            nearest = distance;
            winner = site;
        }
    }
    // The rim strips draw the band.
    if (nearest > radius - rimBand) {
        discard;
    }
    gl_FragColor = unpackUnorm4x8(texelFetch(sites, winner).z);
#ifndef DEPTH_KEPT
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * nearest;
#endif
}
