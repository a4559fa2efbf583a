// SPDX-License-Identifier: MIT
#pragma once
// The file a camera-to-PC copy writes. It must be a regular file or not exist yet; a symbolic
// link counts as the file it points to, which is the one replaced. The new contents go into a
// temporary file in the target's folder, created (with room for the whole image) before the
// camera is read, so that an unwritable folder or a full disk shows before the reading and
// not after it; it is renamed over the target only once written, flushed and closed. Where the
// file system allows, the temporary file has no name until then (O_TMPFILE), so that a run
// that is killed leaves nothing behind; elsewhere it is a hidden file beside the target.
#include <string>
#include <string_view>

namespace r8 {

// Follows symbolic links from path to the file they end at. Returns "" and that file's path
// (which need not exist), or a sentence naming path and why a copy may not write there: a
// folder, a device, a pipe, a stream such as /dev/stdout, a loop of links.
std::string ResolveTarget(const std::string& path, std::string& target);

class TargetFile {
public:
    TargetFile() = default;
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;
    ~TargetFile() { Discard(); }

    // Checks path and creates the temporary file with `size` bytes reserved. "" or a sentence
    // naming the file and the cause.
    std::string Open(const std::string& path, size_t size);
    // Writes text into the temporary file and renames it over the target. "" or the cause;
    // on failure the target is untouched and the temporary file gone.
    std::string Commit(std::string_view text);
    // Removes the temporary file, if any; the target stays as it was.
    void Discard();

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Target() const { return target_; }
    const std::string& TempPath() const { return temp_; }

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

} // namespace r8
