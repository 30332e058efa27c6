#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

// GL buffers that the shaders read as buffer textures.

// A run of bytes to upload.
struct BufferBytes {
    const void* data;
    std::size_t bytes;
};

// The parts, one after the other, into `buffer`, bound to the texture buffer
// target and left bound there. GL keeps a copy, which must leave the
// headroom free too: throws std::bad_alloc where it would not. An empty
// buffer cannot be bound for a shader: it holds one zeroed item of
// `itemBytes` then.
void uploadTextureBuffer(unsigned int buffer, std::initializer_list<BufferBytes> parts,
                         std::size_t itemBytes);

template <typename Item>
void uploadTextureBuffer(unsigned int buffer, const std::vector<Item>& items,
                         const std::vector<Item>& following = {}) {
    uploadTextureBuffer(buffer,
                        {{items.data(), items.size() * sizeof(Item)},
                         {following.data(), following.size() * sizeof(Item)}},
                        sizeof(Item));
}

// Drains GL's errors; true if one was a buffer GL could not make room for.
bool glRanOutOfMemory();

// Whether GL_VERSION or GL_SHADING_LANGUAGE_VERSION (`name`) is at least
// major.minor.
bool glVersionAtLeast(unsigned int name, int major, int minor);
