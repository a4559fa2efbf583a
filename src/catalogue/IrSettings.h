// SPDX-License-Identifier: MIT
#pragma once
// The IR group of the "MASK" tab (hidden in the window). Every IR answer carries all five
// values at A4..A8, whichever item was read.
#include "SettingEntry.h"

namespace r8::settings {

inline constexpr std::string_view kIrSwItems[] = {"INT", "EXT"};
inline constexpr std::string_view kIrLevelItems[] = {"1",  "2",  "3",  "4",  "5",  "6",
                                                     "7",  "8",  "9",  "10", "11", "12",
                                                     "13", "14", "15", "16", "17", "18"};
inline constexpr std::string_view kIrLevelSwItems[] = {"POSI", "NEGA"};

// clang-format off
inline constexpr SettingEntry kIr = ChoiceSetting(kMaskGroup, "ir", "IR", {0x58, 0x00}, kOffOnItems).At(4).Control("IRL");
inline constexpr SettingEntry kIrSw = ChoiceSetting(kMaskGroup, "ir_sw", "SW", {0x58, 0x01}, kIrSwItems).At(5).Control("IRSW");
inline constexpr SettingEntry kIrLevelInt = ChoiceSetting(kMaskGroup, "ir_level_int", "LEVEL (INT)", {0x58, 0x02}, kIrLevelItems).At(6).Control("IRLevel");
inline constexpr SettingEntry kIrLevelExt = ChoiceSetting(kMaskGroup, "ir_level_ext", "LEVEL (EXT)", {0x58, 0x03}, kIrLevelItems).At(7).Control("IRLevel");
inline constexpr SettingEntry kIrLevelSw = ChoiceSetting(kMaskGroup, "ir_level_sw", "EXT LEVEL SW", {0x58, 0x04}, kIrLevelSwItems).At(8).Control("IRLevelSW");
// clang-format on

inline constexpr const SettingEntry* kIrSettings[] = {&kIr, &kIrSw, &kIrLevelInt, &kIrLevelExt,
                                                      &kIrLevelSw};

} // namespace r8::settings
