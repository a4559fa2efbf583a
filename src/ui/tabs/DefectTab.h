#pragma once
#include "TabRoom.h"

namespace r8::ui {

// Positions and correction of defective CCD pixels.
class DefectTab : public TabRoom {
public:
    explicit DefectTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, {0x0A, 0x40, 0, 3}, {0x36, 0x09, 0, 3}, // defect selection
        {0x36, 0x00, 0, 3},                                         // defect A position
        {0x36, 0x01, 0, 3},                                         // defect B and C positions
        {0x36, 0x10, 0, 3}, {0x36, 0x11, 0, 3}, {0x36, 0x05, 0, 3},
        {0x36, 0x04, 0, 3}, {0x36, 0x0B, 0, 3}, {0x36, 0x06, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_kizu(); }
    void Trans_end_kizu();

    // Switches the camera's defect adjust mode; disabled from its send until the answer.
    RadioGroup* AdjustSet;

    Timer* Timerkizu;
    Timer* SensKFTimer;
};

} // namespace r8::ui
