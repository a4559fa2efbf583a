#pragma once
#include "TabRoom.h"

namespace r8::ui {

// Direct register, EEPROM and RAM access.
class DebugTab : public TabRoom {
public:
    explicit DebugTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Debug_tend(); }
    void Debug_tend();
};

} // namespace r8::ui
