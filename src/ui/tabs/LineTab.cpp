#include "LineTab.h"

namespace r8::ui {

LineTab::LineTab(TFR8V2& form) : TabRoom(form, "TabSheet4", "Panel5") {}

void LineTab::Trans_end_line() {}

} // namespace r8::ui
