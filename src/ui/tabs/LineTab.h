#pragma once
#include "TabRoom.h"

namespace r8::ui {

// IRIS and lens adjustment steps for the production line.
class LineTab : public TabRoom {
public:
    explicit LineTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, {0x0A, 0x40, 0, 3}, {0x53, 0, 0, 2}, // IRIS bias
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_line(); }
    void Trans_end_line();
};

} // namespace r8::ui
