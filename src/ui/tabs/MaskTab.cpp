#include "MaskTab.h"

namespace r8::ui {

MaskTab::MaskTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet6", "") {}

void MaskTab::Trans_end_mask() {}

} // namespace r8::ui
