#pragma once

#include <FreeImage.h>

#include <string>

// The most memory a decoded picture may take, counted at no less than 32 bits
// a pixel: the grey and scaled copies made after decoding stay within a few
// times this.
constexpr unsigned long long kMostDecodedPictureBytes = 256ull << 20;

// Reads the picture's size from its header and decodes it only when it stays
// within kMostDecodedPictureBytes. Returns null when FreeImage cannot read the
// file (refusal left empty) or when the picture is refused for its size or
// for a format whose size cannot be read before decoding (refusal says why,
// starting with the path).
FIBITMAP* loadBoundedPicture(FREE_IMAGE_FORMAT format, const std::string& path, int flags,
                             std::string& refusal);
