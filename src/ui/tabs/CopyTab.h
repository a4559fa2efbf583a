#pragma once
#include "TabRoom.h"

namespace r8::ui {

// Copy of the camera's setting image to a settings file and back.
class CopyTab : public TabRoom {
public:
    explicit CopyTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_copy(); }
    void Trans_end_copy();

    Button* CtopOK2;
    Button* ptocOk2;
    Button* ptocOk;
    Label* complete2;
};

} // namespace r8::ui
