#define GL_GLEXT_PROTOTYPES
#include "app/retained_frame.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "sitemap/gl_state.h"

RetainedFrame::~RetainedFrame() {
    if (framebuffer != 0) {
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteRenderbuffers(1, &colourBuffer);
    }
}

bool RetainedFrame::keep(int x, int y, int width, int height) {
    kept = false;
    if (unusable || width <= 0 || height <= 0) {
        return false;
    }
    const FramebufferBindings bindings;
    if (framebuffer == 0) {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colourBuffer);
    }
    if (width != bufferWidth || height != bufferHeight) {
        const RenderbufferBinding renderbufferKept;
        glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  colourBuffer);
        if (glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            unusable = true;
            return false;
        }
        bufferWidth = width;
        bufferHeight = height;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, bindings.readBinding());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glBlitFramebuffer(x, y, x + width, y + height, 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    keptX = x;
    keptY = y;
    kept = true;
    return true;
}

bool RetainedFrame::show(int x, int y, int width, int height) const {
    if (!kept || x != keptX || y != keptY || width != bufferWidth || height != bufferHeight) {
        return false;
    }
    const FramebufferBindings bindings;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, bindings.drawBinding());
    glBlitFramebuffer(0, 0, width, height, x, y, x + width, y + height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    return true;
}
