#include "EasyTab.h"

namespace r8::ui {

EasyTab::EasyTab(TFR8V2& form) : TabRoom(form, "TabSheet3", "Panel4") {}

void EasyTab::Trans_end_easy() {}

} // namespace r8::ui
