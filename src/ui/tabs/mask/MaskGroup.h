// SPDX-License-Identifier: MIT
#pragma once
// One privacy mask of the "MASK" tab: its four coordinate edits, "OFF" and "ON", the four moves
// with their step, and "EEPROM Write". Both masks are set up from this one form in their group
// boxes; mask n (0 or 1) names its controls with the digit n + 1 (MASK_HS1, MASK_ON2, ...).
#include "MaskGeometry.h"
#include "Room.h"
#include "patterns/Senders.h"
#include "ui_MaskGroup.h"
#include "widgets/Controls.h"

#include <functional>
#include <optional>

namespace r8::ui {

class MaskGroup : public Ui::MaskGroupForm {
public:
    // Sets the form up in group and registers the read decoder of its rectangle.
    MaskGroup(RoomContext& ctx, GroupBox* group, int mask);

    // The payloads of MASK_OFFnClick, MASK_ONnClick and MASK_Un/Dn/Ln/RnClick, worked out when
    // Trans_chk has accepted the click. A move writes the new rectangle into the edits.
    Prefix MASK_OFFClick();
    Prefix MASK_ONClick();
    Prefix MoveClick(MaskMove move);

    // What the preview shows of this mask.
    MaskView View() const;
    // The rectangle in the edits or the switch last sent has changed.
    std::function<void()> Changed;

    const int Mask;        // P3 of the mask command
    GroupBox* const Group; // GroupBox2 "MASK1", GroupBox11 "MASK2"
    // The form's controls: MASK_HS, MASK_HE, MASK_VS, MASK_VE, MASK_OFF, MASK_ON, MASK_U,
    // MASK_D, MASK_L, MASK_R, MASK_un (shows the step of MASK_SP), MASK_SP, MASK_EEP.

private:
    // The four edits as bytes, nothing while one holds no value.
    std::optional<MaskRect> rect() const;
    // The four edits as bytes; an edit that holds no value is reported to the operator.
    MaskRect typedRect() const;
    void show(const MaskRect& r);
    Prefix payload(bool on, const MaskRect* r);
    void changed() const;

    RoomContext& ctx_;
    MaskSwitch sent_ = MaskSwitch::Unknown;
};

} // namespace r8::ui
