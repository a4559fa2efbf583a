// SPDX-License-Identifier: MIT
#include "EasyPicture.h"

#include "EasyPage.h"
#include "EasySettings.h"
#include "patterns/Bind.h"

#include "HexText.h"

#include <QLayout>

namespace r8::ui {

namespace {

using Bar = DebouncedBar;

// Radio groups of this tab are small: tight margins instead of the style's.
RadioGroup* MakeRadio(QWidget* parent, const QString& caption, const QStringList& items,
                      int columns, const QRect& at) {
    auto* g = new RadioGroup(caption, items, columns, parent);
    g->layout()->setContentsMargins(6, 0, 4, 0);
    g->layout()->setSpacing(0);
    g->setGeometry(at);
    return g;
}

TrackBar* MakeBar(QWidget* parent, int max, const QRect& at) {
    auto* bar = new TrackBar(parent);
    bar->SetRange(0, max, 1, 1);
    bar->setGeometry(at);
    return bar;
}

GroupBox* MakeGroup(QWidget* parent, const QString& caption, const QRect& at) {
    auto* g = new GroupBox(caption, parent);
    g->setGeometry(at);
    return g;
}

} // namespace

EasyPicture::EasyPicture(RoomContext& ctx, QWidget* panel) : ctx_(ctx) {
    buildControls(panel);
    bindSenders();
    bindSettings();
    registerDecoders();
    // The second item names the fixed shutter of the camera's video standard.
    ctx_.OnTvSystem([this](bool pal) {
        // Renaming in place keeps the selection (the index sent is unaffected) and fires no
        // change event; removing and inserting the item would move the selection and send it.
        if (AESFixBox->count() == 8) AESFixBox->setItemText(1, pal ? "1/120" : "1/100");
    });
}

EasyPicture::~EasyPicture() = default;

// Region: x 0..468 of Panel4 (about 460 px high), two columns of 230 px.
void EasyPicture::buildControls(QWidget* panel) {
    // Left column.
    AGCSens = MakeGroup(panel, "AGC / Sens", {0, 0, 230, 86});
    MakeLabel(AGCSens, "AGC", {6, 19, 30, 16});
    AGCBar = MakeBar(AGCSens, 8, {36, 16, 114, 24});
    MakeLabel(AGCSens, "Sens", {6, 45, 30, 16});
    SENSBar = MakeBar(AGCSens, 8, {36, 42, 114, 24});
    MakeLabel(AGCSens, "Auto", {38, 66, 40, 16});
    Priority = MakeRadio(AGCSens, "Priority", {"AGC", "SENS"}, 1, {154, 16, 72, 62});

    Sync = MakeRadio(panel, "Phase", {"OFF", "ON"}, 2, {0, 90, 108, 42});
    PhaseBar = MakeBar(panel, 0, {112, 102, 72, 24});
    PhaseLevel = new Edit(panel);
    PhaseLevel->SetMaxLength(4);
    PhaseLevel->setGeometry(188, 103, 42, 21);

    wb_select = MakeRadio(panel, "WB", {"ATW", "AWB"}, 1, {0, 136, 70, 60});
    ATWBar = MakeBar(panel, 8, {74, 148, 112, 22});
    AWBBar = MakeBar(panel, 8, {74, 172, 112, 22});
    AWB = new Button("Enter", panel);
    AWB->setGeometry(188, 172, 42, 22);

    WB = MakeGroup(panel, "Gain", {0, 200, 230, 64});
    MakeLabel(WB, "R-Y", {6, 19, 44, 16});
    Rgain = MakeBar(WB, 8, {52, 16, 172, 22});
    MakeLabel(WB, "B-Y", {6, 41, 44, 16});
    BGain = MakeBar(WB, 8, {52, 38, 172, 22});

    APC = MakeGroup(panel, "APC", {0, 268, 230, 64});
    MakeLabel(APC, "H-GAIN", {6, 19, 44, 16});
    HGainBar = MakeBar(APC, 12, {52, 16, 172, 22});
    MakeLabel(APC, "V-GAIN", {6, 41, 44, 16});
    VGainBar = MakeBar(APC, 12, {52, 38, 172, 22});

    Freeze = MakeRadio(panel, "Freeze", {"OFF", "ON"}, 2, {0, 336, 113, 42});
    Initial = MakeRadio(panel, "Initial", {"OFF", "ON"}, 2, {117, 336, 113, 42});
    PosiNega = MakeRadio(panel, "Posi / Nega", {"Posi", "Nega"}, 2, {0, 382, 117, 42});
    Gamma = MakeRadio(panel, "Gamma", {"0.45", "1.0"}, 2, {121, 382, 109, 42});

    // Right column.
    PEAK = MakeRadio(panel, "PEAK", {"OFF", "ON"}, 2, {238, 0, 108, 42});
    PeakOnBar = MakeBar(panel, 8, {350, 12, 118, 24});

    ALC = MakeRadio(panel, "ALC", {"AUTO", "FIX"}, 1, {238, 46, 80, 60});
    ALCAutoBar = MakeBar(panel, 8, {322, 58, 146, 22});
    ALCFixBar = MakeBar(panel, 8, {322, 82, 146, 22});

    AES = MakeRadio(panel, "AES", {"AUTO", "FIX"}, 1, {238, 110, 80, 60});
    AESAutoBar = MakeBar(panel, 8, {322, 122, 146, 22});
    AESFixBox = new ComboBox(
        {"OFF", "1/100 or 1/120", "1/250", "1/500", "1/1000", "1/2000", "1/4000", "1/10000"},
        panel);
    AESFixBox->setGeometry(322, 146, 146, 22);

    BLCGroup = MakeGroup(panel, "BLC", {238, 174, 230, 122});
    BLC = MakeRadio(BLCGroup, "Select", {"OFF", "ON"}, 1, {6, 16, 74, 60});
    MakeLabel(BLCGroup, "Sens", {8, 78, 60, 16});
    BLCSensBar = MakeBar(BLCGroup, 7, {4, 94, 78, 24});
    BLCPanel = new Panel(BLCGroup);
    BLCPanel->setGeometry(84, 16, 140, 100);

    Preset = MakeRadio(panel, "Preset", {"OFF", "ON"}, 2, {238, 300, 108, 42});
    PresetSet = new Button("Enter", panel);
    PresetSet->setGeometry(352, 312, 60, 22);

    Rev = MakeGroup(panel, "Rev", {238, 346, 230, 46});
    HRev = new CheckBox("HRev", Rev);
    HRev->setGeometry(8, 19, 60, 19);
    VRev = new CheckBox("VRev", Rev);
    VRev->setGeometry(72, 19, 60, 19);
    RevSet = new Button("Save", Rev);
    RevSet->setGeometry(160, 17, 62, 22);

    Select = MakeRadio(panel, "Select", {"Field", "Frame"}, 2, {238, 396, 130, 42});
}

void EasyPicture::bindSenders() {
    RoomContext& c = ctx_;
    // PhaseBarChange / PhaseTimerTimer: the tick writes the position into PhaseLevel, whose
    // change sends it.
    phase = std::make_unique<Bar>(
        c, PhaseBar, [this](int p) { PhaseLevel->SetText(QString::fromStdString(HexWord(p))); },
        "PhaseTimer");
    SendOnClick(c, RevSet, {0x21, 0x1D, 0x06});                          // RevSetClick
    SendOnClick(c, PresetSet, {0x21, 0x20, 0x00});                       // PresetSetClick
    SendDisabling(c, AWB, {0x21, 0x1B, 0x04}, {AWB, wb_select, AWBBar}); // AWBClick
}

// Each control of a plain setting: its sender and its read-back. The page load shows several
// settings from one Easy block; their read-backs are bound in the order of the block's bytes.
void EasyPicture::bindSettings() {
    using namespace settings;
    using Busy = Bar::OnBusy;
    RoomContext& c = ctx_;

    // Easy block 2.
    Bind(c, kVRev, VRev); // VRevClick
    Bind(c, kHRev, HRev); // HRevClick

    // Easy block 3. Interlocked pair BLC/PEAK (and ALC/AES below): BLCClick and the pair rule.
    SendInterlocked(c, BLC, PEAK, WritePrefix(kBlc));
    OnSettingRead(c, kBlc, [this](int v) { pairRule(BLC, v); });

    // Easy block 4. The white balance levels are sent at once on the tick; a busy link drops
    // them.
    SendOnClick(c, wb_select, WritePrefix(kWhiteBalance)); // wb_selectClick
    OnSettingRead(c, kWhiteBalance, [this](int v) {
        wb_select->SetItemIndex(v);
        showWhiteBalanceMode(v);
    });
    atw = Bind(c, kAtwLevel, ATWBar, "ATWBarTimer", Busy::Drop); // ATWBarChange, ..TimerTimer
    awb = Bind(c, kAwbLevel, AWBBar, "AWBBarTimer", Busy::Drop); // AWBBarChange, ..TimerTimer
    r = Bind(c, kRGain, Rgain, "RTimer");                        // RgainChange, RTimerTimer
    b = Bind(c, kBGain, BGain, "BTimer");                        // BGainChange, BTimerTimer
    c.OnGroup(kEasyBlock, 4, [this](const AnswerView& a) {
        if (a.A(15) == 0) showAwbDone();
    });

    // Easy block 5.
    SendDisablingSelf(c, Sync, WritePrefix(kPhase)); // SyncClick
    c.OnGroup(0x1C, 0, [this](const AnswerView& a) { showPhaseRange(a, 4); });
    c.OnGroup(kEasyBlock, 5, [this](const AnswerView& a) { showPhaseRange(a, 4); });
    SendOnCompleteHex(c, PhaseLevel, WritePrefix(kPhaseLevel)); // PhaseLevelChange
    OnSettingRead(c, kPhaseLevel, [this](int v) { showPhase(static_cast<int16_t>(v)); });
    blcSens = Bind(c, kBlcSens, BLCSensBar, "BLCSensTimer"); // BLCSensBarChange, ..TimerTimer
    agc = Bind(c, kAgc, AGCBar, "AGCTimer");                 // AGCBarChange, AGCTimerTimer
    sens = Bind(c, kSens, SENSBar, "SENSTimer");             // SENSBarChange, SENSTimerTimer
    SendOnClick(c, Freeze, WritePrefix(kFreeze));            // FreezeClick
    OnSettingAnswer(c, kFreeze, [this](int v) {
        Freeze->SetItemIndex(v);
        showFreeze(v);
        lensEnableUpdate();
    });
    OnSettingPage(c, kFreeze, [this](int v) {
        Freeze->SetItemIndex(v);
        showFreeze(v);
    });
    SendDisablingSelf(c, Initial, WritePrefix(kInitial)); // InitialClick
    OnSettingAnswer(c, kInitial, [this](int v) {
        Initial->SetItemIndex(v);
        lensEnableUpdate();
    });
    OnSettingPage(c, kInitial, [this](int v) { Initial->SetItemIndex(v); });

    // Easy block 6.
    SendInterlocked(c, PEAK, BLC, WritePrefix(kPeak)); // PEAKClick
    OnSettingRead(c, kPeak, [this](int v) { pairRule(PEAK, v); });
    peakOn = Bind(c, kPeakLevel, PeakOnBar, "PeakOnTimer"); // PeakOnBarChange, ..TimerTimer
    SendInterlocked(c, ALC, AES, WritePrefix(kAlc));        // ALCClick
    OnSettingRead(c, kAlc, [this](int v) { pairRule(ALC, v); });
    alcAuto = Bind(c, kAlcAuto, ALCAutoBar, "ALCAutoTimer"); // ALCAutoBarChange, ..TimerTimer
    alcFix = Bind(c, kAlcFixed, ALCFixBar, "ALCFixTimer");   // ALCFixBarChange, ..TimerTimer
    SendInterlocked(c, AES, ALC, WritePrefix(kAes));         // AESClick
    OnSettingRead(c, kAes, [this](int v) { pairRule(AES, v); });
    aesAuto = Bind(c, kAesAuto, AESAutoBar, "AESAutoTimer"); // AESAutoBarChange, ..TimerTimer
    Bind(c, kShutterFixed, AESFixBox);                       // AESFixBoxChange
    hGain = Bind(c, kHGain, HGainBar, "HGainTimer");         // HGainBarChange, HGainTimerTimer
    vGain = Bind(c, kVGain, VGainBar, "VGainTimer");         // VGainBarChange, VGainTimerTimer

    // Easy block 8. Every preset answer shows the preset, whatever its item.
    SendOnClick(c, Preset, WritePrefix(kPreset)); // PresetClick
    c.OnGroup(0x20, [this](const AnswerView& a) { showPreset(a.A(4)); });
    OnSettingPage(c, kPreset, [this](int v) { showPreset(v); });
    Bind(c, kFieldFrame, Select); // SelectClick
    Bind(c, kPosiNega, PosiNega); // PosiNegaClick
    Bind(c, kPriority, Priority); // PriorityClick

    // Easy block 9.
    Bind(c, kGamma, Gamma); // GammaClick
    c.OnGroup(kEasyBlock, 9, [this](const AnswerView&) { lensEnableUpdate(); });
}

void EasyPicture::EnableWhiteBalanceControls() {
    SetEnabled({wb_select, AWB, ATWBar, AWBBar, WB}, true);
}

RadioGroup* EasyPicture::partnerOf(const RadioGroup* g) const {
    if (g == BLC) return PEAK;
    if (g == PEAK) return BLC;
    if (g == ALC) return AES;
    return ALC;
}

void EasyPicture::showDependants(const RadioGroup* g) {
    const int i = g->ItemIndex();
    if (i != 0 && i != 1) return;
    const bool on = i == 1;
    if (g == BLC) {
        if (BLC_area_enable) BLC_area_enable(on);
        BLCSensBar->setEnabled(on);
    } else if (g == PEAK) {
        PeakOnBar->setEnabled(on);
    } else if (g == ALC) {
        ALCAutoBar->setEnabled(!on);
        ALCFixBar->setEnabled(on);
    } else {
        AESAutoBar->setEnabled(!on);
        AESFixBox->setEnabled(on);
    }
}

void EasyPicture::pairRule(RadioGroup* g, int v) {
    if (g->ItemIndex() == v)
        partnerOf(g)->setEnabled(true);
    else
        g->SetItemIndex(v);
    showDependants(g);
}

// 0 ATW: the level bar of ATW; 1 AWB: the "Enter" button.
void EasyPicture::showWhiteBalanceMode(int mode) {
    if (mode == 0) {
        AWB->setEnabled(false);
        ATWBar->setEnabled(true);
        AWBBar->setEnabled(false);
    } else if (mode == 1) {
        AWB->setEnabled(true);
        ATWBar->setEnabled(false);
    }
}

// An automatic white balance has ended (or none runs) while AWB is selected.
void EasyPicture::showAwbDone() {
    if (wb_select->ItemIndex() != 1) return;
    SetEnabled({wb_select, AWB, AWBBar}, true);
    AWBBar->SetPosition(4);
}

// Sync at a, then the phase range: maximum s(a+1:a+2), minimum s(a+3:a+4).
void EasyPicture::showPhaseRange(const AnswerView& a, int at) {
    const ReadBack quiet;
    Sync->SetItemIndex(a.A(at));
    PhaseBar->SetMax(a.S16(at + 1));
    PhaseBar->SetMin(a.S16(at + 3));
    const int span = PhaseBar->Max() - PhaseBar->Min();
    PhaseBar->SetFrequency(span / 10);
    PhaseBar->SetPageSize(span / 50);
    SetEnabled({PhaseLevel, PhaseBar}, a.A(at) != 0);
    Sync->setEnabled(true);
}

void EasyPicture::showPhase(int16_t p) {
    PhaseLevel->SetText(QString::fromStdString(HexWord(p)));
    PhaseBar->SetPosition(p);
}

void EasyPicture::showFreeze(int v) {
    if (v == 0 || v == 1) SetEnabled({HRev, VRev}, v == 0);
}

void EasyPicture::showPreset(int v) {
    const ReadBack quiet;
    Preset->SetItemIndex(v);
    if (v == 0 || v == 1) PresetSet->setEnabled(v == 1);
}

void EasyPicture::lensEnableUpdate() {
    if (Lens_enable_update) Lens_enable_update();
}

// Read answers that are not a plain setting's value.
void EasyPicture::registerDecoders() {
    RoomContext& c = ctx_;
    c.OnGroup(0x0C, [this](const AnswerView& a) {
        if (a.U16(3) == 0x0151 && a.A(5) != 0)
            SetEnabled({wb_select, AWB, ATWBar, AWBBar, WB}, false);
    });
    c.OnGroup(0x1B, 4, [this](const AnswerView& a) {
        if (a.A(4) == 0) showAwbDone();
    });
}

void EasyPicture::Trans_end_easy(const AnswerView& a) {
    const uint8_t item = a.Item();
    switch (a.Group()) {
    case 0x18: // BLC set or read: the dependants; a set is followed by PEAK's read-back
        if (item != 0) return;
        showDependants(BLC);
        if (!BLC->isEnabled() && ctx_.Trans_chk()) ctx_.Send({0x31, 0x48, 0x00, 0x00});
        return;
    case 0x1A:
        if (item != 3) return;
        showFreeze(a.A(4));
        lensEnableUpdate();
        return;
    case 0x1B:
        if (item == 0) showWhiteBalanceMode(a.A(4));
        // An automatic white balance runs: ask again until the camera reports it done.
        if (item == 4 && wb_select->ItemIndex() == 1 && !AWB->isEnabled() && ctx_.Trans_chk())
            ctx_.Send({0x31, 0x1B, 0x04});
        return;
    case 0x1C:
        if (item == 0 && !Sync->isEnabled() && ctx_.Trans_chk()) ctx_.Send({0x31, 0x1C, 0x00});
        if (item == 1) showPhase(a.S16(4));
        return;
    case 0x20:
        if (a.A(4) == 0 || a.A(4) == 1) PresetSet->setEnabled(a.A(4) == 1);
        return;
    case 0x48: // PEAK, ALC, AES: the dependants, then the partner's read-back after a set
        if (item == 0) {
            PeakOnBar->setEnabled(PEAK->ItemIndex() != 0);
            if (!PEAK->isEnabled() && ctx_.Trans_chk()) ctx_.Send({0x31, 0x18, 0x00});
        } else if (item == 1) {
            showDependants(ALC);
            if (!ALC->isEnabled() && ctx_.Trans_chk()) ctx_.Send({0x31, 0x48, 0x02, 0x00});
        } else if (item == 2) {
            showDependants(AES);
            if (!AES->isEnabled() && ctx_.Trans_chk()) ctx_.Send({0x31, 0x48, 0x01, 0x00});
        }
        return;
    case 0x49:
        lensEnableUpdate();
        Initial->setEnabled(true);
        return;
    default:
        return;
    }
}

} // namespace r8::ui
