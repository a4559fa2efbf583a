// SPDX-License-Identifier: MIT
#pragma once
// Reading a whole input file the way every tool here does: only a regular file (a pipe, a
// device or a folder is refused without waiting for it), never more than a cap, and a stop
// request (a signal) answered between the pieces. Standard input, which may be a pipe, is read
// under the same cap and waits for its bytes beside a stop descriptor.
#include <cstddef>
#include <functional>
#include <string>

namespace r8 {

// Asked between the pieces of a read: true stops it (a signal, for example).
using StopRequested = std::function<bool()>;

// What is read, for the messages: "a settings file", a cap, and what a normal one holds
// (" (a whole image has 32768)"), said after "too large for a settings file".
struct FileKind {
    std::string noun;
    size_t maxBytes = 0;
    std::string sizeNote;
};

// The bytes of the regular file at path, at most kind.maxBytes. Returns "" or a sentence
// naming the file and the cause ("stopped" when stop asked for it); text is empty on failure.
std::string ReadRegularFile(const std::string& path, const FileKind& kind, std::string& text,
                            const StopRequested& stop = {});

// Everything an open descriptor (standard input) gives until its end, at most kind.maxBytes;
// name is what messages call it. While it waits for bytes it also waits on stopFd (if >= 0):
// that descriptor becoming readable, or stop answering true, ends the read with "stopped".
std::string ReadDescriptor(int fd, const std::string& name, const FileKind& kind, std::string& text,
                           const StopRequested& stop = {}, int stopFd = -1);

} // namespace r8
