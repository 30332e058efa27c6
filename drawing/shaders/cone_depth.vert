#version 120
varying vec2 site;
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
    site = gl_MultiTexCoord0.xy;
}
