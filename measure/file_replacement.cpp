#include "measure/file_replacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Opens a new file beside the destination, so that the rename stays on one
// file system, and names it in `temporary`; -1 when none can be made.
int createTemporaryBeside(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0 || errno != EEXIST) {
            return file;
        }
    }
    return -1;
}

bool writeAll(int file, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(file, bytes, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool replaceFileContents(const std::string& path, const unsigned char* bytes, std::size_t count) {
    std::string temporary;
    const int file = createTemporaryBeside(path, temporary);
    if (file < 0) {
        return false;
    }
    const bool written = writeAll(file, bytes, count) && fsync(file) == 0;
    const bool closed = close(file) == 0;
    if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    unlink(temporary.c_str());
    return false;
}
