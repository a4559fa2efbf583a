#include "DebugTab.h"

namespace r8::ui {

DebugTab::DebugTab(TFR8V2& form) : TabRoom(form, "TabSheet2", "Panel2") {}

void DebugTab::Debug_tend() {}

} // namespace r8::ui
