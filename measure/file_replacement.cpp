#include "measure/file_replacement.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

// The temporary file of the save under way, for the signal handler: named
// before the file is made, cleared once it is renamed or removed.
std::atomic<const char*> pendingTemporary{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "read in a signal handler");

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// Async-signal-safe: unlink, signal and raise only. The signal is blocked
// while its handler runs, so the raised one ends the program, the way the
// first would have, as soon as the handler returns.
extern "C" void removeTemporaryAndEnd(int number) {
    if (const char* temporary = pendingTemporary.load()) {
        unlink(temporary);
    }
    std::signal(number, SIG_DFL);
    raise(number);
}

// While it lives, the signals that end the program by default (Ctrl-C, a
// closed terminal, kill) remove the temporary file first. Ignored signals
// stay ignored.
class TemporaryRemovalOnSignals {
public:
    TemporaryRemovalOnSignals() {
        struct sigaction removal {};
        removal.sa_handler = removeTemporaryAndEnd;
        sigemptyset(&removal.sa_mask);
        for (int number : kEndingSignals) {
            sigaddset(&removal.sa_mask, number);
        }
        for (std::size_t index = 0; index < std::size(kEndingSignals); ++index) {
            installed[index] = sigaction(kEndingSignals[index], nullptr, &previous[index]) == 0 &&
                               (previous[index].sa_flags & SA_SIGINFO) == 0 &&
                               previous[index].sa_handler == SIG_DFL &&
                               sigaction(kEndingSignals[index], &removal, nullptr) == 0;
        }
    }
    ~TemporaryRemovalOnSignals() {
        for (std::size_t index = 0; index < std::size(kEndingSignals); ++index) {
            if (installed[index]) {
                sigaction(kEndingSignals[index], &previous[index], nullptr);
            }
        }
    }
    TemporaryRemovalOnSignals(const TemporaryRemovalOnSignals&) = delete;
    TemporaryRemovalOnSignals& operator=(const TemporaryRemovalOnSignals&) = delete;

private:
    struct sigaction previous[std::size(kEndingSignals)]{};
    bool installed[std::size(kEndingSignals)] = {};
};

// Opens a new file beside the destination, so that the rename stays on one
// file system, and names it in `temporary` and to the signal handler; -1,
// with errno set, when none can be made.
int createTemporaryBeside(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        pendingTemporary = temporary.c_str();
        const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            return file;
        }
        pendingTemporary = nullptr;
        if (errno != EEXIST) {
            return -1;
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

bool writeAndClose(int file, const unsigned char* bytes, std::size_t count) {
    const bool written = writeAll(file, bytes, count) && fsync(file) == 0;
    return close(file) == 0 && written;
}

// The file itself written over, where it exists and may be written.
bool overwriteInPlace(const std::string& path, const unsigned char* bytes, std::size_t count) {
    const int file = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return file >= 0 && writeAndClose(file, bytes, count);
}

}  // namespace

bool replaceFileContents(const std::string& path, const unsigned char* bytes, std::size_t count) {
    const TemporaryRemovalOnSignals removal;
    std::string temporary;
    const int file = createTemporaryBeside(path, temporary);
    if (file < 0) {
        // A full disk would take the old file's bytes and not give the new ones.
        return errno != ENOSPC && errno != EDQUOT && overwriteInPlace(path, bytes, count);
    }
    struct stat replaced {};
    if (stat(path.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        fchmod(file, replaced.st_mode & 07777);
    }
    const bool replacedWhole =
        writeAndClose(file, bytes, count) && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!replacedWhole) {
        unlink(temporary.c_str());
    }
    pendingTemporary = nullptr;
    return replacedWhole;
}
