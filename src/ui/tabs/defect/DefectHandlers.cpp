// SPDX-License-Identifier: MIT
// The handlers of the "CCD Defect" tab, bound with the shared control patterns. Each asks
// Trans_chk first and does nothing at all when it refuses; the camera's answer is handled in
// DefectAnswers.cpp. Values that the answer handling writes into the controls are not sent back:
// it disables the control while it writes, and the handlers of those controls send nothing while
// their control is disabled.
#include "DefectTab.h"

#include "Catalogue.h"
#include "DefectSearch.h"
#include "DefectSettings.h"
#include "EasySettings.h"
#include "HexText.h"
#include "patterns/Bind.h"
#include "patterns/HexSpin.h"
#include "widgets/Shape.h"
#include "widgets/SpinEdit.h"

namespace r8::ui {

using namespace defect;

void DefectTab::bindHandlers() {
    // KizuClick: the selection stays disabled until the page of its defect has been read.
    Kizu->OnClick = [this] {
        if (!steps_.MayStart()) return;
        Kizu->setEnabled(false);
        sendStep({0x31, 0x36, LoByte(selected() == 0 ? 0x00 : 0x01)});
    };
    // DefectClick: A alone, or B and C together.
    SendBuilt(ctx_, Defect->OnClick, [this]() -> std::optional<Prefix> {
        if (!Enabled(Defect) || selected() < 0) return std::nullopt;
        return Prefix{0x21, 0x36, LoByte(selected() == 0 ? 0x07 : 0x14),
                      LoByte(Defect->ItemIndex())};
    });
    // kizu_selClick: the cursor display of the selected defect.
    SendBuilt(ctx_, kizu_sel->OnClick, [this]() -> std::optional<Prefix> {
        if (!Enabled(kizu_sel) || selected() < 0) return std::nullopt;
        const uint8_t on = LoByte(kizu_sel->ItemIndex());
        if (selected() == 0) return Prefix{0x21, 0x36, 0x01, on};
        return Prefix{0x21, 0x36, 0x13, on, LoByte(selected() - 1)};
    });
    // KFFXClick, KFRVClick.
    for (const auto& [kfBox, kfSetting] :
         {std::pair{KFFX, &settings::kKfFix}, {KFRV, &settings::kKfRev}}) {
        auto* box = kfBox; // named copies: clang 14 cannot capture a structured binding
        const auto* setting = kfSetting;
        SendBuilt(ctx_, box->OnClick, [box, setting]() -> std::optional<Prefix> {
            if (!Enabled(box)) return std::nullopt;
            return WritePayload(*setting, box->Checked() ? 1 : 0);
        });
    }
    // kizu_axChange (both edits): the position of the selected defect, also shown on Panel8.
    SendOnCompleteHexGroup(
        ctx_, {kizu_ax, kizu_ay},
        [this](const std::vector<int>& v) {
            Edit* const stored[3][2] = {{KizuAX, KizuAY}, {KizuBX, KizuBY}, {KizuCX, KizuCY}};
            const int k = selected();
            stored[k][0]->SetText(HexText(v[0], 4));
            stored[k][1]->SetText(HexText(v[1], 4));
            const uint8_t p3 = k == 0 ? 0x01 : 0x12, p4 = LoByte(k == 0 ? 0x02 : k - 1);
            return Prefix{0x21,         0x36,         p3,           p4,
                          HiByte(v[0]), LoByte(v[0]), HiByte(v[1]), LoByte(v[1])};
        },
        [this] { return Enabled(kizu_ax) && Enabled(kizu_ay) && selected() >= 0; });
    // kizu_upClick, kizu_downClick, kizu_leftClick, kizu_rightClick: the new text sends at once.
    // SpinEdit1 keeps the step within 1..1023: below 1 it would stand still or run the wrong way
    // past the limits.
    const auto step = [this](Edit* edit, int direction, int max) {
        const SpinRule rule{0, max, Edge::Clamp, [this] { return SpinEdit1->Value(); }};
        if (const auto v = SpinStep(CompleteHexValue(edit), direction, rule))
            edit->SetText(HexText(*v, 4));
    };
    kizu_up->OnClick = [=, this] { step(kizu_ay, -1, kMaxY); };
    kizu_down->OnClick = [=, this] { step(kizu_ay, +1, kMaxY); };
    kizu_left->OnClick = [=, this] { step(kizu_ax, -1, kMaxX); };
    kizu_right->OnClick = [=, this] { step(kizu_ax, +1, kMaxX); };
    Shape1->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Shape1MouseUp(b, m, x, y);
    };
    Timerkizu->OnTimer = [this] { TimerkizuTimer(); };
    // kizu_autoClick: the search for defect A; "3 Point" goes on with B and C.
    kizu_auto->OnClick = [this] {
        if (!steps_.MayStart()) return;
        SetEnabled({kizu_auto, Auto3Point}, false);
        sendStep({0x21, 0x36, 0x09, SignedByte(kSearchDx),
                  SignedByte(SearchDy(ctx_.State().TvIsNtsc)), SignedByte(kSearchPeak)});
    };
    // Kizu_SaveClick, Kizu_CancelClick: disabled until their chain has ended.
    for (const auto& [button, item] : {std::pair{Kizu_Save, 0x02}, {Kizu_Cancel, 0x03}}) {
        Button* const b = button; // named copies: clang 14 cannot capture a structured binding
        const int sub = item;
        b->OnClick = [this, b, sub] {
            if (!steps_.MayStart()) return;
            b->setEnabled(false);
            sendStep({0x21, 0x36, LoByte(sub)});
        };
    }
    // KizuReadClick: disabled until the measurement has been read.
    SendDisabling(ctx_, KizuRead, {0x31, 0x36, 0x02}, {KizuRead});
    Kizu_Adjust->OnClick = [this] { Kizu_AdjustClick(); };
    AdjustInfo->OnClick = [this] { AdjustInfoClick(); };
    // VRevKFClick: the camera's vertical reverse, the Easy tab's setting.
    SendOnClick(ctx_, VRevKF, WritePrefix(settings::kVRev));
    // VRevKFChangeClick, SensUpKFOFFClick and SensKFBarChange / SensKFTimerTimer are bound by
    // name (DefectTab.cpp).
    // AdjustSetClick: disabled until the camera took it (and, for ON, the KF values were read).
    AdjustSet->OnClick = [this] {
        if (!steps_.MayStart()) return;
        AdjustSet->setEnabled(false);
        Prefix p = WritePrefix(settings::kAdjustSet);
        p.push_back(LoByte(AdjustSet->ItemIndex()));
        sendStep(p);
    };
}

int DefectTab::selected() const {
    return Kizu->ItemIndex();
}

void DefectTab::kizu_selClick() {
    kizu_sel->OnClick();
}

void DefectTab::kizu_axChange() {
    kizu_ax->OnChange();
}

// The map spans ImageWidth x ImageHeight. The two new texts send nothing (the edits are
// disabled meanwhile); Timerkizu sends the position once.
void DefectTab::Shape1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    const CameraState& s = ctx_.State();
    kizu_ax->setEnabled(false);
    kizu_ay->setEnabled(false);
    kizu_ax->SetText(HexText(ScaleToSpan(x, Shape1->width(), s.ImageWidth), 4));
    kizu_ay->SetText(HexText(ScaleToSpan(y, Shape1->height(), s.ImageHeight), 4));
    kizu_ax->setEnabled(true);
    kizu_ay->setEnabled(true);
    Timerkizu->SetEnabled(true);
}

// Tries again at every tick until the link is free.
void DefectTab::TimerkizuTimer() {
    if (!ctx_.Trans_chk()) return;
    Timerkizu->SetEnabled(false);
    kizu_axChange();
}

// The correction for the measured defect; Timerkizu sends it for the selected defect.
void DefectTab::Kizu_AdjustClick() {
    if (!ctx_.Trans_chk()) return;
    SetEnabled({Kizu_Adjust, kizu_ax, kizu_ay}, false);
    const Position p = CorrectionFor(
        ParseHex(kin_x1->Text().toStdString()), ParseHex(kin_y1->Text().toStdString()),
        ParseHex(kin_y2->Text().toStdString()), ctx_.State().TvIsNtsc != 0);
    kizu_ax->SetText(HexText(p.x, 4));
    kizu_ay->SetText(HexText(p.y, 4));
    SetEnabled({kizu_ax, kizu_ay}, true);
    Timerkizu->SetEnabled(true);
}

void DefectTab::AdjustInfoClick() {
    if (showAdjustInfo_) showAdjustInfo_();
}

} // namespace r8::ui
