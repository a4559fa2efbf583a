// SPDX-License-Identifier: MIT
#pragma once
// Picture functions of the "Easy" tab: AGC and sensitivity, phase, white balance, gains, PEAK,
// ALC, AES, BLC on/off, preset, reversal, freeze, initial, posi/nega, field/frame, gamma.
#include "Room.h"
#include "patterns/Senders.h"
#include "widgets/Controls.h"

#include <functional>
#include <memory>

namespace r8::ui {

class EasyPicture {
public:
    // Builds the part's group boxes on panel (Panel4) and registers its read decoders.
    EasyPicture(RoomContext& ctx, QWidget* panel);
    ~EasyPicture();
    EasyPicture(const EasyPicture&) = delete;
    EasyPicture& operator=(const EasyPicture&) = delete;

    // Step 0 of the Easy page load: the white balance controls start enabled; the camera
    // register 0x0151 of the same page may disable them again.
    void EnableWhiteBalanceControls();
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a);

    // Set by the room before any answer arrives.
    std::function<void()> Lens_enable_update;
    std::function<void(bool on)> BLC_area_enable;

    // "AGC / Sens"
    GroupBox* AGCSens = nullptr;
    TrackBar* AGCBar = nullptr;
    TrackBar* SENSBar = nullptr;
    RadioGroup* Priority = nullptr;
    // Phase
    RadioGroup* Sync = nullptr;
    TrackBar* PhaseBar = nullptr;
    Edit* PhaseLevel = nullptr;
    // White balance
    RadioGroup* wb_select = nullptr;
    Button* AWB = nullptr;
    TrackBar* ATWBar = nullptr;
    TrackBar* AWBBar = nullptr;
    GroupBox* WB = nullptr; // caption "Gain"
    TrackBar* Rgain = nullptr;
    TrackBar* BGain = nullptr;
    // "APC"
    GroupBox* APC = nullptr;
    TrackBar* HGainBar = nullptr;
    TrackBar* VGainBar = nullptr;
    // Exposure
    RadioGroup* PEAK = nullptr;
    TrackBar* PeakOnBar = nullptr;
    RadioGroup* ALC = nullptr;
    TrackBar* ALCAutoBar = nullptr;
    TrackBar* ALCFixBar = nullptr;
    RadioGroup* AES = nullptr;
    TrackBar* AESAutoBar = nullptr;
    ComboBox* AESFixBox = nullptr;
    // "BLC"
    GroupBox* BLCGroup = nullptr;
    RadioGroup* BLC = nullptr;
    TrackBar* BLCSensBar = nullptr;
    Panel* BLCPanel = nullptr; // where the 48 area check boxes go
    // Modes
    RadioGroup* Preset = nullptr;
    Button* PresetSet = nullptr;
    GroupBox* Rev = nullptr;
    CheckBox* HRev = nullptr;
    CheckBox* VRev = nullptr;
    Button* RevSet = nullptr;
    RadioGroup* Freeze = nullptr;
    RadioGroup* Initial = nullptr;
    RadioGroup* PosiNega = nullptr;
    RadioGroup* Select = nullptr;
    RadioGroup* Gamma = nullptr;

    // The debounced bars; each owns its timer, named as the form names it.
    std::unique_ptr<DebouncedBar> agc, sens, phase, r, b, atw, awb, hGain, vGain, peakOn, alcAuto,
        alcFix, aesAuto, blcSens;

private:
    void buildControls(QWidget* panel);
    void bindSenders();
    void bindSettings();
    void registerDecoders();

    // BLC, PEAK, ALC and AES: the partner and the dependants of each.
    RadioGroup* partnerOf(const RadioGroup* g) const;
    void showDependants(const RadioGroup* g);
    // A decoded value for one of the four: equal to the index shown, it enables the partner
    // (the end of the partner's read-back); otherwise it sets the index. Then the dependants.
    void pairRule(RadioGroup* g, int v);
    void showWhiteBalanceMode(int mode);
    void showAwbDone();
    void showPhaseRange(const AnswerView& a, int at);
    void showPhase(int16_t p);
    void showFreeze(int v);
    void showPreset(int v);
    void lensEnableUpdate();

    RoomContext& ctx_;
};

} // namespace r8::ui
