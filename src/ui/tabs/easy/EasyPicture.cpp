// SPDX-License-Identifier: MIT
#include "EasyPicture.h"

#include "Catalogue.h"
#include "EasyPage.h"
#include "EasySettings.h"
#include "HexText.h"

namespace r8::ui {

EasyPicture::EasyPicture(RoomContext& ctx, QWidget* panel) : ctx_(ctx) {
    setupUi(panel);
    using namespace settings;
    // The plain settings first: their read-backs show a value before the decoders below read it
    // (an automatic white balance's end sets AWBBar after its level is shown).
    bound_ = BoundForm(ctx, panel, kEasyPictureSettings,
                       {.own = {&kPhase, &kPhaseLevel, &kWhiteBalance, &kBlc, &kPeak, &kAlc, &kAes,
                                &kFreeze, &kInitial, &kPreset},
                        .drop = {&kAtwLevel, &kAwbLevel}});
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

void EasyPicture::bindSenders() {
    RoomContext& c = ctx_;
    // PhaseBarChange / PhaseTimerTimer: the tick writes the position into PhaseLevel, whose
    // change sends it.
    phase = std::make_unique<DebouncedBar>(
        c, PhaseBar, [this](int p) { PhaseLevel->SetText(Q(HexWord(p))); }, "PhaseTimer");
    SendOnClick(c, RevSet, {0x21, 0x1D, 0x06});                          // RevSetClick
    SendOnClick(c, PresetSet, {0x21, 0x20, 0x00});                       // PresetSetClick
    SendDisabling(c, AWB, {0x21, 0x1B, 0x04}, {AWB, wb_select, AWBBar}); // AWBClick
}

// The settings whose read-back does more than show the value: their senders and read-backs,
// in the order of the Easy blocks' bytes.
void EasyPicture::bindSettings() {
    using namespace settings;
    RoomContext& c = ctx_;

    // Easy block 3. Interlocked pair BLC/PEAK (and ALC/AES below): BLCClick and the pair rule.
    SendInterlocked(c, BLC, PEAK, WritePrefix(kBlc));
    OnSettingRead(c, kBlc, [this](int v) { pairRule(BLC, v); });

    // Easy block 4.
    SendOnClick(c, wb_select, WritePrefix(kWhiteBalance)); // wb_selectClick
    OnSettingRead(c, kWhiteBalance, [this](int v) {
        wb_select->SetItemIndex(v);
        showWhiteBalanceMode(v);
    });
    c.OnGroup(kEasyBlock, 4, [this](const AnswerView& a) {
        if (a.A(15) == 0) showAwbDone();
    });

    // Easy block 5.
    SendDisablingSelf(c, Sync, WritePrefix(kPhase)); // SyncClick
    // The phase read answers the range with the value.
    c.OnGroup(kPhase.key.Function(), kPhase.key.bytes[1],
              [this](const AnswerView& a) { showPhaseRange(a, 4); });
    c.OnGroup(kEasyBlock, 5, [this](const AnswerView& a) { showPhaseRange(a, 4); });
    SendOnCompleteHex(c, PhaseLevel, WritePrefix(kPhaseLevel)); // PhaseLevelChange
    OnSettingRead(c, kPhaseLevel, [this](int v) { showPhase(static_cast<int16_t>(v)); });
    SendOnClick(c, Freeze, WritePrefix(kFreeze)); // FreezeClick
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
    SendInterlocked(c, ALC, AES, WritePrefix(kAlc)); // ALCClick
    OnSettingRead(c, kAlc, [this](int v) { pairRule(ALC, v); });
    SendInterlocked(c, AES, ALC, WritePrefix(kAes)); // AESClick
    OnSettingRead(c, kAes, [this](int v) { pairRule(AES, v); });

    // Easy block 8. Every preset answer shows the preset, whatever its item.
    SendOnClick(c, Preset, WritePrefix(kPreset)); // PresetClick
    c.OnGroup(kPreset.key.Function(), [this](const AnswerView& a) { showPreset(a.A(4)); });
    OnSettingPage(c, kPreset, [this](int v) { showPreset(v); });

    // Easy block 9.
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
    PhaseLevel->SetText(Q(HexWord(p)));
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

void EasyPicture::readBack(const SettingEntry& s) {
    if (ctx_.Trans_chk()) SendPayload(ctx_, ReadPayload(s));
}

void EasyPicture::Trans_end_easy(const AnswerView& a) {
    using namespace settings;
    // The answer to a write of s: its function and item (a function without items: any).
    const auto answers = [&a](const SettingEntry& s) {
        return a.Group() == s.key.Function() && (s.key.size < 2 || a.Item() == s.key.bytes[1]);
    };
    if (answers(kBlc)) { // the dependants; a set is followed by PEAK's read-back
        showDependants(BLC);
        if (!BLC->isEnabled()) readBack(kPeak);
    } else if (answers(kFreeze)) {
        showFreeze(a.A(4));
        lensEnableUpdate();
    } else if (answers(kWhiteBalance)) {
        showWhiteBalanceMode(a.A(4));
    } else if (a.Group() == 0x1B && a.Item() == 4) {
        // An automatic white balance runs: ask again until the camera reports it done.
        if (wb_select->ItemIndex() == 1 && !AWB->isEnabled() && ctx_.Trans_chk())
            ctx_.Send({0x31, 0x1B, 0x04});
    } else if (answers(kPhase)) {
        if (!Sync->isEnabled()) readBack(kPhase);
    } else if (answers(kPhaseLevel)) {
        showPhase(a.S16(4));
    } else if (a.Group() == kPreset.key.Function()) { // every preset answer, whatever its item
        if (a.A(4) == 0 || a.A(4) == 1) PresetSet->setEnabled(a.A(4) == 1);
    } else if (answers(kPeak)) { // PEAK, ALC, AES: the dependants, then the partner's read-back
        PeakOnBar->setEnabled(PEAK->ItemIndex() != 0);
        if (!PEAK->isEnabled()) readBack(kBlc);
    } else if (answers(kAlc)) {
        showDependants(ALC);
        if (!ALC->isEnabled()) readBack(kAes);
    } else if (answers(kAes)) {
        showDependants(AES);
        if (!AES->isEnabled()) readBack(kAlc);
    } else if (answers(kInitial)) {
        lensEnableUpdate();
        Initial->setEnabled(true);
    }
}

} // namespace r8::ui
