#include "LineTab.h"

namespace r8::ui {

LineTab::LineTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet4", "Panel5") {}

void LineTab::Trans_end_line() {}

} // namespace r8::ui
