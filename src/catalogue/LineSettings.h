// SPDX-License-Identifier: MIT
#pragma once
// The plain setting of the "Line" tab: the iris bias that the IRIS adjustment sets. The tab's
// page load reads it with its own read (31 53), whose answer carries it in A3.
#include "SettingEntry.h"

namespace r8::settings {

inline constexpr SettingEntry kIrisBias =
    HexByteSetting(kLineGroup, "iris_bias", "Bias", {0x53}).Control("BiasNum");

inline constexpr const SettingEntry* kLineSettings[] = {&kIrisBias};

} // namespace r8::settings
