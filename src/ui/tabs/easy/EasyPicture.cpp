#include "EasyPicture.h"

#include "EasyPage.h"

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

Label* MakeLabel(QWidget* parent, const QString& caption, const QRect& at) {
    auto* l = new Label(caption, parent);
    l->setGeometry(at);
    return l;
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
    // Debounced bars: the change arms the timer, the tick sends the position of that moment.
    // The white balance levels are sent at once on the tick; a busy link drops them.
    auto debounce = [&c](TrackBar* bar, Prefix prefix, const char* timer,
                         Bar::OnBusy busy = Bar::OnBusy::Retry) {
        return std::make_unique<Bar>(c, bar, std::move(prefix), timer, busy);
    };
    agc = debounce(AGCBar, {0x21, 0x1A, 0x01}, "AGCTimer");       // AGCBarChange, AGCTimerTimer
    sens = debounce(SENSBar, {0x21, 0x1A, 0x02}, "SENSTimer");    // SENSBarChange, SENSTimerTimer
    r = debounce(Rgain, {0x21, 0x1B, 0x02}, "RTimer");            // RgainChange, RTimerTimer
    b = debounce(BGain, {0x21, 0x1B, 0x03}, "BTimer");            // BGainChange, BTimerTimer
    hGain = debounce(HGainBar, {0x21, 0x47, 0x00}, "HGainTimer"); // HGainBarChange, HGainTimerTimer
    vGain = debounce(VGainBar, {0x21, 0x47, 0x01}, "VGainTimer"); // VGainBarChange, VGainTimerTimer
    blcSens = debounce(BLCSensBar, {0x21, 0x50}, "BLCSensTimer"); // BLCSensBarChange, ..TimerTimer
    // PeakOnBarChange / PeakOnTimerTimer
    peakOn = debounce(PeakOnBar, {0x21, 0x48, 0x00, 0x01}, "PeakOnTimer");
    // ALCAutoBarChange / ALCAutoTimerTimer, ALCFixBarChange / ALCFixTimerTimer
    alcAuto = debounce(ALCAutoBar, {0x21, 0x48, 0x01, 0x01, 0x00}, "ALCAutoTimer");
    alcFix = debounce(ALCFixBar, {0x21, 0x48, 0x01, 0x01, 0x01}, "ALCFixTimer");
    // AESAutoBarChange / AESAutoTimerTimer
    aesAuto = debounce(AESAutoBar, {0x21, 0x48, 0x02, 0x01, 0x00}, "AESAutoTimer");
    // ATWBarChange / ATWBarTimerTimer, AWBBarChange / AWBBarTimerTimer
    atw = debounce(ATWBar, {0x21, 0x1B, 0x05}, "ATWBarTimer", Bar::OnBusy::Drop);
    awb = debounce(AWBBar, {0x21, 0x1B, 0x06}, "AWBBarTimer", Bar::OnBusy::Drop);
    // PhaseBarChange / PhaseTimerTimer: the tick writes the position into PhaseLevel, whose
    // change sends it.
    phase = std::make_unique<Bar>(
        c, PhaseBar, [this](int p) { PhaseLevel->SetText(QString::fromStdString(HexWord(p))); },
        "PhaseTimer");
    SendOnCompleteHex(c, PhaseLevel, {0x21, 0x1C, 0x01}); // PhaseLevelChange

    // Immediate senders.
    SendOnClick(c, Priority, {0x21, 0x1A, 0x05});               // PriorityClick
    SendOnClick(c, Freeze, {0x21, 0x1A, 0x03});                 // FreezeClick
    SendOnClick(c, Select, {0x21, 0x1A, 0x04});                 // SelectClick
    SendOnClick(c, wb_select, {0x21, 0x1B, 0x00});              // wb_selectClick
    SendOnClick(c, HRev, {0x21, 0x1D, 0x05});                   // HRevClick
    SendOnClick(c, VRev, {0x21, 0x1D, 0x04});                   // VRevClick
    SendOnClick(c, RevSet, {0x21, 0x1D, 0x06});                 // RevSetClick
    SendOnClick(c, PosiNega, {0x21, 0x1D, 0x07});               // PosiNegaClick
    SendOnClick(c, Preset, {0x21, 0x20, 0x02});                 // PresetClick
    SendOnClick(c, PresetSet, {0x21, 0x20, 0x00});              // PresetSetClick
    SendOnChange(c, AESFixBox, {0x21, 0x48, 0x02, 0x01, 0x01}); // AESFixBoxChange
    SendOnClick(c, Gamma, {0x21, 0x59, 0x00});                  // GammaClick

    // Self-disabling: the answer enables them again.
    SendDisablingSelf(c, Sync, {0x21, 0x1C, 0x00});                      // SyncClick
    SendDisablingSelf(c, Initial, {0x21, 0x49});                         // InitialClick
    SendDisabling(c, AWB, {0x21, 0x1B, 0x04}, {AWB, wb_select, AWBBar}); // AWBClick

    // Interlocked pairs BLC/PEAK and ALC/AES.
    SendInterlocked(c, BLC, PEAK, {0x21, 0x18, 0x00});       // BLCClick
    SendInterlocked(c, PEAK, BLC, {0x21, 0x48, 0x00, 0x00}); // PEAKClick
    SendInterlocked(c, ALC, AES, {0x21, 0x48, 0x01, 0x00});  // ALCClick
    SendInterlocked(c, AES, ALC, {0x21, 0x48, 0x02, 0x00});  // AESClick
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
    Preset->SetItemIndex(v);
    if (v == 0 || v == 1) PresetSet->setEnabled(v == 1);
}

void EasyPicture::lensEnableUpdate() {
    if (Lens_enable_update) Lens_enable_update();
}

void EasyPicture::registerDecoders() {
    RoomContext& c = ctx_;
    c.OnGroup(0x0C, [this](const AnswerView& a) {
        if (a.U16(3) == 0x0151 && a.A(5) != 0)
            SetEnabled({wb_select, AWB, ATWBar, AWBBar, WB}, false);
    });
    c.OnGroup(0x18, 0, [this](const AnswerView& a) { pairRule(BLC, a.A(4)); });
    c.OnGroup(0x1A, 1, [this](const AnswerView& a) { AGCBar->SetPosition(a.A(4)); });
    c.OnGroup(0x1A, 2, [this](const AnswerView& a) { SENSBar->SetPosition(a.A(4)); });
    c.OnGroup(0x1A, 3, [this](const AnswerView& a) {
        Freeze->SetItemIndex(a.A(4));
        showFreeze(a.A(4));
        lensEnableUpdate();
    });
    c.OnGroup(0x1A, 4, [this](const AnswerView& a) { Select->SetItemIndex(a.A(4)); });
    c.OnGroup(0x1B, 0, [this](const AnswerView& a) {
        wb_select->SetItemIndex(a.A(4));
        showWhiteBalanceMode(a.A(4));
    });
    c.OnGroup(0x1B, 2, [this](const AnswerView& a) { Rgain->SetPosition(a.A(4)); });
    c.OnGroup(0x1B, 3, [this](const AnswerView& a) { BGain->SetPosition(a.A(4)); });
    c.OnGroup(0x1B, 4, [this](const AnswerView& a) {
        if (a.A(4) == 0) showAwbDone();
    });
    c.OnGroup(0x1B, 5, [this](const AnswerView& a) { ATWBar->SetPosition(a.A(4)); });
    c.OnGroup(0x1B, 6, [this](const AnswerView& a) { AWBBar->SetPosition(a.A(4)); });
    c.OnGroup(0x1C, 0, [this](const AnswerView& a) { showPhaseRange(a, 4); });
    c.OnGroup(0x1C, 1, [this](const AnswerView& a) { showPhase(a.S16(4)); });
    c.OnGroup(0x1D, 4, [this](const AnswerView& a) { VRev->SetChecked(a.A(4) != 0); });
    c.OnGroup(0x1D, 5, [this](const AnswerView& a) { HRev->SetChecked(a.A(4) != 0); });
    c.OnGroup(0x1D, 7, [this](const AnswerView& a) { PosiNega->SetItemIndex(a.A(4)); });
    c.OnGroup(0x20, [this](const AnswerView& a) { showPreset(a.A(4)); });
    c.OnGroup(0x47, 0, [this](const AnswerView& a) { HGainBar->SetPosition(a.A(4)); });
    c.OnGroup(0x47, 1, [this](const AnswerView& a) { VGainBar->SetPosition(a.A(4)); });
    c.OnGroup(0x48, 0, [this](const AnswerView& a) {
        if (a.A(4) == 0) pairRule(PEAK, a.A(5));
        if (a.A(4) == 1) PeakOnBar->SetPosition(a.A(5));
    });
    c.OnGroup(0x48, 1, [this](const AnswerView& a) {
        if (a.A(4) == 0) pairRule(ALC, a.A(5));
        if (a.A(4) != 1) return;
        if (a.A(5) == 0) ALCAutoBar->SetPosition(a.A(6));
        if (a.A(5) == 1) ALCFixBar->SetPosition(a.A(6));
    });
    c.OnGroup(0x48, 2, [this](const AnswerView& a) {
        if (a.A(4) == 0) pairRule(AES, a.A(5));
        if (a.A(4) != 1) return;
        if (a.A(5) == 0) AESAutoBar->SetPosition(a.A(6));
        if (a.A(5) == 1) AESFixBox->SetItemIndex(a.A(6));
    });
    c.OnGroup(0x49, [this](const AnswerView& a) {
        Initial->SetItemIndex(a.A(3));
        lensEnableUpdate();
    });
    c.OnGroup(0x50, [this](const AnswerView& a) { BLCSensBar->SetPosition(a.A(3)); });

    // Easy blocks: only this part's fields.
    c.OnGroup(kEasyBlock, 2, [this](const AnswerView& a) {
        VRev->SetChecked(a.A(14) != 0);
        HRev->SetChecked(a.A(15) != 0);
    });
    c.OnGroup(kEasyBlock, 3, [this](const AnswerView& a) { pairRule(BLC, a.A(15)); });
    c.OnGroup(kEasyBlock, 4, [this](const AnswerView& a) {
        wb_select->SetItemIndex(a.A(10));
        showWhiteBalanceMode(a.A(10));
        ATWBar->SetPosition(a.A(11));
        AWBBar->SetPosition(a.A(12));
        Rgain->SetPosition(a.A(13));
        BGain->SetPosition(a.A(14));
        if (a.A(15) == 0) showAwbDone();
    });
    c.OnGroup(kEasyBlock, 5, [this](const AnswerView& a) {
        showPhaseRange(a, 4);
        showPhase(a.S16(9));
        BLCSensBar->SetPosition(a.A(11));
        AGCBar->SetPosition(a.A(12));
        SENSBar->SetPosition(a.A(13));
        Freeze->SetItemIndex(a.A(14));
        showFreeze(a.A(14));
        Initial->SetItemIndex(a.A(15));
    });
    c.OnGroup(kEasyBlock, 6, [this](const AnswerView& a) {
        pairRule(PEAK, a.A(4));
        PeakOnBar->SetPosition(a.A(5));
        pairRule(ALC, a.A(6));
        ALCAutoBar->SetPosition(a.A(7));
        ALCFixBar->SetPosition(a.A(8));
        pairRule(AES, a.A(9));
        AESAutoBar->SetPosition(a.A(10));
        AESFixBox->SetItemIndex(a.A(11));
        HGainBar->SetPosition(a.A(12));
        VGainBar->SetPosition(a.A(13));
    });
    c.OnGroup(kEasyBlock, 8, [this](const AnswerView& a) {
        showPreset(a.A(8));
        Select->SetItemIndex(a.A(10));
        PosiNega->SetItemIndex(a.A(11));
        Priority->SetItemIndex(a.A(12));
    });
    c.OnGroup(kEasyBlock, 9, [this](const AnswerView& a) {
        Gamma->SetItemIndex(a.A(11));
        lensEnableUpdate();
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
