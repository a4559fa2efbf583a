// SPDX-License-Identifier: MIT
// The profile reader (NAME=VALUE lines that r8v5mc-ctl applies): any text is either refused
// with its line, or gives values inside each setting's range that, written out as dump writes
// them, read back the same.
#include "Catalogue.h"
#include "Profile.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<r8::Assignment> values;
    const std::string error = r8::ReadProfile(in, "p", values);
    if (!error.empty()) {
        Check(error.starts_with("p:"));
        return 0;
    }
    std::string dumped;
    for (const auto& a : values) {
        Check(a.setting != nullptr);
        Check(a.value >= a.setting->min && a.value <= a.setting->max);
        dumped += std::string(a.setting->name) + "=" + r8::FormatValue(*a.setting, a.value) + "\n";
    }
    std::istringstream again(dumped);
    std::vector<r8::Assignment> back;
    Check(r8::ReadProfile(again, "p", back).empty());
    Check(back.size() == values.size());
    for (size_t i = 0; i < back.size(); ++i)
        Check(back[i].setting == values[i].setting && back[i].value == values[i].value);
    return 0;
}
