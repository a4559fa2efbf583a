#include "MaskTab.h"

namespace r8::ui {

MaskTab::MaskTab(TFR8V2& form) : TabRoom(form, "TabSheet6", "") {}

void MaskTab::Trans_end_mask() {}

} // namespace r8::ui
