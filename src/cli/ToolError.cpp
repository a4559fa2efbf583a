// SPDX-License-Identifier: MIT
#include "ToolError.h"

#include <cstdio>

namespace r8 {

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::Usage:
        return "usage";
    case ErrorKind::Value:
        return "value";
    case ErrorKind::File:
        return "file";
    case ErrorKind::Port:
        return "port";
    case ErrorKind::Camera:
        return "camera";
    case ErrorKind::NoCamera:
        return "no-camera";
    case ErrorKind::LinkLost:
        return "link-lost";
    case ErrorKind::Stopped:
        return "stopped";
    }
    return "usage";
}

ErrorKind KindOfExit(int code) {
    switch (code) {
    case kExitCamera:
        return ErrorKind::Camera;
    case kExitNoCamera:
        return ErrorKind::LinkLost;
    case kExitInterrupt:
    case kExitTerminate:
        return ErrorKind::Stopped;
    default:
        return ErrorKind::Usage;
    }
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
