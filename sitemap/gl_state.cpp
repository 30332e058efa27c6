#define GL_GLEXT_PROTOTYPES
#include "sitemap/gl_state.h"

#include <GL/glext.h>

namespace {

GLenum bindingOf(GLenum target) {
    switch (target) {
        case GL_ARRAY_BUFFER: return GL_ARRAY_BUFFER_BINDING;
        case GL_ELEMENT_ARRAY_BUFFER: return GL_ELEMENT_ARRAY_BUFFER_BINDING;
        case GL_TEXTURE_BUFFER: return GL_TEXTURE_BUFFER_BINDING;
        case GL_PIXEL_PACK_BUFFER: return GL_PIXEL_PACK_BUFFER_BINDING;
        default: return GL_PIXEL_UNPACK_BUFFER_BINDING;
    }
}

}  // namespace

ProgramBinding::ProgramBinding() {
    glGetIntegerv(GL_CURRENT_PROGRAM, &saved);
}

ProgramBinding::~ProgramBinding() {
    glUseProgram(static_cast<GLuint>(saved));
}

BufferBinding::BufferBinding(GLenum target) : target(target) {
    glGetIntegerv(bindingOf(target), &saved);
}

BufferBinding::BufferBinding(GLenum target, GLuint bound) : BufferBinding(target) {
    glBindBuffer(target, bound);
}

BufferBinding::~BufferBinding() {
    glBindBuffer(target, static_cast<GLuint>(saved));
}

BufferTextureUnits::BufferTextureUnits(GLuint count) : count(count) {
    glGetIntegerv(GL_ACTIVE_TEXTURE, &savedActive);
    for (GLuint unit = 0; unit < count; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glGetIntegerv(GL_TEXTURE_BINDING_BUFFER, &saved[unit]);
    }
    glActiveTexture(static_cast<GLenum>(savedActive));
}

BufferTextureUnits::~BufferTextureUnits() {
    for (GLuint unit = 0; unit < count; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_BUFFER, static_cast<GLuint>(saved[unit]));
    }
    glActiveTexture(static_cast<GLenum>(savedActive));
}

RenderbufferBinding::RenderbufferBinding() {
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &saved);
}

RenderbufferBinding::~RenderbufferBinding() {
    glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(saved));
}

FramebufferBindings::FramebufferBindings() {
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
}

FramebufferBindings::~FramebufferBindings() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
}

ColourBufferChoice::ColourBufferChoice() {
    glGetIntegerv(GL_READ_BUFFER, &read);
    glGetIntegerv(GL_DRAW_BUFFER, &draw);
}

ColourBufferChoice::~ColourBufferChoice() {
    glDrawBuffer(static_cast<GLenum>(draw));
    glReadBuffer(static_cast<GLenum>(read));
}

PixelStore::PixelStore(GLenum name, GLint value) : name(name) {
    glGetIntegerv(name, &saved);
    glPixelStorei(name, value);
}

PixelStore::~PixelStore() {
    glPixelStorei(name, saved);
}

MatrixStack::MatrixStack(GLenum mode) : mode(mode) {
    glGetIntegerv(GL_MATRIX_MODE, &savedMode);
    glMatrixMode(mode);
    glPushMatrix();
}

MatrixStack::~MatrixStack() {
    glMatrixMode(mode);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(savedMode));
}

CurrentColour::CurrentColour() {
    glGetFloatv(GL_CURRENT_COLOR, saved);
}

CurrentColour::~CurrentColour() {
    glColor4fv(saved);
}

DepthFunction::DepthFunction(GLenum function) {
    glGetIntegerv(GL_DEPTH_FUNC, &saved);
    glDepthFunc(function);
}

DepthFunction::~DepthFunction() {
    glDepthFunc(static_cast<GLenum>(saved));
}

AttribGroups::AttribGroups(GLbitfield mask) {
    glPushAttrib(mask);
}

AttribGroups::~AttribGroups() {
    glPopAttrib();
}

ClientAttribGroups::ClientAttribGroups(GLbitfield mask) {
    glPushClientAttrib(mask);
}

ClientAttribGroups::~ClientAttribGroups() {
    glPopClientAttrib();
}
