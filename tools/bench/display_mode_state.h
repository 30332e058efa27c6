#pragma once

#include <GL/gl.h>

// The display-mode keys' GL state for a measurement's lifetime: with
// culling, back faces culled and front faces in `frontMode`, as keys c and v
// leave them; without, the state as it was. What was there before comes
// back afterwards.
class DisplayModeState {
public:
    DisplayModeState(bool culling, GLenum frontMode)
        : cullingWasOn(glIsEnabled(GL_CULL_FACE) == GL_TRUE) {
        glGetIntegerv(GL_POLYGON_MODE, savedModes);
        if (culling) {
            glEnable(GL_CULL_FACE);
            glPolygonMode(GL_FRONT, frontMode);
        }
    }
    ~DisplayModeState() {
        if (!cullingWasOn) {
            glDisable(GL_CULL_FACE);
        }
        glPolygonMode(GL_FRONT, static_cast<GLenum>(savedModes[0]));
        glPolygonMode(GL_BACK, static_cast<GLenum>(savedModes[1]));
    }
    DisplayModeState(const DisplayModeState&) = delete;
    DisplayModeState& operator=(const DisplayModeState&) = delete;

private:
    bool cullingWasOn;
    GLint savedModes[2] = {GL_FILL, GL_FILL};
};
