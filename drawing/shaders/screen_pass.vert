#version 430 compatibility
void main() {
    gl_Position = gl_Vertex;
}
