// SPDX-License-Identifier: MIT
#pragma once
// The window program's command line, read before Qt starts, so that help, version and every
// usage error are answered without a display. The options of Qt itself (-platform, -style,
// -display, ...) are recognised and left for Qt.
#include <optional>
#include <string>
#include <vector>

namespace r8::ui {

struct WindowArgs {
    std::optional<std::string> com1;
    std::optional<std::string> com2;
    std::optional<std::string> traceFile;
    bool simulate = false;
    bool trace = false;
    bool help = false;
    bool helpAll = false; // help with the Qt options listed too
    bool version = false;
    std::string platform; // the value of Qt's -platform, if given
    std::string error;    // empty when the arguments are good
};

// Arguments after the program name; "--name value" and "--name=value" both work.
WindowArgs ParseWindowArgs(const std::vector<std::string>& args);
std::string WindowUsage(const std::string& program, bool withQtOptions);

} // namespace r8::ui
