// SPDX-License-Identifier: MIT
// The camera's answers on the "CCD Defect" tab, as two tables: the rows of the read decoder for
// the defect group (they run for every read answer, whatever tab is on show) and the answer
// chain of Trans_end_kizu for the answers to the tab's writes (it runs while the tab is on
// show). Rows that end in a chained read or write are the steps of the save, cancel, selection
// and search chains: each answer sends the next command, until a step finds nothing left to do.
#include "DefectTab.h"

#include "Catalogue.h"
#include "DefectSearch.h"
#include "DefectSettings.h"
#include "HexText.h"
#include "patterns/HexSpin.h"
#include "patterns/Senders.h"
#include "widgets/Shape.h"

#include <cstdlib>

namespace r8::ui {

using namespace defect;

namespace {
constexpr uint8_t kGroup = 0x36;
constexpr int kNone = -1;
} // namespace

// A read answer of the defect group. A read of the cancel chain (Kizu_Cancel disabled) reads
// `cancelNext` after it; items 0 and 1, read after a change of the selection (Kizu still
// disabled), read the cursor display next (`selectNext`). Only the chains' own reads go on.
struct DefectTab::ReadRow {
    uint8_t item;
    void (DefectTab::*show)(const AnswerView&);
    int cancelNext;
    int selectNext;
};

const DefectTab::ReadRow DefectTab::kReadRows[] = {
    {0x00, &DefectTab::showPageA, 0x01, 0x09},
    {0x01, &DefectTab::showPageBc, 0x10, 0x09},
    {0x02, &DefectTab::showMeasurement, kNone, kNone},
    {0x05, &DefectTab::showAdjustSet, kNone, kNone}, // ON reads the KF parameters (item 6)
    {0x06, &DefectTab::showAdjustParameters, kNone, kNone},
    {0x09, &DefectTab::showSelection, kNone, kNone},
    {0x10, &DefectTab::showKfFix, 0x11, kNone},
    {0x11, &DefectTab::showKfRev, 0x09, kNone},
};

void DefectTab::registerDecoders() {
    for (const ReadRow& row : kReadRows)
        ctx_.OnGroup(kGroup, row.item, [this, &row](const AnswerView& a) { (this->*row.show)(a); });
}

// A chain step of this tab: its reply, read with the command it answers, goes on with the
// chain. The read decoder has shown a read answer by then; a read of the cancel or the
// selection chain reads the next item.
void DefectTab::sendStep(const Prefix& payload) {
    steps_.Send(payload, [this](const AnswerView& a) {
        if (a.AfterWrite()) {
            writeChain_.Advance(a);
            return;
        }
        for (const ReadRow& row : kReadRows) {
            if (row.item != a.Item()) continue;
            int next = kNone;
            if (!Enabled(Kizu_Cancel))
                next = row.cancelNext;
            else if (!Enabled(Kizu))
                next = row.selectNext;
            if (next != kNone) chainRead(static_cast<uint8_t>(next));
            return;
        }
    });
}

// The answers to the tab's writes. The save and cancel chains go on only while the button that
// started them is disabled.
AnswerChain DefectTab::writeChain() {
    const auto whileDisabled = [this](Button* owner, Prefix next) {
        return [this, owner, next](const AnswerView&) {
            if (!Enabled(owner) && ctx_.Trans_chk()) sendStep(next);
        };
    };
    const auto run = [this](void (DefectTab::*act)(const AnswerView&)) {
        return [this, act](const AnswerView& a) { (this->*act)(a); };
    };
    return AnswerChain({
        {kGroup, 0x00,
         [this](const AnswerView&) {
             sendStep({0x31, kGroup, 0x00});
         }},
        {kGroup, 0x01, run(&DefectTab::positionAnswered)},
        {kGroup, 0x02, whileDisabled(Kizu_Save, {0x21, kGroup, 0x15})},
        {kGroup, 0x03, whileDisabled(Kizu_Cancel, {0x21, kGroup, 0x16})},
        {kGroup, 0x04, run(&DefectTab::showKfChange)},
        {kGroup, 0x05, run(&DefectTab::adjustSetAnswered)},
        {kGroup, 0x09, run(&DefectTab::searchAnswered)},
        {kGroup, 0x0A, run(&DefectTab::threePointAnswered)},
        {kGroup, 0x12, [this](const AnswerView&) { placeCursor(); }},
        {kGroup, 0x15,
         [this, next = whileDisabled(Kizu_Save, {0x31, kGroup, 0x09})](const AnswerView& a) {
             next(a);
             Kizu_Save->setEnabled(true); // the save has ended, even when the read was refused
         }},
        {kGroup, 0x16, whileDisabled(Kizu_Cancel, {0x31, kGroup, 0x00})},
    });
}

void DefectTab::Trans_end_kizu() {
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        ctx_.ShowMessage(" Error ", "ERR", 2);
        return;
    }
    if (a.AfterWrite()) writeChain_.Advance(a);
}

void DefectTab::chainRead(uint8_t item) {
    if (ctx_.Trans_chk()) sendStep({0x31, kGroup, item});
}

// Shape2 at the position in the edits, scaled from the image to the map.
void DefectTab::placeCursor() {
    const CameraState& s = ctx_.State();
    const int x = ParseHex(kizu_ax->Text().toStdString());
    const int y = ParseHex(kizu_ay->Text().toStdString());
    Shape2->Place(ScaleToSpan(x, s.ImageWidth, Shape1->width()),
                  ScaleToSpan(y, s.ImageHeight, Shape1->height()));
}

// Puts a position into the edits without sending it back.
void DefectTab::showPosition(uint16_t x, uint16_t y) {
    kizu_ax->setEnabled(false);
    kizu_ay->setEnabled(false);
    kizu_ax->SetText(HexText(x, 4));
    kizu_ay->SetText(HexText(y, 4));
    kizu_ax->setEnabled(true);
    kizu_ay->setEnabled(true);
}

// Items 0 (defect A: A4 on, A5:A6 X, A7:A8 Y) and 1 (defects B and C: A4 on for both,
// B at A5..A8, C at A9..A12).
void DefectTab::showPage(const AnswerView& a, bool bc) {
    Defect->setEnabled(false);
    kizu_ax->setEnabled(false);
    kizu_ay->setEnabled(false);
    const int k = selected();
    if ((k == 0 && !bc) || (bc && (k == 1 || k == 2))) {
        const int at = k == 2 ? 9 : 5;
        Defect->SetItemIndex(a.A(4));
        kizu_ax->SetText(HexText(a.U16(at), 4));
        kizu_ay->SetText(HexText(a.U16(at + 2), 4));
        placeCursor();
    }
    if (Enabled(Kizu)) {
        if (!bc) {
            KizuAX->SetText(HexText(a.U16(5), 4));
            KizuAY->SetText(HexText(a.U16(7), 4));
        } else {
            KizuBX->SetText(HexText(a.U16(5), 4));
            KizuBY->SetText(HexText(a.U16(7), 4));
            KizuCX->SetText(HexText(a.U16(9), 4));
            KizuCY->SetText(HexText(a.U16(11), 4));
        }
    }
    Defect->setEnabled(true);
    kizu_ax->setEnabled(true);
    kizu_ay->setEnabled(true);
}

// Item 2: even field x1, y1, p1 at A4..A9, odd field at A10..A15. "Kizu Adjust" is offered
// only when both fields saw the same defect.
void DefectTab::showMeasurement(const AnswerView& a) {
    const int x1 = a.U16(4), y1 = a.U16(6), p1 = a.U16(8);
    const int x2 = a.U16(10), y2 = a.U16(12), p2 = a.U16(14);
    Edit* const shown[6] = {kin_x1, kin_y1, kin_p1, kin_x2, kin_y2, kin_p2};
    const int values[6] = {x1, y1, p1, x2, y2, p2};
    for (int i = 0; i < 6; ++i)
        shown[i]->SetText(HexText(values[i], 4));
    KizuRead->setEnabled(true);
    Kizu_Adjust->setEnabled(x1 == x2 && std::abs(y1 - y2) <= 1 && std::abs(p1 - p2) <= 5);
}

// The KF change (the answer to its write) and "Adjust Set" show what the camera reported without
// sending it back.
void DefectTab::showKfChange(const AnswerView& a) {
    const ReadBack quiet;
    VRevKFChange->SetItemIndex(ReadValue(settings::kKfChange, a));
}

void DefectTab::showAdjustSet(const AnswerView& a) {
    {
        const ReadBack quiet;
        AdjustSet->SetItemIndex(ReadValue(settings::kAdjustSet, a));
    }
    if (AdjustSet->ItemIndex() == 0) SetEnabled({VRevKF, SensKFBar}, false);
    if (AdjustSet->ItemIndex() == 1) chainRead(0x06);
}

// Item 6, the adjust parameters: A4 adjust set, A5 KF change, A6 VRev, A9 KF sensitivity (the
// bar shows it bound).
void DefectTab::showAdjustParameters(const AnswerView& a) {
    const ReadBack quiet;
    VRevKF->SetChecked(a.A(6) != 0);
    if (AdjustSet->ItemIndex() == 1) SetEnabled({VRevKF, SensKFBar}, true);
    AdjustSet->setEnabled(true);
}

// Item 9: A4 = the defect whose cursor the camera shows (0 none, 1 A, 2 B, 3 C).
void DefectTab::showSelection(const AnswerView& a) {
    const int shownCursor = a.A(4);
    if (selected() < 0) Kizu->SetItemIndex(shownCursor == 0 ? 0 : shownCursor - 1);
    if (Enabled(Kizu)) {
        kizu_sel->setEnabled(false);
        if (selected() >= 0) kizu_sel->SetItemIndex(shownCursor == selected() + 1 ? 1 : 0);
        kizu_sel->setEnabled(true);
        Kizu_Cancel->setEnabled(true);
    } else {
        // A new selection: the camera shows the cursor of that defect as the operator chose.
        kizu_selClick();
        Kizu->setEnabled(true);
    }
}

void DefectTab::showKfFix(const AnswerView& a) {
    KFFX->setEnabled(false);
    KFFX->SetChecked(ReadValue(settings::kKfFix, a) != 0);
    KFFX->setEnabled(true);
}

void DefectTab::showKfRev(const AnswerView& a) {
    KFRV->setEnabled(false);
    KFRV->SetChecked(ReadValue(settings::kKfRev, a) != 0);
    KFRV->setEnabled(true);
}

// The position of defect A as the camera took it (A4 = 2).
void DefectTab::positionAnswered(const AnswerView& a) {
    if (a.A(4) != 2) return;
    showPosition(a.U16(5), a.U16(7));
    Kizu_Adjust->setEnabled(false);
    if (selected() == 0) placeCursor();
}

void DefectTab::adjustSetAnswered(const AnswerView& a) {
    if (Enabled(AdjustSet)) return;
    if (a.A(4) == 0) {
        SetEnabled({VRevKF, SensKFBar}, false);
        AdjustSet->setEnabled(true);
    } else if (a.A(4) == 1) {
        // The answer to that read enables the group again; unread, the group stays usable.
        if (ctx_.Trans_chk())
            sendStep({0x31, kGroup, 0x06});
        else
            AdjustSet->setEnabled(true);
    }
}

// The automatic search found defect A at A7:A8, A9:A10 (A11 its correction, A12 KF fix,
// A13 KF reverse). With "3 Point" and the correction on, the search goes on for B and C.
void DefectTab::searchAnswered(const AnswerView& a) {
    if (Enabled(kizu_auto)) return;
    SetEnabled({kizu_ax, kizu_ay, Defect, KFFX, KFRV}, false);
    if (selected() == 0) {
        kizu_ax->SetText(HexText(a.U16(7), 4));
        kizu_ay->SetText(HexText(a.U16(9), 4));
        Defect->SetItemIndex(a.A(11));
        KFFX->SetChecked(a.A(12) != 0);
        KFRV->SetChecked(a.A(13) != 0);
        placeCursor();
    }
    KizuAX->SetText(HexText(a.U16(7), 4));
    KizuAY->SetText(HexText(a.U16(9), 4));
    SetEnabled({kizu_ax, kizu_ay, Defect, KFFX, KFRV}, true);
    if (Auto3Point->Checked() && a.A(11) == 1 && ctx_.Trans_chk()) {
        sendStep({0x21, kGroup, 0x0A, SignedByte(kSearchDx),
                  SignedByte(SearchDy(ctx_.State().TvIsNtsc)), SignedByte(kSearchPeak)});
        return;
    }
    SetEnabled({kizu_auto, Auto3Point}, true);
}

// The three-point step: B at A7..A10, C at A11..A14, A15 their correction.
void DefectTab::threePointAnswered(const AnswerView& a) {
    if (Enabled(kizu_auto)) return;
    SetEnabled({kizu_ax, kizu_ay, Defect}, false);
    const int k = selected();
    if (k == 1 || k == 2) {
        const int at = k == 1 ? 7 : 11;
        kizu_ax->SetText(HexText(a.U16(at), 4));
        kizu_ay->SetText(HexText(a.U16(at + 2), 4));
        Defect->SetItemIndex(a.A(15));
        placeCursor();
    }
    KizuBX->SetText(HexText(a.U16(7), 4));
    KizuBY->SetText(HexText(a.U16(9), 4));
    KizuCX->SetText(HexText(a.U16(11), 4));
    KizuCY->SetText(HexText(a.U16(13), 4));
    SetEnabled({kizu_ax, kizu_ay, Defect, kizu_auto, Auto3Point}, true);
}

} // namespace r8::ui
