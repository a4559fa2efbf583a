// SPDX-License-Identifier: MIT
#include "CameraSettings.h"

#include <array>

namespace r8::sim {

namespace {

using G = SettingGroup;

constexpr std::array<SettingInfo, kSettingCount> kInfo = {{
    {0, 8, 4, G::User},             // Agc
    {0, 8, 0, G::User},             // Sens
    {0, 1, 0, G::User},             // Freeze
    {0, 1, 0, G::User},             // FieldFrame
    {0, 1, 0, G::User},             // Priority
    {0, 1, 0, G::User},             // WbMode
    {0, 8, 4, G::User},             // RGain
    {0, 8, 4, G::User},             // BGain
    {0, 8, 4, G::User},             // AtwLevel
    {0, 8, 4, G::User},             // AwbLevel
    {0, 12, 6, G::User},            // HGain
    {0, 12, 5, G::User},            // VGain
    {0, 1, 1, G::User},             // Peak
    {0, 8, 3, G::User},             // PeakLevel
    {0, 1, 0, G::User},             // Alc
    {0, 8, 4, G::User},             // AlcAuto
    {0, 8, 2, G::User},             // AlcFix
    {0, 1, 0, G::User},             // Aes
    {0, 8, 4, G::User},             // AesAuto
    {0, 7, 2, G::User},             // AesFix
    {0, 1, 0, G::User},             // Blc
    {0, 7, 3, G::User},             // BlcSens
    {0, 0xFFFF, 0x0000, G::User},   // BlcArea01
    {0, 0xFFFF, 0x3C3C, G::User},   // BlcArea23
    {0, 0xFFFF, 0x0000, G::User},   // BlcArea45
    {0, 1, 0, G::User},             // Preset
    {0, 1, 0, G::User},             // VRev
    {0, 1, 0, G::User},             // HRev
    {0, 1, 0, G::User},             // PosiNega
    {0, 1, 0, G::User},             // Gamma
    {0, 1, 1, G::User},             // Initial
    {0, 1, 1, G::User},             // Sync
    {-180, 180, 24, G::User},       // Phase
    {0, 1, 0, G::User},             // Mark
    {0, 255, 0x20, G::User},        // MarkX
    {0, 255, 0x10, G::User},        // MarkY
    {0, 1, 0, G::User},             // PushSw
    {0, 64, 1, G::User},            // AlarmNo
    {1, 64, 1, G::User},            // PositionNo
    {0, 4, 2, G::User},             // ZoomSpeed
    {0, 4, 2, G::User},             // FocusSpeed
    {0, 1, 0, G::User},             // DigitalZoom
    {0, 1, 0, G::User},             // AutoFocus
    {0, 1, 0, G::User},             // IrOn
    {0, 1, 0, G::User},             // IrSw
    {0, 17, 8, G::User},            // IrLevelInt
    {0, 17, 5, G::User},            // IrLevelExt
    {0, 1, 0, G::User},             // IrLevelSw
    {0, 1, 0, G::User},             // TitlePos
    {0, 0xFFFF, 0x5273, G::Adjust}, // Timing
    {0, 255, 0x80, G::Adjust},      // PwmRef
    {0, 1, 0, G::Adjust},           // ShutterSel
    {0, 1, 0, G::Adjust},           // SyncSel
    {0, 255, 0x40, G::Adjust},      // IrisBias
    {0, 1, 1, G::Defect},           // KizuAOn
    {0, 0x3FF, 0x013A, G::Defect},  // KizuAX
    {0, 0x1FF, 0x0064, G::Defect},  // KizuAY
    {0, 1, 0, G::Defect},           // KizuBcOn
    {0, 0x3FF, 0x0000, G::Defect},  // KizuBX
    {0, 0x1FF, 0x0000, G::Defect},  // KizuBY
    {0, 0x3FF, 0x0000, G::Defect},  // KizuCX
    {0, 0x1FF, 0x0000, G::Defect},  // KizuCY
    {0, 3, 0, G::Defect},           // KizuCursor
    {0, 3, 0, G::Defect},           // KfChange
    {0, 1, 0, G::Defect},           // AdjustSet
    {0, 8, 4, G::Defect},           // SensKf
    {0, 1, 0, G::Defect},           // SensUpKfOff
    {0, 1, 0, G::Defect},           // KfFix
    {0, 1, 0, G::Defect},           // KfRev
    {0, 1, 0, G::Mask},             // Mask1On
    {0, 0xFFFF, 0x1040, G::Mask},   // Mask1H
    {0, 0xFFFF, 0x2060, G::Mask},   // Mask1V
    {0, 1, 0, G::Mask},             // Mask2On
    {0, 0xFFFF, 0x80B0, G::Mask},   // Mask2H
    {0, 0xFFFF, 0x5090, G::Mask},   // Mask2V
    {0, 0xFFFF, 0x0000, G::Live},   // OsdWord
}};

static_assert(eep::kSettings + kSettingCount <= eep::kPreset);
static_assert(eep::kPreset + std::size(kPresetSettings) <= eep::kTitle);

} // namespace

const SettingInfo& InfoOf(Setting s) {
    return kInfo[IndexOf(s)];
}

uint16_t TitleCodeOf(uint8_t ch) {
    if (ch >= '0' && ch <= '9') return static_cast<uint16_t>(ch - '0');
    if (ch >= 'A' && ch <= 'Z') return static_cast<uint16_t>(0x10 + ch - 'A');
    if (ch >= 'a' && ch <= 'z') return static_cast<uint16_t>(0x30 + ch - 'a');
    switch (ch) {
    case ':':
        return 0x0100;
    case ';':
        return 0x0101;
    case '\'':
        return 0x0102;
    case '"':
        return 0x0103;
    case '.':
        return 0x0105;
    case ',':
        return 0x0106;
    case '<':
        return 0x0107;
    case '>':
        return 0x0108;
    case '(':
        return 0x0109;
    case ')':
        return 0x010A;
    case '[':
        return 0x010B;
    case ']':
        return 0x010C;
    case '{':
        return 0x010D;
    case '}':
        return 0x010E;
    case 0xA1:
        return 0x010F;
    case 0xA2:
        return 0x0110;
    case '/':
        return 0x0117;
    case '-':
        return 0x0120;
    case '*':
        return 0x0126;
    default:
        return kBlankCode;
    }
}

bool IsTitleCode(uint16_t code) {
    if (code <= 0x0009 || (code >= 0x0010 && code <= 0x0029) || (code >= 0x0030 && code <= 0x0049))
        return true;
    if (code >= 0x0100 && code <= 0x0110) return code != 0x0104;
    return code == 0x0117 || code == 0x0120 || code == 0x0126 || code == kBlankCode;
}

} // namespace r8::sim
