// SPDX-License-Identifier: MIT
// Picture functions of the camera: title, BLC areas, white balance, phase, reversal, presets,
// exposure (PEAK, ALC, AES, IRIS adjustment), mark, privacy masks, IR, push switches, area
// samples and the factory adjustments.
#include "CameraModel.h"

#include <algorithm>

namespace r8::sim {

namespace {
constexpr uint8_t kWrite = 0x21;
constexpr int kMenuItems = 8;

Setting Row(int pair) {
    return static_cast<Setting>(IndexOf(Setting::BlcArea01) + static_cast<size_t>(pair));
}
} // namespace

CameraModel::Reply CameraModel::Title(const Payload& p) {
    if (p[2] != 0x01 || p[3] > 3) return Answer(p, kBadParameter);
    const int block = p[3];
    if (p[0] == kWrite)
        for (int i = 0; i < 5; ++i) {
            auto code = static_cast<uint16_t>(WordAt(p, 5 + 2 * i));
            title_[5 * block + i] = IsTitleCode(code) ? code : kBlankCode;
            eeprom_[eep::kTitle + 5 * block + i] = title_[5 * block + i];
        }
    Answer a(p);
    a.A(4, block);
    for (int i = 0; i < 5; ++i)
        a.Word(5 + 2 * i, title_[5 * block + i]);
    return a;
}

std::array<uint8_t, 6> CameraModel::BlcRows() const {
    std::array<uint8_t, 6> rows{};
    for (int pair = 0; pair < 3; ++pair) {
        rows[2 * pair] = static_cast<uint8_t>(Get(Row(pair)));
        rows[2 * pair + 1] = static_cast<uint8_t>(Get(Row(pair)) >> 8);
    }
    return rows;
}

CameraModel::Reply CameraModel::BlcAreas(const Payload& p) {
    if (p[0] == kWrite)
        for (int pair = 0; pair < 3; ++pair)
            Set(Row(pair), p[2 + 2 * pair] | p[3 + 2 * pair] << 8);
    Answer a(p);
    auto rows = BlcRows();
    for (int r = 0; r < 6; ++r)
        a.A(3 + r, rows[r]);
    return a;
}

// "Enter" of the automatic white balance: the camera measures for two more answers, then
// settles the gains and reports 0.
CameraModel::Reply CameraModel::AutoWhite(const Payload& p) {
    if (p[2] != 0x04) return Answer(p, kBadParameter);
    if (p[0] == kWrite) {
        awbSteps_ = Get(Setting::WbMode) == 1 ? 2 : 0;
    } else if (awbSteps_ > 0 && --awbSteps_ == 0) {
        Set(Setting::RGain, 5);
        Set(Setting::BGain, 3);
        Set(Setting::AwbLevel, 4);
    }
    return Answer(p).A(4, awbSteps_ > 0 ? 1 : 0);
}

CameraModel::Reply CameraModel::Phase(const Payload& p) {
    if (p[2] == 0x00) {
        if (p[0] == kWrite && !SetChecked(Setting::Sync, p[3])) return Answer(p, kBadParameter);
        return Answer(p).A(4, Get(Setting::Sync)).Word(5, kPhaseMax).Word(7, kPhaseMin);
    }
    if (p[2] != 0x01) return Answer(p, kBadParameter);
    if (p[0] == kWrite) {
        int phase = static_cast<int16_t>(WordAt(p, 4));
        if (phase < kPhaseMin || phase > kPhaseMax) return Answer(p, kBadParameter);
        Set(Setting::Phase, phase);
    }
    return Answer(p).Word(4, Get(Setting::Phase));
}

CameraModel::Reply CameraModel::ReversalSave(const Payload& p) {
    if (p[2] != 0x06) return Answer(p, kBadParameter);
    if (p[0] == kWrite) {
        StoreSetting(Setting::VRev);
        StoreSetting(Setting::HRev);
    }
    return Answer(p).A(4, Get(Setting::VRev)).A(5, Get(Setting::HRev));
}

CameraModel::Reply CameraModel::Save(const Payload& p) {
    if (p[0] != kWrite) return Answer(p, kUnknownCommand);
    StoreSettings(SettingGroup::User);
    return Answer(p);
}

// 21 20 00 ("Enter", recall) is handled before dispatch: it has no answer frame.
CameraModel::Reply CameraModel::Preset(const Payload& p) {
    if (p[0] == kWrite) {
        if (p[2] == 0x01) {
            for (size_t i = 0; i < std::size(kPresetSettings); ++i)
                eeprom_[eep::kPreset + i] = static_cast<uint16_t>(Get(kPresetSettings[i]));
        } else if (p[2] != 0x02 || !SetChecked(Setting::Preset, p[3])) {
            return Answer(p, kBadParameter);
        }
    }
    return Answer(p).A(4, Get(Setting::Preset));
}

CameraModel::Reply CameraModel::AtwPreset(const Payload& p) {
    if (p[0] != kWrite) return Answer(p, kUnknownCommand);
    if (p[2] > 1) return Answer(p, kBadParameter);
    const bool k3200 = p[2] == 0;
    Set(Setting::RGain, k3200 ? 2 : 5);
    Set(Setting::BGain, k3200 ? 6 : 3);
    return Answer(p).A(4, Get(Setting::RGain)).A(5, Get(Setting::BGain));
}

// The push switches walk the camera's on-screen menu: 1 Enter opens it, 2 Down and 3 Up move
// the cursor, 0 Pre closes it.
CameraModel::Reply CameraModel::PushSwitch(const Payload& p) {
    if (p[0] != kWrite) return Answer(p, kUnknownCommand);
    switch (p[2]) {
    case 0:
        menuOpen_ = false;
        break;
    case 1:
        if (!menuOpen_) menuItem_ = 0;
        menuOpen_ = true;
        break;
    case 2:
        menuItem_ = (menuItem_ + 1) % kMenuItems;
        break;
    case 3:
        menuItem_ = (menuItem_ + kMenuItems - 1) % kMenuItems;
        break;
    default:
        return Answer(p, kBadParameter);
    }
    return Answer(p).A(4, menuOpen_ ? 1 : 0).A(5, menuItem_);
}

// Mean level of area i of the 8 x 6 grid: a dim scene with a bright window, raised by the AGC
// and the iris bias.
uint16_t CameraModel::AreaSample(int i) const {
    const int row = i / 8, col = i % 8;
    int level = (row == 1 && col >= 5 && col <= 6) ? 0x0C00 : 0x0180 + 0x30 * col + 0x50 * row;
    level = level * (16 + 2 * Get(Setting::Agc)) / 16 + 2 * (Get(Setting::IrisBias) - 0x40);
    return static_cast<uint16_t>(std::clamp(level, 0, 0x0FFF));
}

CameraModel::Reply CameraModel::AreaSamples(const Payload& p) {
    if (p[0] == kWrite) return Answer(p, kUnknownCommand);
    if (p[2] >= kAreaCount) return Answer(p, kBadParameter);
    return Answer(p).Word(4, AreaSample(p[2]));
}

CameraModel::Reply CameraModel::KeepAdjust(const Payload& p) {
    if (p[0] != kWrite) return Answer(p, kUnknownCommand);
    if (p[2] > 1) return Answer(p, kBadParameter);
    for (uint8_t r = 0x2B; r <= 0x2F; ++r) {
        if (p[2] == 0)
            eeprom_[r] = registers_[r];
        else
            registers_[r] = eeprom_[r];
    }
    if (p[2] == 0)
        StoreSettings(SettingGroup::Adjust);
    else
        RestoreSettings(SettingGroup::Adjust);
    return Answer(p).A(4, p[3]);
}

CameraModel::Reply CameraModel::Timing(const Payload& p) {
    if (p[0] == kWrite) Set(Setting::Timing, WordAt(p, 3));
    return Answer(p).Word(3, Get(Setting::Timing));
}

// Item 0 PEAK, 1 ALC, 2 AES: P4 = 0 switches the function (value in P5); P4 = 1 sets a level
// (PEAK: value in P5; ALC and AES: P5 picks the auto (0) or fixed (1) value, P6 the value).
// Item 3 starts (P4 = 0) or ends (P4 = 1) the IRIS adjustment.
CameraModel::Reply CameraModel::Exposure(const Payload& p) {
    const bool write = p[0] == kWrite;
    const uint8_t item = p[2], sub = p[3];
    if (item == 3) {
        if (write) {
            if (sub > 1) return Answer(p, kBadParameter);
            irisAdjusting_ = sub == 0;
        }
        return Answer(p).A(4, irisAdjusting_ ? 0 : 1);
    }
    static constexpr Setting kSwitch[] = {Setting::Peak, Setting::Alc, Setting::Aes};
    static constexpr Setting kAuto[] = {Setting::PeakLevel, Setting::AlcAuto, Setting::AesAuto};
    static constexpr Setting kFixed[] = {Setting::PeakLevel, Setting::AlcFix, Setting::AesFix};
    if (item > 2 || sub > 1) return Answer(p, kBadParameter);
    if (sub == 0) {
        if (write && !SetChecked(kSwitch[item], p[4])) return Answer(p, kBadParameter);
        return Answer(p).A(4, 0).A(5, Get(kSwitch[item]));
    }
    if (item == 0) {
        if (write && !SetChecked(Setting::PeakLevel, p[4])) return Answer(p, kBadParameter);
        return Answer(p).A(4, 1).A(5, Get(Setting::PeakLevel));
    }
    const uint8_t which = p[4];
    if (which > 1) return Answer(p, kBadParameter);
    const Setting s = which == 0 ? kAuto[item] : kFixed[item];
    if (write && !SetChecked(s, p[5])) return Answer(p, kBadParameter);
    return Answer(p).A(4, 1).A(5, which).A(6, Get(s));
}

std::array<uint8_t, 6> CameraModel::MarkLimits() const {
    return {static_cast<uint8_t>(Get(Setting::MarkX)),
            static_cast<uint8_t>(Get(Setting::MarkY)),
            0x04,
            static_cast<uint8_t>(id_.hiRes ? 0x3C : 0x2A),
            0x02,
            static_cast<uint8_t>(id_.ntsc ? 0x1A : 0x20)};
}

Payload CameraModel::MarkAnswer(const Payload& p) const {
    Answer a(p);
    auto limits = MarkLimits();
    for (int i = 0; i < 6; ++i)
        a.A(4 + i, limits[i]);
    return a;
}

// The mark never leaves its limits, whatever the EEPROM or a move asks for.
void CameraModel::ClampMark() {
    auto limits = MarkLimits();
    auto& v = live_;
    v[IndexOf(Setting::MarkX)] = std::clamp<int>(v[IndexOf(Setting::MarkX)], limits[2], limits[3]);
    v[IndexOf(Setting::MarkY)] = std::clamp<int>(v[IndexOf(Setting::MarkY)], limits[4], limits[5]);
}

// A move goes as far as the limits allow; the answer tells where the mark stopped.
CameraModel::Reply CameraModel::MarkPosition(const Payload& p) {
    if (p[2] != 0x01) return Answer(p, kBadParameter);
    if (p[0] == kWrite) {
        Set(Setting::MarkX, p[3]);
        Set(Setting::MarkY, p[4]);
        ClampMark();
    }
    return MarkAnswer(p);
}

// P3 mask, P4 on, P5 also keep in EEPROM, P6..P9 H start, H end, V start, V end (switching a
// mask off keeps its rectangle).
CameraModel::Reply CameraModel::Masks(const Payload& p) {
    const int n = p[2];
    if (n > 1) return Answer(p, kBadParameter);
    const Setting on = n == 0 ? Setting::Mask1On : Setting::Mask2On;
    const Setting h = n == 0 ? Setting::Mask1H : Setting::Mask2H;
    const Setting v = n == 0 ? Setting::Mask1V : Setting::Mask2V;
    if (p[0] == kWrite) {
        if (p[3] > 1) return Answer(p, kBadParameter);
        Set(on, p[3]);
        if (p[3] == 1) {
            Set(h, WordAt(p, 6));
            Set(v, WordAt(p, 8));
        }
        if (p[4] == 1) StoreMask(n);
    }
    MaskRect r = Mask(n);
    return Answer(p)
        .A(4, r.on)
        .A(5, p[0] == kWrite ? p[4] : 0)
        .A(6, r.hs)
        .A(7, r.he)
        .A(8, r.vs)
        .A(9, r.ve);
}

Payload CameraModel::IrAnswer(const Payload& p) const {
    return Answer(p)
        .A(4, Get(Setting::IrOn))
        .A(5, Get(Setting::IrSw))
        .A(6, Get(Setting::IrLevelInt))
        .A(7, Get(Setting::IrLevelExt))
        .A(8, Get(Setting::IrLevelSw));
}

// Items 0 IR on, 1 switch source, 2 internal level, 3 external level, 4 external level switch.
// Every answer carries all five.
CameraModel::Reply CameraModel::Ir(const Payload& p) {
    static constexpr Setting kItems[] = {Setting::IrOn, Setting::IrSw, Setting::IrLevelInt,
                                         Setting::IrLevelExt, Setting::IrLevelSw};
    if (p[2] > 4) return Answer(p, kBadParameter);
    if (p[0] == kWrite && !SetChecked(kItems[p[2]], p[3])) return Answer(p, kBadParameter);
    return IrAnswer(p);
}

} // namespace r8::sim
