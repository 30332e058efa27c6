#ifdef MARKER_COVER
layout(binding = 3) uniform usamplerBuffer markerWords;
uniform int markerColumnWords;
uniform int bufferHeight;
#endif

bool litMarker() {
#ifdef MARKER_COVER
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    int fromTop = bufferHeight - 1 - pixel.y;
    if ((texelFetch(markerWords, pixel.x * markerColumnWords + (fromTop >> 5)).x >> uint(fromTop & 31) & 1u) != 0u) {
        gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);
#ifndef DEPTH_KEPT
        gl_FragDepth = 0.0;
#endif
        return true;
    }
#endif
    return false;
}
