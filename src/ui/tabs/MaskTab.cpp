// SPDX-License-Identifier: MIT
#include "MaskTab.h"

#include "Catalogue.h"
#include "IrSettings.h"
#include "mask/MaskGroup.h"
#include "patterns/Senders.h"

#include <iterator>

namespace r8::ui {

MaskTab::MaskTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet6", "") {
    setupUi(Body());
    GroupBox* groups[2] = {GroupBox2, GroupBox11};
    for (int n = 0; n < 2; ++n) {
        Masks[n] = std::make_unique<MaskGroup>(ctx, groups[n], n);
        Masks[n]->Changed = [this, n] {
            if (PreviewMask) PreviewMask(n, Masks[n]->View());
        };
    }
    MaskPreview->OnClick = [this] {
        UpdatePreview();
        if (ShowPreview) ShowPreview();
    };

    // The IR groups take their items and captions from the catalogue; they send and show
    // their values here: nothing is sent while IrLoading, the level's command follows the
    // switch source, and the answer handler enables the groups.
    bound_ =
        BoundForm(ctx_, Body(), settings::kIrSettings,
                  {.own = {std::begin(settings::kIrSettings), std::end(settings::kIrSettings)}});
    auto notLoading = [this] { return !IrLoading; };
    SendOnClick(ctx_, IRL, WritePrefix(settings::kIr), notLoading);              // IRLClick
    SendOnClick(ctx_, IRSW, WritePrefix(settings::kIrSw), notLoading);           // IRSWClick
    SendOnClick(ctx_, IRLevelSW, WritePrefix(settings::kIrLevelSw), notLoading); // IRLevelSWClick
    IRLevel->OnClick = [this] { IRLevelClick(); };

    // The read decoder fills the groups as the MASK answer handler does, under IrLoading:
    // a value shown from the camera is not sent back to it. Every IR answer carries all five.
    ctx_.OnGroup(settings::kIr.key.Function(), [this](const AnswerView& a) {
        const bool loading = IrLoading;
        IrLoading = true;
        IRL->SetItemIndex(ReadValue(settings::kIr, a));
        IRSW->SetItemIndex(ReadValue(settings::kIrSw, a));
        IRLevel->SetItemIndex(
            ReadValue(IRSW->ItemIndex() != 0 ? settings::kIrLevelExt : settings::kIrLevelInt, a));
        IRLevelSW->SetItemIndex(ReadValue(settings::kIrLevelSw, a));
        IrLoading = loading;
    });
}

MaskTab::~MaskTab() = default;

void MaskTab::UpdatePreview() {
    if (!PreviewMask) return;
    for (int n = 0; n < 2; ++n)
        PreviewMask(n, Masks[n]->View());
}

// The level's command follows the switch source: the external level with "EXT", else the
// internal one.
void MaskTab::IRLevelClick() {
    if (!ctx_.Trans_chk() || IrLoading) return;
    const SettingEntry& level =
        IRSW->ItemIndex() == 1 ? settings::kIrLevelExt : settings::kIrLevelInt;
    SendPayload(ctx_, WritePayload(level, IRLevel->ItemIndex()));
}

void MaskTab::Trans_end_mask() {
    const AnswerView a = ctx_.Answer();
    // A refused command's answer carries no IR state: it must not overwrite what is shown.
    if (a.Group() != settings::kIr.key.Function() || !a.Good()) return;
    IrLoading = true;
    if (a.Item() > settings::kIrLevelSw.key.bytes[1]) return; // past the IR items
    const int ir = ReadValue(settings::kIr, a);
    const int sw = ReadValue(settings::kIrSw, a);
    IRL->SetItemIndex(ir);
    IRSW->SetItemIndex(sw);
    SetEnabled({IRSW, IRLevel, IRLevelSW}, ir != 0);
    if (sw != 0) {
        IRLevel->SetItemIndex(ReadValue(settings::kIrLevelExt, a));
        if (ir == 1) IRLevelSW->setEnabled(true);
    } else {
        IRLevel->SetItemIndex(ReadValue(settings::kIrLevelInt, a));
        IRLevelSW->setEnabled(false);
    }
    IRLevelSW->SetItemIndex(ReadValue(settings::kIrLevelSw, a));
}

} // namespace r8::ui
