#include "EasyPicture.h"

namespace r8::ui {

EasyPicture::EasyPicture(RoomContext& ctx, QWidget* panel) : ctx_(ctx) {
    Initial = new RadioGroup("Initial", {"OFF", "ON"}, 2, panel);
    Freeze = new RadioGroup("Freeze", {"OFF", "ON"}, 2, panel);
    BLCPanel = new Panel(panel);
}

} // namespace r8::ui
