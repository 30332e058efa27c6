#define GL_GLEXT_PROTOTYPES
#include "drawing/texture_buffers.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "cells/large_arrays.h"
#include "sitemap/memory_room.h"

void uploadTextureBuffer(unsigned int buffer, std::initializer_list<BufferBytes> parts,
                         std::size_t itemBytes) {
    std::size_t total = 0;
    for (const BufferBytes& part : parts) {
        total += part.bytes;
    }
    const std::size_t bytes = std::max(total, itemBytes);
    if (!roomFor(bytes)) {
        throw std::bad_alloc();
    }
    glBindBuffer(GL_TEXTURE_BUFFER, buffer);
    if (total == 0) {
        const std::vector<unsigned char> none(itemBytes, 0);
        glBufferData(GL_TEXTURE_BUFFER, static_cast<GLsizeiptr>(bytes), none.data(),
                     GL_STATIC_DRAW);
        return;
    }
    glBufferData(GL_TEXTURE_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STATIC_DRAW);
    auto* mapped = static_cast<unsigned char*>(
        glMapBufferRange(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(bytes),
                         GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
    if (mapped) {
        // A software renderer keeps buffers in ordinary memory, where tens of
        // megabytes cost thousands of page faults; elsewhere the advice is
        // ignored.
        adviseHugePages(mapped, bytes);
    }
    std::size_t offset = 0;
    for (const BufferBytes& part : parts) {
        if (part.bytes == 0) {
            continue;
        }
        if (mapped) {
            std::memcpy(mapped + offset, part.data, part.bytes);
        } else {
            glBufferSubData(GL_TEXTURE_BUFFER, static_cast<GLintptr>(offset),
                            static_cast<GLsizeiptr>(part.bytes), part.data);
        }
        offset += part.bytes;
    }
    if (mapped) {
        glUnmapBuffer(GL_TEXTURE_BUFFER);
    }
}

bool glRanOutOfMemory() {
    bool outOfMemory = false;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        outOfMemory = outOfMemory || error == GL_OUT_OF_MEMORY;
    }
    return outOfMemory;
}

bool glVersionAtLeast(unsigned int name, int major, int minor) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    int haveMajor = 0;
    int haveMinor = 0;
    if (!text || std::sscanf(text, "%d.%d", &haveMajor, &haveMinor) != 2) {
        return false;
    }
    // GLSL writes 4.30 where GL writes 4.3.
    while (haveMinor >= 10) {
        haveMinor /= 10;
    }
    return haveMajor > major || (haveMajor == major && haveMinor >= minor);
}
