#include "AdjustTab.h"

namespace r8::ui {

AdjustTab::AdjustTab(TFR8V2& form) : TabRoom(form, "TabSheet1", "Panel3") {}

void AdjustTab::Trans_end_cstm() {}

} // namespace r8::ui
