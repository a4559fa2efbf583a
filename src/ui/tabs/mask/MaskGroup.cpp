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

} // namespace

MaskGroup::MaskGroup(RoomContext& ctx, GroupBox* group, int mask)
    : Mask(mask), Group(group), ctx_(ctx) {
    setupUi(group);
    // The form names the controls of one mask; each takes the digit of its mask (MASK_HS1).
    for (QWidget* w : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->objectName().isEmpty())
            w->setObjectName(w->objectName() + QString::number(mask + 1));
    MASK_SP->SetMin(kStepMin);
    MASK_SP->SetMax(kStepMax);
    MASK_SP->SetPosition(kStepMin);
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
    MASK_HS->SetText(Q(HexByte(r.hs)));
    MASK_HE->SetText(Q(HexByte(r.he)));
    MASK_VS->SetText(Q(HexByte(r.vs)));
    MASK_VE->SetText(Q(HexByte(r.ve)));
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
