// SPDX-License-Identifier: MIT
#pragma once
// NAME=VALUE assignments: the arguments of `set` and the lines of a profile (what `dump`
// writes and `apply` reads). A profile may hold blank lines and # comments.
#include "SettingEntry.h"

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace r8 {

struct Assignment {
    const SettingEntry* setting = nullptr;
    int value = 0;
};

// "" and the assignment, or why the text is refused (an unknown name, no '=', a value that is
// not of the setting's kind or outside its range). Spaces around the name and value are ignored.
std::string ParseAssignment(std::string_view text, Assignment& out);

// Reads every line of a profile; the first refused line gives "NAME:LINE: why".
std::string ReadProfile(std::istream& in, const std::string& name, std::vector<Assignment>& out);

} // namespace r8
