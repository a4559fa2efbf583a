#pragma once
#include "TabRoom.h"

namespace r8::ui {

// Factory adjustments: timing delays, DC-lens offset, chroma, white-balance presets.
class AdjustTab : public TabRoom {
public:
    explicit AdjustTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, // setting 1: resolution
        {0x0A, 0x40, 0, 3}, // setting 64: TV system
        {0x42, 0, 0, 2},    // CCD timing nibbles
        {0x37, 0x00, 0, 3}, // shutter display selection
        {0x37, 0x01, 0, 3}, // sync display selection
        {0x1B, 0x00, 0, 3}, // white balance mode
        {0x1B, 0x05, 0, 3}, // ATW level
        {0x1B, 0x06, 0, 3}, // AWB level
        {0x43, 0, 0, 2},    // PWM reference
        {0x0A, 0x2B, 0, 3}, // setting 43: chroma gains
        {0x0A, 0x2C, 0, 3}, // settings 44-47
        {0x0A, 0x2D, 0, 3}, {0x0A, 0x2E, 0, 3}, {0x0A, 0x2F, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_cstm(); }
    void Trans_end_cstm();

    Timer* Timercrm;
    Timer* TimerRYP;
    Timer* TimerBYP;
    Timer* TimerRYN;
    Timer* TimerBYN;
};

} // namespace r8::ui
