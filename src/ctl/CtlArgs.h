// SPDX-License-Identifier: MIT
#pragma once
// The command line of r8v5mc-ctl.
#include "ToolOptions.h"

#include <string>
#include <vector>

namespace r8 {

struct CtlArgs : ToolOptions {
    enum class Op { None, List, Get, Set, Dump, Apply, Raw, Ports };
    Op op = Op::None;
    std::vector<std::string> words; // names, NAME=VALUE pairs, hexadecimal bytes or the file
    std::string page;               // --page: one page's settings only
};

// Arguments after the program name.
CtlArgs ParseCtlArgs(const std::vector<std::string>& args);
std::string CtlUsage(const std::string& program);

} // namespace r8
