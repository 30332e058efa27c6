#pragma once

#include <cstddef>
#include <string>

// Writes the bytes to a new file beside `path` and renames it over `path`
// only once every byte is on disk, so a failed write (a full disk, a folder
// in the way) leaves an existing file as it was and no stray file behind;
// a signal that ends the program during the write (SIGHUP, SIGINT, SIGTERM)
// removes the new file before it does. The new file keeps the permissions of
// the one it replaces. Where no file can be made beside `path` (a folder the
// user may not write) but `path` itself can be written, it is written over
// in place: a failed or interrupted write then leaves it incomplete. Returns
// false on any failure.
bool replaceFileContents(const std::string& path, const unsigned char* bytes, std::size_t count);
