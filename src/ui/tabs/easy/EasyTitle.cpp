#include "EasyTitle.h"

namespace r8::ui {

EasyTitle::EasyTitle(RoomContext& ctx, QWidget* panel, Panel* blcPanel) : ctx_(ctx) {
    (void)panel;
    (void)blcPanel;
}

} // namespace r8::ui
