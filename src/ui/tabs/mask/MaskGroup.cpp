// SPDX-License-Identifier: MIT
#include "MaskGroup.h"

#include "HexText.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace r8::ui {
namespace {

constexpr uint8_t kSet = 0x21;
constexpr uint8_t kMaskFunction = 0x57;
constexpr int kStepMin = 1, kStepMax = 8;

QString Hex2(uint8_t v) {
    return QString::fromStdString(HexByte(v));
}

// The control name of mask n: "MASK_HS" and 0 give "MASK_HS1".
QString Named(const char* stem, int mask) {
    return QString("%1%2").arg(stem).arg(mask + 1);
}

} // namespace

MaskGroup::MaskGroup(RoomContext& ctx, QWidget* parent, int mask, int x, int y)
    : Mask(mask), ctx_(ctx) {
    build(parent, x, y);
    SendBuilt(ctx_, MASK_OFF->OnClick, [this] { return MASK_OFFClick(); });
    SendBuilt(ctx_, MASK_ON->OnClick, [this] { return MASK_ONClick(); });
    const std::pair<Button*, MaskMove> moves[] = {{MASK_U, MaskMove::Up},
                                                  {MASK_D, MaskMove::Down},
                                                  {MASK_L, MaskMove::Left},
                                                  {MASK_R, MaskMove::Right}};
    for (const auto& m : moves) // (clang 14 cannot capture a structured binding)
        SendBuilt(ctx_, m.first->OnClick, [this, move = m.second] { return MoveClick(move); });
    MASK_SP->OnClick = [this](UpDown::Direction) {
        MASK_un->SetText(QString::number(MASK_SP->Position()));
    };
    for (Edit* e : {MASK_HS, MASK_HE, MASK_VS, MASK_VE})
        e->OnChange = [this] { changed(); };
    ctx_.OnGroup(kMaskFunction, mask, [this](const AnswerView& a) {
        show({a.A(6), a.A(7), a.A(8), a.A(9)});
    });
}

void MaskGroup::build(QWidget* parent, int x, int y) {
    Group = new GroupBox(Named("MASK", Mask), parent);
    Group->setObjectName(Mask == 0 ? "GroupBox2" : "GroupBox11");
    Group->setGeometry(x, y, 340, 200);
    QWidget* g = Group;
    auto name = [this](QWidget* w, const char* stem) { w->setObjectName(Named(stem, Mask)); };
    auto edit = [&](const char* stem, const char* caption, int left) {
        (new Label(caption, g))->setGeometry(left, 22, 60, 16);
        auto* e = new Edit(g);
        e->SetMaxLength(2);
        e->setGeometry(left, 40, 40, 22);
        e->setAccessibleName(caption);
        name(e, stem);
        return e;
    };
    MASK_HS = edit("MASK_HS", "H Start", 12);
    MASK_HE = edit("MASK_HE", "H End", 82);
    MASK_VS = edit("MASK_VS", "V Start", 152);
    MASK_VE = edit("MASK_VE", "V End", 222);
    auto button = [&](const char* stem, const char* caption, int left, int top, int w) {
        auto* b = new Button(caption, g);
        b->setGeometry(left, top, w, 26);
        name(b, stem);
        return b;
    };
    MASK_OFF = button("MASK_OFF", "OFF", 12, 78, 64);
    MASK_ON = button("MASK_ON", "ON", 82, 78, 64);
    MASK_U = button("MASK_U", "U", 230, 76, 34);
    MASK_L = button("MASK_L", "L", 192, 108, 34);
    MASK_R = button("MASK_R", "R", 268, 108, 34);
    MASK_D = button("MASK_D", "D", 230, 140, 34);

    (new Label("Step", g))->setGeometry(12, 118, 40, 16);
    MASK_un = new Edit(g, "1");
    MASK_un->setReadOnly(true);
    MASK_un->setGeometry(52, 114, 28, 22);
    name(MASK_un, "MASK_un");
    MASK_SP = new UpDown(g);
    MASK_SP->SetMin(kStepMin);
    MASK_SP->SetMax(kStepMax);
    MASK_SP->SetPosition(kStepMin);
    MASK_SP->setGeometry(80, 114, 16, 22);
    name(MASK_SP, "MASK_SP");
    MASK_EEP = new CheckBox("EEPROM Write", g);
    MASK_EEP->setGeometry(12, 160, 120, 22);
    name(MASK_EEP, "MASK_EEP");
}

Prefix MaskGroup::MASK_OFFClick() {
    return payload(false, nullptr);
}

Prefix MaskGroup::MASK_ONClick() {
    const MaskRect r = typedRect();
    return payload(true, &r);
}

// Moving a mask also switches it on.
Prefix MaskGroup::MoveClick(MaskMove move) {
    const MaskRect r = MovedMask(typedRect(), move, MASK_SP->Position());
    show(r);
    return payload(true, &r);
}

MaskView MaskGroup::View() const {
    return {rect(), sent_};
}

std::optional<MaskRect> MaskGroup::rect() const {
    const auto hs = MaskCoordinate(MASK_HS->Text().toStdString());
    const auto he = MaskCoordinate(MASK_HE->Text().toStdString());
    const auto vs = MaskCoordinate(MASK_VS->Text().toStdString());
    const auto ve = MaskCoordinate(MASK_VE->Text().toStdString());
    if (!hs || !he || !vs || !ve) return std::nullopt;
    return MaskRect{*hs, *he, *vs, *ve};
}

MaskRect MaskGroup::typedRect() const {
    if (auto r = rect()) return *r;
    for (const Edit* e : {MASK_HS, MASK_HE, MASK_VS, MASK_VE})
        if (!MaskCoordinate(e->Text().toStdString()))
            throw std::runtime_error((Group->title() + " " + e->accessibleName() + ": \"" +
                                      e->Text() +
                                      "\" is not a hexadecimal number. Nothing was sent.")
                                         .toStdString());
    return {};
}

void MaskGroup::show(const MaskRect& r) {
    MASK_HS->SetText(Hex2(r.hs));
    MASK_HE->SetText(Hex2(r.he));
    MASK_VS->SetText(Hex2(r.vs));
    MASK_VE->SetText(Hex2(r.ve));
}

// P3 mask, P4 on, P5 "EEPROM Write", then the rectangle when switching on. The payload goes
// out at once: the switch shown in the preview is the one sent.
Prefix MaskGroup::payload(bool on, const MaskRect* r) {
    const auto mask = static_cast<uint8_t>(Mask);
    const auto eeprom = static_cast<uint8_t>(MASK_EEP->Checked() ? 1 : 0);
    Prefix p = r ? Prefix{kSet, kMaskFunction, mask, 1, eeprom, r->hs, r->he, r->vs, r->ve}
                 : Prefix{kSet, kMaskFunction, mask, static_cast<uint8_t>(on ? 1 : 0), eeprom};
    sent_ = on ? MaskSwitch::On : MaskSwitch::Off;
    changed();
    return p;
}

void MaskGroup::changed() const {
    if (Changed) Changed();
}

} // namespace r8::ui
