#pragma once

#include <GL/gl.h>

// Each guard saves a piece of the caller's GL state when it is made and puts
// it back when it goes, also where an exception leaves the scope. Guards
// made one after the other are undone in the reverse order; none is copied,
// so that each save is restored once.
class StateGuard {
public:
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

protected:
    StateGuard() = default;
    ~StateGuard() = default;
};

class ProgramBinding : StateGuard {
public:
    ProgramBinding();
    ~ProgramBinding();

private:
    GLint saved = 0;
};

// The buffer bound to one target (array, element array, texture, pixel
// pack or unpack); `bound` is bound meanwhile.
class BufferBinding : StateGuard {
public:
    explicit BufferBinding(GLenum target);
    BufferBinding(GLenum target, GLuint bound);
    ~BufferBinding();

private:
    GLenum target;
    GLint saved = 0;
};

// The buffer textures bound to the first `count` (at most 8) texture
// units, and the active unit.
class BufferTextureUnits : StateGuard {
public:
    explicit BufferTextureUnits(GLuint count);
    ~BufferTextureUnits();

private:
    GLuint count;
    GLint savedActive = 0;
    GLint saved[8] = {};
};

class RenderbufferBinding : StateGuard {
public:
    RenderbufferBinding();
    ~RenderbufferBinding();

private:
    GLint saved = 0;
};

// The read and draw framebuffers.
class FramebufferBindings : StateGuard {
public:
    FramebufferBindings();
    ~FramebufferBindings();

    GLuint readBinding() const { return static_cast<GLuint>(read); }
    GLuint drawBinding() const { return static_cast<GLuint>(draw); }

private:
    GLint read = 0;
    GLint draw = 0;
};

// The colour buffers read from and drawn to.
class ColourBufferChoice : StateGuard {
public:
    ColourBufferChoice();
    ~ColourBufferChoice();

private:
    GLint read = 0;
    GLint draw = 0;
};

// One glPixelStorei parameter, `value` meanwhile.
class PixelStore : StateGuard {
public:
    PixelStore(GLenum name, GLint value);
    ~PixelStore();

private:
    GLenum name;
    GLint saved = 0;
};

// One matrix stack, pushed, and the matrix mode: `mode` meanwhile.
class MatrixStack : StateGuard {
public:
    explicit MatrixStack(GLenum mode);
    ~MatrixStack();

private:
    GLenum mode;
    GLint savedMode = 0;
};

class CurrentColour : StateGuard {
public:
    CurrentColour();
    ~CurrentColour();

private:
    GLfloat saved[4] = {};
};

// The depth function, `function` meanwhile.
class DepthFunction : StateGuard {
public:
    explicit DepthFunction(GLenum function);
    ~DepthFunction();

private:
    GLint saved = 0;
};

// The attribute groups of `mask`, for state that many changes touch at once.
class AttribGroups : StateGuard {
public:
    explicit AttribGroups(GLbitfield mask);
    ~AttribGroups();
};

// The client attribute groups of `mask`.
class ClientAttribGroups : StateGuard {
public:
    explicit ClientAttribGroups(GLbitfield mask);
    ~ClientAttribGroups();
};
