// SPDX-License-Identifier: MIT
#include "ToolError.h"

#include "KindTable.h"

#include <cstdio>

namespace r8 {

namespace {
constexpr KindText<ErrorKind> kNames[] = {
    {ErrorKind::Usage, "usage"},        {ErrorKind::Value, "value"},
    {ErrorKind::File, "file"},          {ErrorKind::Port, "port"},
    {ErrorKind::Camera, "camera"},      {ErrorKind::NoCamera, "no-camera"},
    {ErrorKind::LinkLost, "link-lost"}, {ErrorKind::Stopped, "stopped"},
};

// The kind each exit code other than 0 and 2 stands for; any other code is a usage error.
struct ExitKind {
    int code;
    ErrorKind kind;
};
constexpr ExitKind kExitKinds[] = {
    {kExitCamera, ErrorKind::Camera},
    {kExitNoCamera, ErrorKind::LinkLost},
    {kExitInterrupt, ErrorKind::Stopped},
    {kExitTerminate, ErrorKind::Stopped},
};
} // namespace

const char* ErrorKindName(ErrorKind kind) {
    return TextOf(kNames, kind, "usage");
}

ErrorKind KindOfExit(int code) {
    for (const ExitKind& e : kExitKinds)
        if (e.code == code) return e.kind;
    return ErrorKind::Usage;
}

std::string JsonString(std::string_view text) {
    std::string r = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            r += buf;
        } else {
            r += c;
        }
    }
    return r + "\"";
}

std::string JsonError(ErrorKind kind, const std::string& message, const std::string& more) {
    return "{\"error\": {\"kind\": " + JsonString(ErrorKindName(kind)) +
           ", \"message\": " + JsonString(message) + "}" + more + "}\n";
}

} // namespace r8
