// SPDX-License-Identifier: MIT
#pragma once
// The plain settings of the "Adjust" tab. Its page load reads each with its own read, so none
// has a place in a block. Every write of this tab ends with 01 after the value.
#include "SettingEntry.h"

namespace r8::settings {

inline constexpr std::string_view kUseItems[] = {"Use", "No use"};

constexpr PageGroup kAdjust = kAdjustGroup;

// clang-format off
// RG width, SHD delay, SHP delay and RG delay, one hexadecimal digit each, in this order; the
// four edits of the "Delay" box show it.
inline constexpr SettingEntry kCcdTiming = HexWordSetting(kAdjust, "ccd_timing", "Delay", {0x42}, false).Then({0x01}).Control("Delay");
inline constexpr SettingEntry kDcLensOffset = HexByteSetting(kAdjust, "dc_lens_offset", "Offset", {0x43}).Then({0x01}).Control("pwm_ref");
inline constexpr SettingEntry kShutterDisplay = ChoiceSetting(kAdjust, "shutter_display", "Shutter", {0x37, 0x00}, kUseItems).Then({0x01}).Control("shut_disp_sel");
inline constexpr SettingEntry kSyncDisplay = ChoiceSetting(kAdjust, "sync_display", "EXT SYNC", {0x37, 0x01}, kUseItems).Then({0x01}).Control("sync_disp_sel");
// clang-format on

inline constexpr const SettingEntry* kAdjustSettings[] = {&kCcdTiming, &kDcLensOffset,
                                                          &kShutterDisplay, &kSyncDisplay};

} // namespace r8::settings
