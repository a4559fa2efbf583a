// SPDX-License-Identifier: MIT
#pragma once
// What r8v5mc-ctl prints on stdout, as text or as JSON.
#include "SettingEntry.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace r8 {

struct SettingValue {
    const SettingEntry* setting = nullptr;
    std::optional<int> value; // empty when the camera did not give it
    int lo = 0, hi = 0;       // the range in force (the camera's, where it reports one)
};

// list: name, kind, value, range or choices; JSON: {"settings": [one object each]}.
void PrintList(std::FILE* out, const std::vector<SettingValue>& values, bool json);
// get, dump, set: NAME=VALUE lines, settings without a value left out; JSON: one object.
void PrintValues(std::FILE* out, const std::vector<SettingValue>& values, bool json);
// {"name": value, ...}: each name once (its last value), null where the camera gave none.
std::string ValuesObject(const std::vector<SettingValue>& values);
// raw: the answer A1..A15 in hexadecimal, or that the camera answered with its ACK only.
void PrintRaw(std::FILE* out, const std::vector<uint8_t>& command, const uint8_t* answer,
              bool json);

} // namespace r8
