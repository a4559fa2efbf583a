// SPDX-License-Identifier: MIT
#include "CameraModel.h"

#include <algorithm>

namespace r8::sim {

namespace {

// Functions whose items each carry one setting in A4 (P4 when written).
struct ItemSetting {
    uint8_t function;
    uint8_t item;
    Setting setting;
};

constexpr ItemSetting kItemSettings[] = {
    {0x10, 0x03, Setting::TitlePos},    {0x18, 0x00, Setting::Blc},
    {0x1A, 0x01, Setting::Agc},         {0x1A, 0x02, Setting::Sens},
    {0x1A, 0x03, Setting::Freeze},      {0x1A, 0x04, Setting::FieldFrame},
    {0x1A, 0x05, Setting::Priority},    {0x1B, 0x00, Setting::WbMode},
    {0x1B, 0x02, Setting::RGain},       {0x1B, 0x03, Setting::BGain},
    {0x1B, 0x05, Setting::AtwLevel},    {0x1B, 0x06, Setting::AwbLevel},
    {0x1D, 0x04, Setting::VRev},        {0x1D, 0x05, Setting::HRev},
    {0x1D, 0x07, Setting::PosiNega},    {0x36, 0x04, Setting::KfChange},
    {0x36, 0x05, Setting::AdjustSet},   {0x36, 0x07, Setting::KizuAOn},
    {0x36, 0x0B, Setting::SensUpKfOff}, {0x36, 0x10, Setting::KfFix},
    {0x36, 0x11, Setting::KfRev},       {0x36, 0x14, Setting::KizuBcOn},
    {0x37, 0x00, Setting::ShutterSel},  {0x37, 0x01, Setting::SyncSel},
    {0x45, 0x02, Setting::AutoFocus},   {0x45, 0x05, Setting::ZoomSpeed},
    {0x45, 0x06, Setting::DigitalZoom}, {0x45, 0x07, Setting::FocusSpeed},
    {0x47, 0x00, Setting::HGain},       {0x47, 0x01, Setting::VGain},
    {0x52, 0x00, Setting::PositionNo},  {0x52, 0x02, Setting::PushSw},
    {0x56, 0x00, Setting::Mark},        {0x59, 0x00, Setting::Gamma},
};

// Functions without items: the setting travels in A3 (P3 when written).
struct PlainSetting {
    uint8_t function;
    Setting setting;
};

constexpr PlainSetting kPlainSettings[] = {
    {0x43, Setting::PwmRef},  {0x49, Setting::Initial},  {0x50, Setting::BlcSens},
    {0x51, Setting::AlarmNo}, {0x53, Setting::IrisBias},
};

constexpr uint8_t kRead = 0x31, kWrite = 0x21, kReset = 0xF1;

int FromStored(Setting s, uint16_t word) {
    return InfoOf(s).min < 0 ? static_cast<int16_t>(word) : word;
}

} // namespace

CameraModel::CameraModel(CameraIdentity id) : CameraModel(id, FactoryEeprom(id)) {}

CameraModel::CameraModel(CameraIdentity id, const EepromImage& image) : id_(id), eeprom_(image) {
    Reset();
    lens_.zoomTarget = lens_.zoomCurrent = 0x1200;
    lens_.focusTarget = lens_.focusCurrent = FocusSharp();
}

void CameraModel::Reset() {
    for (size_t r = 0; r < registers_.size(); ++r)
        registers_[r] = eeprom_[r];
    registers_[eep::kResolutionWord] =
        WithResolutionBit(registers_[eep::kResolutionWord], id_.hiRes);
    registers_[eep::kTvWord] = WithTvBit(registers_[eep::kTvWord], id_.ntsc);
    for (size_t s = 0; s < kSettingCount; ++s)
        LoadSetting(static_cast<Setting>(s));
    ClampMark();
    for (int i = 0; i < eep::kTitleLength; ++i)
        title_[i] = IsTitleCode(eeprom_[eep::kTitle + i]) ? eeprom_[eep::kTitle + i] : kBlankCode;
    for (size_t i = 0; i < ram_.size(); ++i) {
        uint32_t a = kRamBase + static_cast<uint32_t>(i);
        ram_[i] = static_cast<uint8_t>((a ^ (a >> 8)) * 7);
    }
    for (size_t k = 0; k < eeprom_.size(); ++k) {
        ram_[kRamEepromCopy - kRamBase + 2 * k] = static_cast<uint8_t>(eeprom_[k] >> 8);
        ram_[kRamEepromCopy - kRamBase + 2 * k + 1] = static_cast<uint8_t>(eeprom_[k]);
    }
    awbSteps_ = 0;
    afSearching_ = false;
    lensAdjustSteps_ = 0;
    lensAdjusting_ = false;
    irisAdjusting_ = false;
    menuOpen_ = false;
    menuItem_ = 0;
    blockTaken_ = false;
    ClampLens();
}

std::optional<Payload> CameraModel::Command(const Payload& p) {
    bool afterBlock = blockTaken_;
    blockTaken_ = false;
    if (p[0] == kReset) {
        Reset();
        if (!afterBlock) return std::nullopt;
        return Answer(p);
    }
    if (p[0] != kRead && p[0] != kWrite) return Answer(p, kUnknownCommand);
    if (p[0] == kWrite && p[1] == 0x20 && p[2] == 0x00) {
        // Preset "Enter": recall the preset's picture values while the preset is on.
        if (Get(Setting::Preset) == 1)
            for (size_t i = 0; i < std::size(kPresetSettings); ++i)
                Set(kPresetSettings[i], FromStored(kPresetSettings[i], eeprom_[eep::kPreset + i]));
        return std::nullopt;
    }
    return Dispatch(p);
}

Payload CameraModel::Block(uint8_t kind, const uint8_t* data, size_t count) {
    size_t words = std::min(count / 2, eeprom_.size());
    for (size_t k = 0; k < words; ++k)
        eeprom_[k] = static_cast<uint16_t>(data[2 * k] | data[2 * k + 1] << 8);
    blockTaken_ = true;
    Payload none{};
    return Answer(none).A(2, kind).Word(3, static_cast<int>(words));
}

CameraModel::Reply CameraModel::Dispatch(const Payload& p) {
    const uint8_t function = p[1];
    for (const auto& e : kItemSettings)
        if (e.function == function && e.item == p[2])
            return p[0] == kRead ? ReadSetting(p, e.setting, 4) : WriteSetting(p, e.setting, 4);
    for (const auto& e : kPlainSettings)
        if (e.function == function)
            return p[0] == kRead ? ReadSetting(p, e.setting, 3) : WriteSetting(p, e.setting, 3);
    switch (function) {
    case 0x0A:
    case 0x0B:
        return Registers(p);
    case 0x0C:
    case 0x0F:
        return EepromAccess(p);
    case 0x0D:
        return RamAccess(p);
    case 0x0E:
        return Osd(p);
    case 0x10:
        return Title(p);
    case 0x19:
        return BlcAreas(p);
    case 0x1B:
        return AutoWhite(p);
    case 0x1C:
        return Phase(p);
    case 0x1D:
        return ReversalSave(p);
    case 0x1E:
        return Save(p);
    case 0x20:
        return Preset(p);
    case 0x30:
        return AtwPreset(p);
    case 0x32:
        return PushSwitch(p);
    case 0x35:
        return AreaSamples(p);
    case 0x36:
        return Defect(p);
    case 0x41:
        return KeepAdjust(p);
    case 0x42:
        return Timing(p);
    case 0x45:
        return LensCommand(p);
    case 0x46:
        return LensAdjustStep(p);
    case 0x48:
        return Exposure(p);
    case 0x52:
        return Position(p);
    case 0x56:
        return MarkPosition(p);
    case 0x57:
        return Masks(p);
    case 0x58:
        return Ir(p);
    case 0x60:
        return EasyPage(p);
    case 0x18:
    case 0x1A:
    case 0x37:
    case 0x47:
    case 0x59:
        return Answer(p, kBadParameter); // a function with items, but not this item
    default:
        return Answer(p, kUnknownCommand);
    }
}

CameraModel::Reply CameraModel::ReadSetting(const Payload& p, Setting s, int at) {
    return Answer(p).A(at, Get(s));
}

CameraModel::Reply CameraModel::WriteSetting(const Payload& p, Setting s, int at) {
    if (!SetChecked(s, p[at - 1])) return Answer(p, kBadParameter);
    return Answer(p).A(at, Get(s));
}

bool CameraModel::SetChecked(Setting s, int value) {
    const SettingInfo& info = InfoOf(s);
    if (value < info.min || value > info.max) return false;
    Set(s, value);
    return true;
}

void CameraModel::Set(Setting s, int value) {
    live_[IndexOf(s)] = value;
    AfterChange(s);
}

// The camera's interlocks: back light compensation and the peak function exclude each other,
// and so do a fixed iris and a fixed shutter.
void CameraModel::AfterChange(Setting s) {
    auto& v = live_;
    switch (s) {
    case Setting::Blc:
        if (v[IndexOf(s)] == 1) v[IndexOf(Setting::Peak)] = 0;
        break;
    case Setting::Peak:
        if (v[IndexOf(s)] == 1) v[IndexOf(Setting::Blc)] = 0;
        break;
    case Setting::Alc:
        if (v[IndexOf(s)] == 1) v[IndexOf(Setting::Aes)] = 0;
        break;
    case Setting::Aes:
        if (v[IndexOf(s)] == 1) v[IndexOf(Setting::Alc)] = 0;
        break;
    case Setting::DigitalZoom:
    case Setting::AutoFocus:
        ClampLens();
        break;
    default:
        break;
    }
}

void CameraModel::StoreSetting(Setting s) {
    eeprom_[eep::kSettings + IndexOf(s)] = static_cast<uint16_t>(Get(s));
}

void CameraModel::LoadSetting(Setting s) {
    const SettingInfo& info = InfoOf(s);
    int v = FromStored(s, eeprom_[eep::kSettings + IndexOf(s)]);
    live_[IndexOf(s)] = std::clamp(v, info.min, info.max);
}

void CameraModel::StoreSettings(SettingGroup g) {
    for (size_t s = 0; s < kSettingCount; ++s)
        if (InfoOf(static_cast<Setting>(s)).group == g) StoreSetting(static_cast<Setting>(s));
}

void CameraModel::RestoreSettings(SettingGroup g) {
    for (size_t s = 0; s < kSettingCount; ++s)
        if (InfoOf(static_cast<Setting>(s)).group == g) LoadSetting(static_cast<Setting>(s));
    ClampLens();
}

void CameraModel::StoreMask(int n) {
    const Setting first = n == 0 ? Setting::Mask1On : Setting::Mask2On;
    for (size_t i = 0; i < 3; ++i)
        StoreSetting(static_cast<Setting>(IndexOf(first) + i));
}

MaskRect CameraModel::Mask(int n) const {
    const bool second = n != 0;
    int h = Get(second ? Setting::Mask2H : Setting::Mask1H);
    int v = Get(second ? Setting::Mask2V : Setting::Mask1V);
    return {Get(second ? Setting::Mask2On : Setting::Mask1On) != 0, static_cast<uint8_t>(h >> 8),
            static_cast<uint8_t>(h), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

CameraModel::Reply CameraModel::Registers(const Payload& p) {
    const uint8_t r = p[2];
    if (p[0] == kWrite) {
        registers_[r] = static_cast<uint16_t>(WordAt(p, 4));
        if (p[1] == 0x0A) eeprom_[r] = registers_[r];
    }
    return Answer(p).Word(4, registers_[r]);
}

CameraModel::Reply CameraModel::EepromAccess(const Payload& p) {
    const int address = WordAt(p, 3);
    if (address >= eep::kWords) return Answer(p, kBadParameter);
    const size_t copy = kRamEepromCopy - kRamBase + 2 * static_cast<size_t>(address);
    if (p[0] == kWrite) {
        eeprom_[address] = static_cast<uint16_t>(WordAt(p, 5));
        if (p[1] == 0x0F) {
            ram_[copy] = p[4];
            ram_[copy + 1] = p[5];
        }
    }
    int data = p[1] == 0x0F ? ram_[copy] * 256 + ram_[copy + 1] : eeprom_[address];
    return Answer(p).Word(3, address).Word(5, data);
}

CameraModel::Reply CameraModel::RamAccess(const Payload& p) {
    const int address = WordAt(p, 3);
    if (address < kRamBase) return Answer(p, kBadParameter);
    const size_t i = static_cast<size_t>(address - kRamBase);
    if (p[0] == kWrite) ram_[i] = p[4];
    return Answer(p).Word(3, address).A(5, ram_[i]).A(6, i + 1 < ram_.size() ? ram_[i + 1] : 0);
}

CameraModel::Reply CameraModel::Osd(const Payload& p) {
    if (p[2] != 0x01) return Answer(p, kBadParameter);
    if (p[0] == kWrite) Set(Setting::OsdWord, WordAt(p, 4));
    return Answer(p).Word(4, Get(Setting::OsdWord));
}

} // namespace r8::sim
