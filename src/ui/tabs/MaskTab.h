#pragma once
#include "TabRoom.h"

namespace r8::ui {

// The two privacy mask rectangles, and the IR group (hidden: only the camera's answers
// change it).
class MaskTab : public TabRoom {
public:
    explicit MaskTab(RoomContext& ctx);

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

    GroupBox* IR;
    RadioGroup* IRL;
    RadioGroup* IRSW;
    RadioGroup* IRLevel;
    RadioGroup* IRLevelSW;
    // Set while the camera's answer fills the IR groups: their click handlers send nothing.
    bool IrLoading = false;

private:
    void IRLevelClick();
};

} // namespace r8::ui
