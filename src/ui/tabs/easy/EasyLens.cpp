#include "EasyLens.h"

namespace r8::ui {

EasyLens::EasyLens(RoomContext& ctx, QWidget* panel, const RadioGroup* initial,
                   const RadioGroup* freeze)
    : ctx_(ctx), initial_(initial), freeze_(freeze) {
    (void)panel;
}

} // namespace r8::ui
