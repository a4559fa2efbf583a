// SPDX-License-Identifier: MIT
#include "BoundedRead.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace r8 {

namespace {

constexpr size_t kPiece = 16384;

std::string tooLarge(const std::string& name, const FileKind& kind, const std::string& size) {
    return name + ": " + size + ", too large for " + kind.noun + kind.sizeNote;
}

// Reads pieces until the end. With wait, a descriptor that has nothing yet is waited for
// (beside stopFd); without, it is a regular file and never blocks.
std::string readAll(int fd, const std::string& name, const FileKind& kind, std::string& text,
                    const StopRequested& stop, int stopFd, bool wait) {
    text.clear();
    for (;;) {
        if (stop && stop()) return "stopped";
        if (wait) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
            const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, -1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) return name + ": cannot read: " + std::strerror(errno);
            if (stopFd >= 0 && (fds[1].revents & POLLIN)) return "stopped";
        }
        const size_t at = text.size();
        text.resize(at + kPiece);
        const ssize_t n = ::read(fd, text.data() + at, kPiece);
        text.resize(at + static_cast<size_t>(n > 0 ? n : 0));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) return name + ": cannot read: " + std::strerror(errno);
        if (n == 0) return {};
        // A file that grew while it was read, or a pipe that does not end.
        if (text.size() > kind.maxBytes)
            return tooLarge(name, kind, "more than " + std::to_string(kind.maxBytes) + " bytes");
    }
}

} // namespace

std::string ReadRegularFile(const std::string& path, const FileKind& kind, std::string& text,
                            const StopRequested& stop) {
    text.clear();
    // Non-blocking, so that opening a pipe does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return path + ": cannot open: " + std::strerror(errno);
    struct stat st {};
    std::string error;
    if (::fstat(fd, &st) != 0) {
        error = path + ": cannot read: " + std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        error = path + ": a folder, not " + kind.noun;
    } else if (!S_ISREG(st.st_mode)) {
        const char* what = S_ISFIFO(st.st_mode)   ? "a pipe (FIFO)"
                           : S_ISCHR(st.st_mode)  ? "a character device"
                           : S_ISBLK(st.st_mode)  ? "a block device"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                                                  : "not a plain file";
        error = path + ": " + what + ", not " + kind.noun + "; only a regular file is read";
    } else if (static_cast<uintmax_t>(st.st_size) > kind.maxBytes) {
        error = tooLarge(path, kind, std::to_string(st.st_size) + " bytes");
    } else {
        error = readAll(fd, path, kind, text, stop, -1, false);
    }
    ::close(fd);
    if (!error.empty()) text.clear();
    return error;
}

std::string ReadDescriptor(int fd, const std::string& name, const FileKind& kind, std::string& text,
                           const StopRequested& stop, int stopFd) {
    std::string error = readAll(fd, name, kind, text, stop, stopFd, true);
    if (!error.empty()) text.clear();
    return error;
}

} // namespace r8
