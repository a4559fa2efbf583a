#include "AdjustTab.h"

namespace r8::ui {

AdjustTab::AdjustTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet1", "Panel3") {
    Timercrm = MakeTimer("Timercrm", 100);
    TimerRYP = MakeTimer("TimerRYP", 500);
    TimerBYP = MakeTimer("TimerBYP", 500);
    TimerRYN = MakeTimer("TimerRYN", 500);
    TimerBYN = MakeTimer("TimerBYN", 500);
}

void AdjustTab::Trans_end_cstm() {}

} // namespace r8::ui
