// SPDX-License-Identifier: MIT
#include "MaskTab.h"

#include "mask/MaskGroup.h"
#include "patterns/Senders.h"

namespace r8::ui {

MaskTab::MaskTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet6", "") {
    for (int n = 0; n < 2; ++n) {
        Masks[n] = std::make_unique<MaskGroup>(ctx, Body(), n, 8 + 354 * n, 8);
        Masks[n]->Changed = [this, n] {
            if (PreviewMask) PreviewMask(n, Masks[n]->View());
        };
    }
    MaskPreview = new Button("Preview", Body());
    MaskPreview->setObjectName("MaskPreview");
    MaskPreview->setGeometry(602, 216, 100, 26);
    MaskPreview->OnClick = [this] {
        UpdatePreview();
        if (ShowPreview) ShowPreview();
    };

    IR = new GroupBox("IR", Body());
    IR->setGeometry(8, 216, 400, 226);
    IRL = new RadioGroup("IR", {"OFF", "ON"}, 1, IR);
    IRL->setGeometry(8, 20, 90, 88);
    IRSW = new RadioGroup("SW", {"INT", "EXT"}, 1, IR);
    IRSW->setGeometry(8, 112, 90, 88);
    QStringList levels;
    for (int i = 1; i <= 18; ++i)
        levels << QString::number(i);
    IRLevel = new RadioGroup("LEVEL", levels, 3, IR);
    IRLevel->setGeometry(104, 20, 160, 196);
    IRLevelSW = new RadioGroup("EXT LEVEL SW", {"POSI", "NEGA"}, 1, IR);
    IRLevelSW->setGeometry(270, 20, 122, 88);
    IR->hide();

    auto notLoading = [this] { return !IrLoading; };
    SendOnClick(ctx_, IRL, {0x21, 0x58, 0x00}, notLoading);       // IRLClick
    SendOnClick(ctx_, IRSW, {0x21, 0x58, 0x01}, notLoading);      // IRSWClick
    SendOnClick(ctx_, IRLevelSW, {0x21, 0x58, 0x04}, notLoading); // IRLevelSWClick
    IRLevel->OnClick = [this] { IRLevelClick(); };

    // The read decoder fills the groups as the MASK answer handler does, under IrLoading:
    // a value shown from the camera is not sent back to it.
    ctx_.OnGroup(0x58, [this](const AnswerView& a) {
        const bool loading = IrLoading;
        IrLoading = true;
        IRL->SetItemIndex(a.A(4));
        IRSW->SetItemIndex(a.A(5));
        IRLevel->SetItemIndex(IRSW->ItemIndex() != 0 ? a.A(7) : a.A(6));
        IRLevelSW->SetItemIndex(a.A(8));
        IrLoading = loading;
    });
}

MaskTab::~MaskTab() = default;

void MaskTab::UpdatePreview() {
    if (!PreviewMask) return;
    for (int n = 0; n < 2; ++n)
        PreviewMask(n, Masks[n]->View());
}

// The level's item byte follows the switch source: 2 internal, 3 external.
void MaskTab::IRLevelClick() {
    if (!ctx_.Trans_chk() || IrLoading) return;
    const uint8_t item = IRSW->ItemIndex() == 1 ? 0x03 : 0x02;
    ctx_.Send({0x21, 0x58, item, static_cast<uint8_t>(IRLevel->ItemIndex() & 0xFF)});
}

void MaskTab::Trans_end_mask() {
    const AnswerView a = ctx_.Answer();
    // A refused command's answer carries no IR state: it must not overwrite what is shown.
    if (a.Group() != 0x58 || !a.Good()) return;
    IrLoading = true;
    if (a.Item() > 4) return;
    IRL->SetItemIndex(a.A(4));
    IRSW->SetItemIndex(a.A(5));
    SetEnabled({IRSW, IRLevel, IRLevelSW}, a.A(4) != 0);
    if (a.A(5) != 0) {
        IRLevel->SetItemIndex(a.A(7));
        if (a.A(4) == 1) IRLevelSW->setEnabled(true);
    } else {
        IRLevel->SetItemIndex(a.A(6));
        IRLevelSW->setEnabled(false);
    }
    IRLevelSW->SetItemIndex(a.A(8));
}

} // namespace r8::ui
