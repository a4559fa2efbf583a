// SPDX-License-Identifier: MIT
#include "Profile.h"

#include "Catalogue.h"

namespace r8 {

namespace {

std::string_view Trim(std::string_view t) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!t.empty() && space(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && space(t.back()))
        t.remove_suffix(1);
    return t;
}

} // namespace

std::string ParseAssignment(std::string_view text, Assignment& out) {
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) return "\"" + std::string(text) + "\" is not NAME=VALUE";
    const std::string_view name = Trim(text.substr(0, eq));
    const SettingEntry* s = FindSetting(name);
    if (!s) return "no setting is called \"" + std::string(name) + "\" (list shows them all)";
    const ParsedValue v = ParseValue(*s, Trim(text.substr(eq + 1)));
    if (!v.value) return v.error;
    out = {s, *v.value};
    return {};
}

std::string ReadProfile(std::istream& in, const std::string& name, std::vector<Assignment>& out) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view t = Trim(line);
        if (t.empty() || t.front() == '#') continue;
        Assignment a;
        if (std::string error = ParseAssignment(t, a); !error.empty())
            return name + ":" + std::to_string(number) + ": " + error;
        out.push_back(a);
    }
    if (in.bad()) return name + ": cannot read the profile";
    return {};
}

} // namespace r8
