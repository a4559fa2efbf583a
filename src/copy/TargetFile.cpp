// SPDX-License-Identifier: MIT
#include "TargetFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace r8 {

namespace {

namespace fs = std::filesystem;

// As the kernel allows.
constexpr int kMaxLinks = 40;

std::string Cause(int error) {
    return std::strerror(error);
}

// Paths whose files are streams of this process or devices, whatever they point at now.
// /dev/shm is a folder of plain files in memory.
bool IsSpecialTree(const std::string& path) {
    if (path.starts_with("/dev/shm/")) return false;
    return path.starts_with("/proc/") || path.starts_with("/dev/") || path.starts_with("/sys/");
}

} // namespace

std::string ResolveTarget(const std::string& path, std::string& target) {
    if (path.empty()) return "no file name given";
    std::string at = path;
    for (int links = 0;; ++links) {
        if (IsSpecialTree(fs::path(at).lexically_normal().string()))
            return path + ": not a regular file; a settings file cannot be written to a device "
                          "or a stream";
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0) {
            if (errno != ENOENT) return path + ": " + Cause(errno);
            target = at; // absent: created in its folder
            return {};
        }
        if (S_ISLNK(st.st_mode)) {
            if (links == kMaxLinks) return path + ": too many levels of symbolic links";
            std::string to(4096, '\0');
            const ssize_t n = ::readlink(at.c_str(), to.data(), to.size());
            if (n < 0) return path + ": " + Cause(errno);
            to.resize(static_cast<size_t>(n));
            const fs::path link(at);
            at = fs::path(to).is_absolute() ? to : (link.parent_path() / to).string();
            continue;
        }
        if (S_ISDIR(st.st_mode)) return path + ": a folder; give the name of a settings file";
        if (!S_ISREG(st.st_mode))
            return path + ": not a regular file; a settings file cannot be written to a device, "
                          "a pipe or a socket";
        target = at;
        return {};
    }
}

std::string TargetFile::Open(const std::string& path, size_t size) {
    Discard();
    std::string target;
    if (std::string error = ResolveTarget(path, target); !error.empty()) return error;
    const fs::path t(target);
    const fs::path folder = t.has_parent_path() ? t.parent_path() : fs::path(".");
    // A file without a name where the file system allows it: a run that is killed leaves
    // nothing behind. It gets its name only at the end (Commit).
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    std::string temp;
    if (fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return path + ": cannot create a file in " + folder.string() + ": " + Cause(errno);
        // Appended piece by piece: "literal" + std::string&& draws a false -Wrestrict from GCC
        // 12 at -O3.
        std::string hidden = ".";
        hidden += t.filename().string();
        hidden += ".XXXXXX";
        temp = (folder / hidden).string();
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return path + ": cannot create a file in " + folder.string() + ": " + Cause(errno);
    }
    // Reserving the room now makes a full disk fail here, not after the camera was read.
    const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
        ::close(fd);
        if (!temp.empty()) ::unlink(temp.c_str());
        return path + ": no room for the file in " + folder.string() + ": " + Cause(reserved);
    }
    target_ = target;
    temp_ = temp;
    fd_ = fd;
    return {};
}

std::string TargetFile::Commit(std::string_view text) {
    if (fd_ < 0) return "no file open";
    auto fail = [this](const char* what, int error) {
        const std::string cause = std::string(what) + ": " + Cause(error);
        Discard();
        return cause;
    };
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write", n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    if (::ftruncate(fd_, static_cast<off_t>(text.size())) != 0) return fail("cannot write", errno);
    // The file keeps the mode of the one it replaces; a new one gets the usual permissions
    // instead of mkstemp's owner-only ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target_.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
    if (::fsync(fd_) != 0) return fail("cannot flush", errno);
    if (temp_.empty()) {
        // The unnamed file gets a hidden name beside the target for the rename.
        const fs::path t(target_);
        std::string hidden = ".";
        hidden += t.filename().string();
        hidden += ".";
        hidden += std::to_string(::getpid());
        const std::string name =
            (t.has_parent_path() ? t.parent_path() / hidden : fs::path(hidden)).string();
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return fail("cannot name the file", errno);
        temp_ = name;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        return std::string("cannot close: ") + Cause(e);
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        return std::string("cannot rename over the target: ") + Cause(e);
    }
    temp_.clear();
    return {};
}

void TargetFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

} // namespace r8
