// SPDX-License-Identifier: MIT
#pragma once
#include "TabRoom.h"
#include "mask/MaskGeometry.h"
#include "patterns/Bind.h"
#include "ui_MaskTab.h"

#include <array>
#include <functional>
#include <memory>

namespace r8::ui {

class MaskGroup;

// The two privacy mask rectangles with a button that shows them in the preview window, and the
// IR group (hidden: only the camera's answers change it).
class MaskTab : public TabRoom, public Ui::MaskTabForm {
public:
    explicit MaskTab(RoomContext& ctx);
    ~MaskTab() override;

    static constexpr PageRequest kPage[] = {
        {0x57, 0x00, 0x00, 4}, // mask 1 rectangle
        {0x57, 0x01, 0x00, 4}, // mask 2 rectangle
    };
    PageTable Page() const override { return kPage; }
    // The IR groups are filled under IrLoading, which ends with the answer.
    void OnAnswer() override {
        Trans_end_mask();
        IrLoading = false;
    }
    void Trans_end_mask();

    // Masks[0] is "MASK1" (GroupBox2), Masks[1] "MASK2" (GroupBox11).
    std::array<std::unique_ptr<MaskGroup>, 2> Masks;
    // Given by the main window: shows the preview window, and draws a mask into it.
    std::function<void()> ShowPreview;
    std::function<void(int mask, const MaskView& view)> PreviewMask;
    // Draws both masks as they stand.
    void UpdatePreview();

    // The IR group (IR: IRL, IRSW, IRLevel, IRLevelSW) comes with the form.
    // Set while the camera's answer fills the IR groups: their click handlers send nothing.
    bool IrLoading = false;

private:
    void IRLevelClick();
    BoundForm bound_;
};

} // namespace r8::ui
