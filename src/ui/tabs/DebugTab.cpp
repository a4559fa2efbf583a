#include "DebugTab.h"

namespace r8::ui {

DebugTab::DebugTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet2", "Panel2") {}

void DebugTab::Debug_tend() {}

} // namespace r8::ui
