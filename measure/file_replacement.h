#pragma once

#include <cstddef>
#include <string>

// Writes the bytes to a new file beside `path` and renames it over `path`
// only once every byte is on disk, so a failed write (a full disk, a folder
// in the way) leaves an existing file as it was and no stray file behind.
// Returns false on any failure.
bool replaceFileContents(const std::string& path, const unsigned char* bytes, std::size_t count);
