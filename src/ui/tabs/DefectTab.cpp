#include "DefectTab.h"

namespace r8::ui {

DefectTab::DefectTab(TFR8V2& form) : TabRoom(form, "TabSheet5", "Panel6") {}

void DefectTab::Trans_end_kizu() {}

} // namespace r8::ui
