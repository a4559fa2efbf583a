// SPDX-License-Identifier: MIT
#pragma once
// The camera behind the line: EEPROM, DSP registers, RAM, the user and adjustment functions, and
// the answer it gives to each command. No I/O and no clock: the lens and the camera's own
// processes (automatic white balance, lens adjustment) advance one step per answer, so every
// exchange is reproducible.
//
// Live values and EEPROM are apart, as in the camera: a function write changes the live value;
// the store commands (save, reversal save, keep adjustments, defect save, mask with "EEPROM
// write", title, lens position save) copy into EEPROM; a reset loads every live value from it.
#include "Answer.h"
#include "CameraSettings.h"
#include "EepromImage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace r8::sim {

struct MaskRect {
    bool on = false;
    uint8_t hs = 0, he = 0, vs = 0, ve = 0;
};

struct LensState {
    uint16_t zoomTarget = 0, zoomCurrent = 0;
    uint16_t focusTarget = 0, focusCurrent = 0;
};

class CameraModel {
public:
    static constexpr uint16_t kRamBase = 0xEE00;
    static constexpr size_t kRamSize = 0x10000 - kRamBase;
    // The working copy of the EEPROM in RAM: word k at kRamEepromCopy + 2k, high byte first.
    static constexpr uint16_t kRamEepromCopy = 0xF000;
    static constexpr uint16_t kZoomMin = 0x1000, kZoomMaxOptical = 0x18B0, kZoomMaxDigital = 0x26F0;
    static constexpr int kAreaCount = 48;
    static constexpr int kPhaseMax = 180, kPhaseMin = -180;

    explicit CameraModel(CameraIdentity id = {});
    CameraModel(CameraIdentity id, const EepromImage& image);

    // The answer A1..A15 to a command P1..P15, or nothing when the ACK alone ends the exchange
    // (the write 21 20 00, and a reset that does not follow a block).
    std::optional<Payload> Command(const Payload& p);
    // Takes a block of setting data (EEPROM word k in bytes 2k, 2k+1, low byte first) and
    // gives its answer: A2 = the block kind, A3:A4 = the number of words taken.
    Payload Block(uint8_t kind, const uint8_t* data, size_t count);
    // Loads every live value from EEPROM and stops the camera's own processes.
    void Reset();

    const CameraIdentity& Identity() const { return id_; }
    int ImageWidth() const { return id_.hiRes ? 800 : 544; }
    int ImageHeight() const { return id_.ntsc ? 136 : 312; }

    const EepromImage& Eeprom() const { return eeprom_; }
    uint16_t EepromWord(uint16_t address) const { return eeprom_.at(address); }
    void SetEepromWord(uint16_t address, uint16_t value) { eeprom_.at(address) = value; }
    uint16_t Register(uint8_t r) const { return registers_[r]; }
    void SetRegister(uint8_t r, uint16_t value) { registers_[r] = value; }
    uint8_t RamByte(uint16_t address) const { return ram_.at(address - kRamBase); }

    int Get(Setting s) const { return live_[IndexOf(s)]; }
    // How many times the lens adjustment answers 0 (its start included) before it answers 1.
    void SetLensAdjustZeros(int n);
    // Sets a live value as a write command would, without the range check.
    void Set(Setting s, int value);
    MaskRect Mask(int n) const;
    uint16_t TitleCode(int i) const { return title_.at(i); }
    const LensState& Lens() const { return lens_; }
    uint16_t AreaSample(int i) const;
    // The camera's uncorrected defect measurement, even field then odd: x, y, peak.
    std::array<uint16_t, 6> DefectMeasurement() const;

private:
    using Reply = std::optional<Payload>;

    Reply Dispatch(const Payload& p);
    Reply ReadSetting(const Payload& p, Setting s, int at);
    Reply WriteSetting(const Payload& p, Setting s, int at);
    bool SetChecked(Setting s, int value); // false when out of range
    void AfterChange(Setting s);

    void StoreSettings(SettingGroup g);
    void RestoreSettings(SettingGroup g);
    void StoreSetting(Setting s);
    void LoadSetting(Setting s);
    void StoreMask(int n);

    Reply Registers(const Payload& p);      // 0x0A, 0x0B
    Reply EepromAccess(const Payload& p);   // 0x0C, 0x0F
    Reply RamAccess(const Payload& p);      // 0x0D
    Reply Osd(const Payload& p);            // 0x0E
    Reply Title(const Payload& p);          // 0x10
    Reply BlcAreas(const Payload& p);       // 0x19
    Reply AutoWhite(const Payload& p);      // 0x1B item 4
    Reply Phase(const Payload& p);          // 0x1C
    Reply ReversalSave(const Payload& p);   // 0x1D item 6
    Reply Save(const Payload& p);           // 0x1E
    Reply Preset(const Payload& p);         // 0x20
    Reply AtwPreset(const Payload& p);      // 0x30
    Reply PushSwitch(const Payload& p);     // 0x32
    Reply AreaSamples(const Payload& p);    // 0x35
    Reply Defect(const Payload& p);         // 0x36
    Reply KeepAdjust(const Payload& p);     // 0x41
    Reply Timing(const Payload& p);         // 0x42
    Reply LensCommand(const Payload& p);    // 0x45
    Reply LensAdjustStep(const Payload& p); // 0x46
    Reply Exposure(const Payload& p);       // 0x48
    Reply Position(const Payload& p);       // 0x52
    Reply MarkPosition(const Payload& p);   // 0x56 item 1
    Reply Masks(const Payload& p);          // 0x57
    Reply Ir(const Payload& p);             // 0x58
    Reply EasyPage(const Payload& p);       // 0x60

    Payload DefectPageA(const Payload& p) const;
    Payload DefectPageBc(const Payload& p) const;
    Payload DefectParameters(const Payload& p) const;
    Payload ZoomAnswer(const Payload& p) const;
    Payload FocusAnswer(const Payload& p) const;
    Payload MarkAnswer(const Payload& p) const;
    Payload IrAnswer(const Payload& p) const;
    std::array<uint8_t, 6> MarkLimits() const;
    void ClampMark();
    std::array<uint8_t, 6> BlcRows() const;

    uint8_t LensAdjustAnswer();
    uint16_t ZoomMax() const;
    uint16_t FocusMin() const;
    uint16_t FocusMax() const;
    uint16_t FocusSharp() const;
    void ClampLens();
    void StepZoom();
    void StepFocus();

    CameraIdentity id_;
    EepromImage eeprom_{};
    std::array<uint16_t, 256> registers_{};
    std::vector<uint8_t> ram_ = std::vector<uint8_t>(kRamSize);
    std::array<int, kSettingCount> live_{};
    std::array<uint16_t, eep::kTitleLength> title_{};
    LensState lens_;
    bool blockTaken_ = false;    // the last frame was a block: the next reset is answered
    int awbSteps_ = 0;           // answers until the automatic white balance is done
    bool afSearching_ = false;   // one-push focus: still running to the near end
    int lensAdjustZeros_ = 2;    // answers 0 of one lens adjustment
    int lensAdjustSteps_ = 0;    // answers 0 still to come
    bool lensAdjusting_ = false; // started and not yet reported done
    bool irisAdjusting_ = false;
    bool menuOpen_ = false;
    int menuItem_ = 0;
};

} // namespace r8::sim
