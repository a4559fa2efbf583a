#include "EasyTab.h"

namespace r8::ui {

EasyTab::EasyTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet3", "Panel4") {
    AGCTimer = MakeTimer("AGCTimer", 300);
    SENSTimer = MakeTimer("SENSTimer", 300);
    RTimer = MakeTimer("RTimer", 300);
    BTimer = MakeTimer("BTimer", 300);
    PhaseTimer = MakeTimer("PhaseTimer", 300);
    ATWBarTimer = MakeTimer("ATWBarTimer", 300);
    AWBBarTimer = MakeTimer("AWBBarTimer", 300);
    HGainTimer = MakeTimer("HGainTimer", 300);
    VGainTimer = MakeTimer("VGainTimer", 300);
    PeakOnTimer = MakeTimer("PeakOnTimer", 300);
    ALCAutoTimer = MakeTimer("ALCAutoTimer", 300);
    ALCFixTimer = MakeTimer("ALCFixTimer", 300);
    AESAutoTimer = MakeTimer("AESAutoTimer", 300);
    BLCSensTimer = MakeTimer("BLCSensTimer", 300);
    BLCAreaTimer = MakeTimer("BLCAreaTimer", 300);
    ZoomStepTimer = MakeTimer("ZoomStepTimer", 300);
    FocusStepTimer = MakeTimer("FocusStepTimer", 300);
    ZoomSpeedTimer = MakeTimer("ZoomSpeedTimer", 300);
    FocusSpeedTimer = MakeTimer("FocusSpeedTimer", 300);
}

void EasyTab::Trans_end_easy() {}

} // namespace r8::ui
