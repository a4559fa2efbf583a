// SPDX-License-Identifier: MIT
#pragma once
// The plain settings of the "CCD Defect" tab: the KF options and the adjust mode. The tab's page
// load reads each with its own read. The defect positions, the correction switches (one command
// for A, another for B and C together), the cursor display and the searches are not plain.
#include "SettingEntry.h"

namespace r8::settings {

inline constexpr std::string_view kKfChangeItems[] = {"No", "KF_REV", "KF_FIX", "REV & FIX"};
inline constexpr std::string_view kNoYesItems[] = {"No", "Yes"};

constexpr PageGroup kDefect = kDefectGroup;

// clang-format off
inline constexpr SettingEntry kAdjustSet = ChoiceSetting(kDefect, "adjust_set", "Adjust Set", {0x36, 0x05}, kOffOnItems).Control("AdjustSet");
inline constexpr SettingEntry kKfChange = ChoiceSetting(kDefect, "kf_change", "KF Change", {0x36, 0x04}, kKfChangeItems).Control("VRevKFChange");
// The answer to the read carries the adjust parameters; the sensitivity is A9.
inline constexpr SettingEntry kKfSens = RangeSetting(kDefect, "kf_sens", "Sens", {0x36, 0x06}, 0, 8).At(9).Control("SensKFBar", "SensKFTimer");
inline constexpr SettingEntry kKfOff = ChoiceSetting(kDefect, "kf_off", "KF OFF", {0x36, 0x0B}, kNoYesItems).Control("SensUpKFOFF");
inline constexpr SettingEntry kKfFix = OnOffSetting(kDefect, "kf_fix", "KF_FIX", {0x36, 0x10}).Control("KFFX");
inline constexpr SettingEntry kKfRev = OnOffSetting(kDefect, "kf_rev", "KF_REV", {0x36, 0x11}).Control("KFRV");
// clang-format on

inline constexpr const SettingEntry* kDefectSettings[] = {&kAdjustSet, &kKfChange, &kKfSens,
                                                          &kKfOff,     &kKfFix,    &kKfRev};

} // namespace r8::settings
