// The inner cells, then from farStart on the far ones.
layout(binding = 0) uniform usamplerBuffer cells;
layout(binding = 1) uniform usamplerBuffer more;
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
uniform vec2 gridOrigin;
uniform ivec2 gridSize;
uniform ivec4 inner;
// The cells' sizes are powers of two: shifts, not divisions, which a
// software renderer works out lane by lane.
uniform int cellShift;
uniform int farCellShift;
uniform int innerColumns;
uniform int farColumns;
uniform int farStart;
uniform float radius;
uniform float rimBand;

float nearest;
uint colour;

void offer(vec2 point, uvec2 candidate) {
    vec2 site = gridOrigin + vec2(0.5) + vec2(float(candidate.x & 0xFFFFu), float(candidate.x >> 16));
    float distance = facetDistance(point - site);
    if (distance < nearest) {
        nearest = distance;
        colour = candidate.y;
    }
}

void main() {
    if (litMarker()) {
        return;
    }
    vec2 point = windowToRaster * gl_FragCoord.xy + rasterOrigin;
    vec2 cell = point - gridOrigin;
    if (any(lessThan(cell, vec2(0.0))) || any(greaterThanEqual(cell, vec2(gridSize)))) {
        discard;
    }
    // A software renderer runs both sides of a branch: one fetch, not two.
    ivec2 unit = ivec2(cell);
    ivec2 innerUnit = (unit - inner.xy) >> cellShift;
    ivec2 farUnit = unit >> farCellShift;
    int index = all(greaterThanEqual(unit, inner.xy)) && all(lessThan(unit, inner.zw))
                    ? innerUnit.y * innerColumns + innerUnit.x
                    : farStart + farUnit.y * farColumns + farUnit.x;
    uvec4 record = texelFetch(cells, index);
    uint count = record.y >> 24;
    nearest = radius + 1.0;
    if (count <= 2u) {
        offer(point, record.xy);
        if (count == 2u) {
            offer(point, record.zw);
        }
    } else {
        for (int index = int(record.x); index < int(record.x + count); ++index) {
            offer(point, texelFetch(more, index).xy);
        }
    }
    // The rim strips draw the band; empty cells lie beyond every cone.
    if (count == 0u || nearest > radius - rimBand) {
        discard;
    }
    gl_FragColor = unpackUnorm4x8((colour & 0xFFFFFFu) | 0xFF000000u);
#ifndef DEPTH_KEPT
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * nearest;
#endif
}
