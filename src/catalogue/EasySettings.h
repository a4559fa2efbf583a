// SPDX-License-Identifier: MIT
#pragma once
// The plain settings of the "Easy" tab. inPage is the setting's byte in the Easy blocks (answer
// group 0x60, item = block number) that the tab's page load reads.
#include "EasyPage.h"
#include "SettingEntry.h"

#include <array>
#include <iterator>
#include <span>

namespace r8::settings {

inline constexpr std::string_view kPriorityItems[] = {"AGC", "SENS"};
inline constexpr std::string_view kWbItems[] = {"ATW", "AWB"};
inline constexpr std::string_view kShutterItems[] = {
    "OFF", "1/100 or 1/120", "1/250", "1/500", "1/1000", "1/2000", "1/4000", "1/10000"};
inline constexpr std::string_view kPosiNegaItems[] = {"Posi", "Nega"};
inline constexpr std::string_view kFieldFrameItems[] = {"Field", "Frame"};
inline constexpr std::string_view kGammaItems[] = {"0.45", "1.0"};
inline constexpr std::string_view kPushSwItems[] = {"Alarm", "Freeze"};
inline constexpr std::string_view kTitlePosItems[] = {"Up", "Down"};

constexpr PageGroup kEasy = kEasyGroup;
constexpr uint8_t kBlock = kEasyBlock;

// clang-format off
// Picture functions.
inline constexpr SettingEntry kAgc = RangeSetting(kEasy, "agc", "AGC", {0x1A, 0x01}, 0, 8).InPage(kBlock, 5, 12).Control("AGCBar", "AGCTimer");
inline constexpr SettingEntry kSens = RangeSetting(kEasy, "sens", "Sens", {0x1A, 0x02}, 0, 8).InPage(kBlock, 5, 13).Control("SENSBar", "SENSTimer");
inline constexpr SettingEntry kPriority = ChoiceSetting(kEasy, "priority", "Priority", {0x1A, 0x05}, kPriorityItems).InPage(kBlock, 8, 12).PageOnly().Control("Priority");
inline constexpr SettingEntry kPhase = ChoiceSetting(kEasy, "phase", "Phase", {0x1C, 0x00}, kOffOnItems).InPage(kBlock, 5, 4).Control("Sync");
inline constexpr SettingEntry kPhaseLevel = HexWordSetting(kEasy, "phase_level", "Phase level", {0x1C, 0x01}, true).InPage(kBlock, 5, 9).CameraRange({0x1C, 0x00}, 5, 7).Control("PhaseLevel");
inline constexpr SettingEntry kWhiteBalance = ChoiceSetting(kEasy, "white_balance", "WB", {0x1B, 0x00}, kWbItems).InPage(kBlock, 4, 10).Control("wb_select");
inline constexpr SettingEntry kAtwLevel = RangeSetting(kEasy, "atw_level", "ATW", {0x1B, 0x05}, 0, 8).InPage(kBlock, 4, 11).Control("ATWBar", "ATWBarTimer");
inline constexpr SettingEntry kAwbLevel = RangeSetting(kEasy, "awb_level", "AWB", {0x1B, 0x06}, 0, 8).InPage(kBlock, 4, 12).Control("AWBBar", "AWBBarTimer");
inline constexpr SettingEntry kRGain = RangeSetting(kEasy, "r_gain", "R-Y", {0x1B, 0x02}, 0, 8).InPage(kBlock, 4, 13).Control("Rgain", "RTimer");
inline constexpr SettingEntry kBGain = RangeSetting(kEasy, "b_gain", "B-Y", {0x1B, 0x03}, 0, 8).InPage(kBlock, 4, 14).Control("BGain", "BTimer");
inline constexpr SettingEntry kHGain = RangeSetting(kEasy, "h_gain", "H-GAIN", {0x47, 0x00}, 0, 12).InPage(kBlock, 6, 12).Control("HGainBar", "HGainTimer");
inline constexpr SettingEntry kVGain = RangeSetting(kEasy, "v_gain", "V-GAIN", {0x47, 0x01}, 0, 12).InPage(kBlock, 6, 13).Control("VGainBar", "VGainTimer");
inline constexpr SettingEntry kPeak = ChoiceSetting(kEasy, "peak", "PEAK", {0x48, 0x00, 0x00}, kOffOnItems).InPage(kBlock, 6, 4).Control("PEAK");
inline constexpr SettingEntry kPeakLevel = RangeSetting(kEasy, "peak_level", "PEAK level", {0x48, 0x00, 0x01}, 0, 8).InPage(kBlock, 6, 5).Control("PeakOnBar", "PeakOnTimer");
inline constexpr SettingEntry kAlc = ChoiceSetting(kEasy, "alc", "ALC", {0x48, 0x01, 0x00}, kAutoFixItems).InPage(kBlock, 6, 6).Control("ALC");
inline constexpr SettingEntry kAlcAuto = RangeSetting(kEasy, "alc_auto", "ALC AUTO", {0x48, 0x01, 0x01, 0x00}, 0, 8).InPage(kBlock, 6, 7).Control("ALCAutoBar", "ALCAutoTimer");
inline constexpr SettingEntry kAlcFixed = RangeSetting(kEasy, "alc_fixed", "ALC FIX", {0x48, 0x01, 0x01, 0x01}, 0, 8).InPage(kBlock, 6, 8).Control("ALCFixBar", "ALCFixTimer");
inline constexpr SettingEntry kAes = ChoiceSetting(kEasy, "aes", "AES", {0x48, 0x02, 0x00}, kAutoFixItems).InPage(kBlock, 6, 9).Control("AES");
inline constexpr SettingEntry kAesAuto = RangeSetting(kEasy, "aes_auto", "AES AUTO", {0x48, 0x02, 0x01, 0x00}, 0, 8).InPage(kBlock, 6, 10).Control("AESAutoBar", "AESAutoTimer");
inline constexpr SettingEntry kShutterFixed = ChoiceSetting(kEasy, "shutter_fixed", "AES FIX", {0x48, 0x02, 0x01, 0x01}, kShutterItems).InPage(kBlock, 6, 11).Control("AESFixBox");
inline constexpr SettingEntry kBlc = ChoiceSetting(kEasy, "blc", "BLC", {0x18, 0x00}, kOffOnItems).InPage(kBlock, 3, 15).Control("BLC");
inline constexpr SettingEntry kBlcSens = RangeSetting(kEasy, "blc_sens", "BLC Sens", {0x50}, 0, 7).InPage(kBlock, 5, 11).Control("BLCSensBar", "BLCSensTimer");
inline constexpr SettingEntry kPreset = ChoiceSetting(kEasy, "preset", "Preset", {0x20, 0x02}, kOffOnItems).InPage(kBlock, 8, 8).Control("Preset");
inline constexpr SettingEntry kHRev = OnOffSetting(kEasy, "h_rev", "HRev", {0x1D, 0x05}).InPage(kBlock, 2, 15).Control("HRev");
inline constexpr SettingEntry kVRev = OnOffSetting(kEasy, "v_rev", "VRev", {0x1D, 0x04}).InPage(kBlock, 2, 14).Control("VRev");
inline constexpr SettingEntry kFreeze = ChoiceSetting(kEasy, "freeze", "Freeze", {0x1A, 0x03}, kOffOnItems).InPage(kBlock, 5, 14).Control("Freeze");
inline constexpr SettingEntry kInitial = ChoiceSetting(kEasy, "initial", "Initial", {0x49}, kOffOnItems).InPage(kBlock, 5, 15).Control("Initial");
inline constexpr SettingEntry kPosiNega = ChoiceSetting(kEasy, "posi_nega", "Posi / Nega", {0x1D, 0x07}, kPosiNegaItems).InPage(kBlock, 8, 11).Control("PosiNega");
inline constexpr SettingEntry kFieldFrame = ChoiceSetting(kEasy, "field_frame", "Select", {0x1A, 0x04}, kFieldFrameItems).InPage(kBlock, 8, 10).Control("Select");
inline constexpr SettingEntry kGamma = ChoiceSetting(kEasy, "gamma", "Gamma", {0x59, 0x00}, kGammaItems).InPage(kBlock, 9, 11).PageOnly().Control("Gamma");
// Lens control.
inline constexpr SettingEntry kDigitalZoom = ChoiceSetting(kEasy, "digital_zoom", "Digital Zoom", {0x45, 0x06}, kOffOnItems).InPage(kBlock, 6, 15).Control("DigitalZoom");
inline constexpr SettingEntry kZoomSpeed = RangeSetting(kEasy, "zoom_speed", "ZoomSpeed", {0x45, 0x05}, 0, 4).InPage(kBlock, 8, 5).Control("ZoomSpeedBar", "ZoomSpeedTimer");
inline constexpr SettingEntry kFocusSpeed = RangeSetting(kEasy, "focus_speed", "FocusSpeed", {0x45, 0x07}, 0, 4).InPage(kBlock, 8, 6).Control("FocusSpeedBar", "FocusSpeedTimer");
inline constexpr SettingEntry kAutoFocus = OnOffSetting(kEasy, "auto_focus", "AutoFocus", {0x45, 0x02}).InPage(kBlock, 8, 4).Control("AutoFocus");
inline constexpr SettingEntry kPushSw = ChoiceSetting(kEasy, "push_sw", "Push SW", {0x52, 0x02}, kPushSwItems).InPage(kBlock, 8, 9).Control("PushSW");
inline constexpr SettingEntry kAlarmNo = RangeSetting(kEasy, "alarm_no", "Alarm", {0x51}, 0, 64).InPage(kBlock, 6, 14).Control("AlarmNo");
// Title position and mark.
inline constexpr SettingEntry kTitlePosition = ChoiceSetting(kEasy, "title_position", "Title", {0x10, 0x03}, kTitlePosItems).InPage(kBlock, 3, 14).Control("Ctitlepos");
inline constexpr SettingEntry kMark = ChoiceSetting(kEasy, "mark", "Mark", {0x56, 0x00}, kOffOnItems).InPage(kBlock, 9, 4).Control("Mark");
// clang-format on

// The tab's three parts bind their own controls, each from its table; together, in the order of
// the tab: picture functions, lens control, title and mark.
inline constexpr const SettingEntry* kEasyPictureSettings[] = {
    &kAgc,      &kSens,         &kPriority, &kPhase,    &kPhaseLevel, &kWhiteBalance,
    &kAtwLevel, &kAwbLevel,     &kRGain,    &kBGain,    &kHGain,      &kVGain,
    &kPeak,     &kPeakLevel,    &kAlc,      &kAlcAuto,  &kAlcFixed,   &kAes,
    &kAesAuto,  &kShutterFixed, &kBlc,      &kBlcSens,  &kPreset,     &kHRev,
    &kVRev,     &kFreeze,       &kInitial,  &kPosiNega, &kFieldFrame, &kGamma,
};
inline constexpr const SettingEntry* kEasyLensSettings[] = {
    &kDigitalZoom, &kZoomSpeed, &kFocusSpeed, &kAutoFocus, &kPushSw, &kAlarmNo,
};
inline constexpr const SettingEntry* kEasyTitleSettings[] = {&kTitlePosition, &kMark};

inline constexpr auto kEasySettings = [] {
    std::array<const SettingEntry*, std::size(kEasyPictureSettings) + std::size(kEasyLensSettings) +
                                        std::size(kEasyTitleSettings)>
        all{};
    size_t i = 0;
    for (auto part : {std::span<const SettingEntry* const>(kEasyPictureSettings),
                      std::span<const SettingEntry* const>(kEasyLensSettings),
                      std::span<const SettingEntry* const>(kEasyTitleSettings)})
        for (const SettingEntry* e : part)
            all[i++] = e;
    return all;
}();

} // namespace r8::settings
