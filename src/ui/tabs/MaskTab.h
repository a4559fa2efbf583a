#pragma once
#include "TabRoom.h"

namespace r8::ui {

// The two privacy mask rectangles.
class MaskTab : public TabRoom {
public:
    explicit MaskTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x57, 0x00, 0x00, 4}, // mask 1 rectangle
        {0x57, 0x01, 0x00, 4}, // mask 2 rectangle
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_mask(); }
    void Trans_end_mask();
};

} // namespace r8::ui
