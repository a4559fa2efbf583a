// SPDX-License-Identifier: MIT
#pragma once
// The camera's user and adjustment settings and where its EEPROM keeps them.
#include <cstddef>
#include <cstdint>

namespace r8::sim {

// One live value each; setting s is stored in EEPROM word eep::kSettings + s.
enum class Setting : uint8_t {
    Agc,
    Sens,
    Freeze,
    FieldFrame,
    Priority,
    WbMode,
    RGain,
    BGain,
    AtwLevel,
    AwbLevel,
    HGain,
    VGain,
    Peak,
    PeakLevel,
    Alc,
    AlcAuto,
    AlcFix,
    Aes,
    AesAuto,
    AesFix,
    Blc,
    BlcSens,
    BlcArea01, // area rows 0 (bits 7-0) and 1 (bits 15-8)
    BlcArea23,
    BlcArea45,
    Preset,
    VRev,
    HRev,
    PosiNega,
    Gamma,
    Initial,
    Sync,
    Phase, // signed
    Mark,
    MarkX,
    MarkY,
    PushSw,
    AlarmNo,
    PositionNo,
    ZoomSpeed,
    FocusSpeed,
    DigitalZoom,
    AutoFocus,
    IrOn,
    IrSw,
    IrLevelInt,
    IrLevelExt,
    IrLevelSw,
    TitlePos,
    Timing, // RG width, SHD delay, SHP delay, RG delay: one nibble each, bits 15-0
    PwmRef,
    ShutterSel,
    SyncSel,
    IrisBias,
    KizuAOn,
    KizuAX,
    KizuAY,
    KizuBcOn,
    KizuBX,
    KizuBY,
    KizuCX,
    KizuCY,
    KizuCursor, // 0 none, 1 A, 2 B, 3 C
    KfChange,
    AdjustSet,
    SensKf,
    SensUpKfOff,
    KfFix,
    KfRev,
    Mask1On,
    Mask1H, // H start bits 15-8, H end bits 7-0
    Mask1V, // V start bits 15-8, V end bits 7-0
    Mask2On,
    Mask2H,
    Mask2V,
    OsdWord,
    Count
};

constexpr size_t kSettingCount = static_cast<size_t>(Setting::Count);

// Which store command keeps a setting in EEPROM (and which restore brings it back).
enum class SettingGroup : uint8_t { User, Adjust, Defect, Mask, Live };

struct SettingInfo {
    int min;
    int max;
    int initial; // value of the factory EEPROM image
    SettingGroup group;
};

const SettingInfo& InfoOf(Setting s);

// The camera's character codes for the title; characters without a code show as the blank.
constexpr uint16_t kBlankCode = 0x01FE;
uint16_t TitleCodeOf(uint8_t ch);
bool IsTitleCode(uint16_t code);
constexpr size_t IndexOf(Setting s) {
    return static_cast<size_t>(s);
}

namespace eep {
constexpr uint16_t kWords = 1024;
constexpr uint16_t kResolutionWord = 0x001; // register 1: bit 14 set = high resolution
constexpr uint16_t kTvWord = 0x040;         // register 0x40: bit 0 set = PAL
constexpr uint16_t kRegisterWords = 0x100;  // register k (0..255) is word k
constexpr uint16_t kWbLock = 0x151;         // camera register 0x0151: 0x0100 and up lock the WB
constexpr uint16_t kSettings = 0x160;       // Setting s at kSettings + s
constexpr uint16_t kPreset = 0x1B0;         // the preset's picture values
constexpr uint16_t kTitle = 0x1C0;          // 20 character codes
constexpr uint16_t kPositions = 0x300;      // lens position p (1..64): zoom, focus at 2(p-1)
constexpr int kTitleLength = 20;
constexpr int kPositionCount = 64;
} // namespace eep

// The settings that the preset stores and recalls.
inline constexpr Setting kPresetSettings[] = {
    Setting::Agc,      Setting::Sens,     Setting::WbMode, Setting::RGain,   Setting::BGain,
    Setting::AtwLevel, Setting::AwbLevel, Setting::HGain,  Setting::VGain,   Setting::PeakLevel,
    Setting::AlcAuto,  Setting::AesAuto,  Setting::Gamma,  Setting::BlcSens,
};

} // namespace r8::sim
