#include "DefectTab.h"

#include "patterns/Senders.h"

namespace r8::ui {

DefectTab::DefectTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet5", "Panel6") {
    Timerkizu = MakeTimer("Timerkizu", 100);
    SensKFTimer = MakeTimer("SensKFTimer", 300);

    AdjustSet = new RadioGroup("Adjust Set", {"OFF", "ON"}, 2, Body());
    AdjustSet->setGeometry(8, 380, 130, 62);
    SendDisablingSelf(ctx_, AdjustSet, {0x21, 0x36, 0x05}); // AdjustSetClick

    ctx_.OnGroup(0x36, 5, [this](const AnswerView& a) {
        AdjustSet->SetItemIndex(a.A(4));
        // ON: the adjust parameters follow in item 6.
        if (AdjustSet->ItemIndex() == 1 && ctx_.Trans_chk()) ctx_.Send({0x31, 0x36, 0x06});
    });
    ctx_.OnGroup(0x36, 6, [this](const AnswerView&) { AdjustSet->setEnabled(true); });
}

void DefectTab::Trans_end_kizu() {
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        ctx_.ShowMessage(" Error ", "ERR", 2);
        return;
    }
    if (!a.AfterWrite() || a.Group() != 0x36) return;
    switch (a.Item()) {
    case 0x05: // the adjust set answer; ON reads the adjust parameters, which enable it again
        if (AdjustSet->isEnabled()) return;
        if (a.A(4) == 0) AdjustSet->setEnabled(true);
        if (a.A(4) == 1 && ctx_.Trans_chk()) ctx_.Send({0x31, 0x36, 0x06});
        return;
    default:
        return;
    }
}

} // namespace r8::ui
