#pragma once
#include "TabRoom.h"

namespace r8::ui {

// The camera's user menu functions.
class EasyTab : public TabRoom {
public:
    explicit EasyTab(RoomContext& ctx);

    static constexpr PageRequest kPage[] = {
        {0x60, 0, 0, 3}, {0x60, 1, 0, 3}, {0x60, 2, 0, 3},       {0x60, 3, 0, 3}, // Easy blocks 0-9
        {0x60, 4, 0, 3}, {0x60, 5, 0, 3}, {0x60, 6, 0, 3},       {0x60, 7, 0, 3},
        {0x60, 8, 0, 3}, {0x60, 9, 0, 3}, {0x0C, 0x01, 0x51, 4}, // camera register 0x0151
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_easy(); }
    void Trans_end_easy();

    Timer* AGCTimer;
    Timer* SENSTimer;
    Timer* RTimer;
    Timer* BTimer;
    Timer* PhaseTimer;
    Timer* ATWBarTimer;
    Timer* AWBBarTimer;
    Timer* HGainTimer;
    Timer* VGainTimer;
    Timer* PeakOnTimer;
    Timer* ALCAutoTimer;
    Timer* ALCFixTimer;
    Timer* AESAutoTimer;
    Timer* BLCSensTimer;
    Timer* BLCAreaTimer;
    Timer* ZoomStepTimer;
    Timer* FocusStepTimer;
    Timer* ZoomSpeedTimer;
    Timer* FocusSpeedTimer;
};

} // namespace r8::ui
