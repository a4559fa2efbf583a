// SPDX-License-Identifier: MIT
#pragma once
// What went wrong in a tool's run, as a closed set, and the JSON a tool prints for it on
// stdout with --json: {"error": {"kind": "...", "message": "..."}}.
#include "ExitCodes.h"

#include <string>
#include <string_view>

namespace r8 {

enum class ErrorKind {
    Usage,    // the command line (2)
    Value,    // a setting's name or value, a profile's line, a raw command's bytes (2)
    File,     // a file that cannot be read or written (2)
    Port,     // the port cannot be used (2)
    Camera,   // the camera answered an error, or a value read back differs (1)
    NoCamera, // no camera answered (3)
    LinkLost, // the camera stopped answering, or the device went away (3)
    Stopped,  // SIGINT or SIGTERM (130, 143)
};

// "usage", "value", "file", "port", "camera", "no-camera", "link-lost", "stopped".
const char* ErrorKindName(ErrorKind kind);
// The kind an exit code stands for when nothing more is known.
ErrorKind KindOfExit(int code);

// text as a JSON string, in double quotes.
std::string JsonString(std::string_view text);
// {"error": {"kind": K, "message": M}}, then `more` (", \"key\": value" members) in the same
// object, and a newline.
std::string JsonError(ErrorKind kind, const std::string& message, const std::string& more = {});

} // namespace r8
