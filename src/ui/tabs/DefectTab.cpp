#include "DefectTab.h"

namespace r8::ui {

DefectTab::DefectTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet5", "Panel6") {
    Timerkizu = MakeTimer("Timerkizu", 100);
    SensKFTimer = MakeTimer("SensKFTimer", 300);
}

void DefectTab::Trans_end_kizu() {}

} // namespace r8::ui
