uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
varying vec2 site;
void main() {
    float distance = facetDistance(windowToRaster * gl_FragCoord.xy + rasterOrigin - site);
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * distance;
    gl_FragColor = gl_Color;
}
