#pragma once
// What r8v5mc-ctl prints on stdout, as text or as JSON.
#include "SettingEntry.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace r8 {

struct SettingValue {
    const SettingEntry* setting = nullptr;
    std::optional<int> value; // empty when the camera did not give it
    int lo = 0, hi = 0;       // the range in force (the camera's, where it reports one)
};

// list: name, kind, value, range or choices; JSON: an array of objects.
void PrintList(std::FILE* out, const std::vector<SettingValue>& values, bool json);
// get, dump, set: NAME=VALUE lines; JSON: one object. Settings without a value are left out.
void PrintValues(std::FILE* out, const std::vector<SettingValue>& values, bool json);
// raw: the answer A1..A15 in hexadecimal, or that the camera answered with its ACK only.
void PrintRaw(std::FILE* out, const std::vector<uint8_t>& command, const uint8_t* answer,
              bool json);

} // namespace r8
