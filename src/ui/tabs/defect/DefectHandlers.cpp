// The handlers of the "CCD Defect" tab. Each asks Trans_chk first and does nothing at all when
// it refuses; the camera's answer is handled in DefectAnswers.cpp. Values that the answer
// handling writes into the controls are not sent back: it disables the control while it writes,
// and the handlers of those controls send nothing while their control is disabled.
#include "DefectTab.h"

#include "DefectSearch.h"
#include "HexText.h"
#include "patterns/Senders.h"
#include "widgets/Shape.h"
#include "widgets/SpinEdit.h"

namespace r8::ui {

using namespace defect;

namespace {
uint8_t Hi(int v) {
    return static_cast<uint8_t>(v >> 8 & 0xFF);
}
uint8_t Lo(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t Bit(bool on) {
    return on ? 1 : 0;
}
QString Hex4(int v) {
    return QString::fromStdString(HexWord(static_cast<uint16_t>(v)));
}
} // namespace

void DefectTab::bindHandlers() {
    Kizu->OnClick = [this] { KizuClick(); };
    Defect->OnClick = [this] { DefectClick(); };
    kizu_sel->OnClick = [this] { kizu_selClick(); };
    KFFX->OnClick = [this] { KFFXClick(); };
    KFRV->OnClick = [this] { KFRVClick(); };
    kizu_ax->OnChange = [this] { kizu_axChange(); };
    kizu_ay->OnChange = [this] { kizu_axChange(); };
    kizu_up->OnClick = [this] { kizu_upClick(); };
    kizu_down->OnClick = [this] { kizu_downClick(); };
    kizu_left->OnClick = [this] { kizu_leftClick(); };
    kizu_right->OnClick = [this] { kizu_rightClick(); };
    Shape1->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Shape1MouseUp(b, m, x, y);
    };
    Timerkizu->OnTimer = [this] { TimerkizuTimer(); };
    kizu_auto->OnClick = [this] { kizu_autoClick(); };
    Kizu_Save->OnClick = [this] { Kizu_SaveClick(); };
    Kizu_Cancel->OnClick = [this] { Kizu_CancelClick(); };
    KizuRead->OnClick = [this] { KizuReadClick(); };
    Kizu_Adjust->OnClick = [this] { Kizu_AdjustClick(); };
    AdjustInfo->OnClick = [this] { AdjustInfoClick(); };
    VRevKF->OnClick = [this] { VRevKFClick(); };
    VRevKFChange->OnClick = [this] { VRevKFChangeClick(); };
    SensUpKFOFF->OnClick = [this] { SensUpKFOFFClick(); };
    SendDisablingSelf(ctx_, AdjustSet, {0x21, 0x36, 0x05}); // AdjustSetClick
    // SensKFBarChange arms SensKFTimer unless a page load writes the bar; SensKFTimerTimer
    // sends the position of that moment, or tries again at its next tick.
    sensKf_ =
        std::make_unique<DebouncedBar>(ctx_, SensKFBar, Prefix{0x21, 0x36, 0x06}, "SensKFTimer");
    SensKFTimer = sensKf_->DebounceTimer;
}

bool DefectTab::send(std::initializer_list<uint8_t> payload) {
    if (!ctx_.Trans_chk()) return false;
    ctx_.Send(payload);
    return true;
}

int DefectTab::selected() const {
    return Kizu->ItemIndex();
}

void DefectTab::KizuClick() {
    if (!ctx_.Trans_chk()) return;
    Kizu->setEnabled(false); // the page read of the selection enables it again
    ctx_.Send({0x31, 0x36, static_cast<uint8_t>(selected() == 0 ? 0x00 : 0x01)});
}

void DefectTab::DefectClick() {
    if (!Enabled(Defect) || selected() < 0) return;
    send(
        {0x21, 0x36, static_cast<uint8_t>(selected() == 0 ? 0x07 : 0x14), Lo(Defect->ItemIndex())});
}

void DefectTab::kizu_selClick() {
    if (!Enabled(kizu_sel) || selected() < 0) return;
    const uint8_t on = Lo(kizu_sel->ItemIndex());
    if (selected() == 0)
        send({0x21, 0x36, 0x01, on});
    else
        send({0x21, 0x36, 0x13, on, static_cast<uint8_t>(selected() - 1)});
}

void DefectTab::KFFXClick() {
    if (Enabled(KFFX)) send({0x21, 0x36, 0x10, Bit(KFFX->Checked())});
}

void DefectTab::KFRVClick() {
    if (Enabled(KFRV)) send({0x21, 0x36, 0x11, Bit(KFRV->Checked())});
}

void DefectTab::kizu_axChange() {
    if (kizu_ax->Text().size() != 4 || kizu_ay->Text().size() != 4) return;
    if (!Enabled(kizu_ax) || !Enabled(kizu_ay)) return;
    if (!ctx_.Trans_chk()) return;
    const int x = CompleteHexValue(kizu_ax), y = CompleteHexValue(kizu_ay);
    if (x < 0 || y < 0) return; // a text that is no hexadecimal number is never sent
    Edit* const shown[3][2] = {{KizuAX, KizuAY}, {KizuBX, KizuBY}, {KizuCX, KizuCY}};
    const int k = selected();
    if (k < 0) return;
    shown[k][0]->SetText(Hex4(x));
    shown[k][1]->SetText(Hex4(y));
    const uint8_t p3 = k == 0 ? 0x01 : 0x12, p4 = k == 0 ? 0x02 : static_cast<uint8_t>(k - 1);
    ctx_.Send({0x21, 0x36, p3, p4, Hi(x), Lo(x), Hi(y), Lo(y)});
}

// A step acts on a complete position only; the new text sends it at once.
void DefectTab::stepEdit(Edit* edit, int step, int max) {
    const int v = CompleteHexValue(edit);
    if (v < 0) return;
    edit->SetText(Hex4(Stepped(v, step, max)));
}

void DefectTab::kizu_upClick() {
    stepEdit(kizu_ay, -SpinEdit1->Value(), kMaxY);
}
void DefectTab::kizu_downClick() {
    stepEdit(kizu_ay, SpinEdit1->Value(), kMaxY);
}
void DefectTab::kizu_leftClick() {
    stepEdit(kizu_ax, -SpinEdit1->Value(), kMaxX);
}
void DefectTab::kizu_rightClick() {
    stepEdit(kizu_ax, SpinEdit1->Value(), kMaxX);
}

// The map spans ImageWidth x ImageHeight. The two new texts send nothing (the edits are
// disabled meanwhile); Timerkizu sends the position once.
void DefectTab::Shape1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    const CameraState& s = ctx_.State();
    kizu_ax->setEnabled(false);
    kizu_ay->setEnabled(false);
    kizu_ax->SetText(Hex4(ScaleToSpan(x, Shape1->width(), s.ImageWidth)));
    kizu_ay->SetText(Hex4(ScaleToSpan(y, Shape1->height(), s.ImageHeight)));
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

void DefectTab::kizu_autoClick() {
    if (!ctx_.Trans_chk()) return;
    kizu_auto->setEnabled(false);
    Auto3Point->setEnabled(false);
    ctx_.Send({0x21, 0x36, 0x09, SignedByte(kSearchDx), SignedByte(SearchDy(ctx_.State().TvIsNtsc)),
               SignedByte(kSearchPeak)});
}

void DefectTab::Kizu_SaveClick() {
    if (!ctx_.Trans_chk()) return;
    Kizu_Save->setEnabled(false); // until the save chain has ended
    ctx_.Send({0x21, 0x36, 0x02});
}

void DefectTab::Kizu_CancelClick() {
    if (!ctx_.Trans_chk()) return;
    Kizu_Cancel->setEnabled(false); // until the cancel chain has read the selection back
    ctx_.Send({0x21, 0x36, 0x03});
}

void DefectTab::KizuReadClick() {
    if (!ctx_.Trans_chk()) return;
    KizuRead->setEnabled(false);
    ctx_.Send({0x31, 0x36, 0x02});
}

// The correction for the measured defect; Timerkizu sends it for the selected defect.
void DefectTab::Kizu_AdjustClick() {
    if (!ctx_.Trans_chk()) return;
    Kizu_Adjust->setEnabled(false);
    kizu_ax->setEnabled(false);
    kizu_ay->setEnabled(false);
    const Position p = CorrectionFor(
        ParseHex(kin_x1->Text().toStdString()), ParseHex(kin_y1->Text().toStdString()),
        ParseHex(kin_y2->Text().toStdString()), ctx_.State().TvIsNtsc != 0);
    kizu_ax->SetText(Hex4(p.x));
    kizu_ay->SetText(Hex4(p.y));
    kizu_ax->setEnabled(true);
    kizu_ay->setEnabled(true);
    Timerkizu->SetEnabled(true);
}

void DefectTab::AdjustInfoClick() {
    if (showAdjustInfo_) showAdjustInfo_();
}

void DefectTab::VRevKFClick() {
    send({0x21, 0x1D, 0x04, Bit(VRevKF->Checked())});
}

void DefectTab::VRevKFChangeClick() {
    send({0x21, 0x36, 0x04, Lo(VRevKFChange->ItemIndex())});
}

void DefectTab::SensUpKFOFFClick() {
    send({0x21, 0x36, 0x0B, Lo(SensUpKFOFF->ItemIndex())});
}

} // namespace r8::ui
