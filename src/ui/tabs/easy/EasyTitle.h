#pragma once
// Title, BLC areas and mark position of the "Easy" tab.
#include "Room.h"
#include "widgets/Controls.h"

#include <array>
#include <cstdint>

namespace r8::ui {

class EasyTitle {
public:
    // Builds the "Title" and "Mark" groups on panel (Panel4) and the 48 area check boxes on
    // blcPanel (inside the picture part's "BLC" group), and registers the part's read decoders.
    EasyTitle(RoomContext& ctx, QWidget* panel, Panel* blcPanel);

    void Title_show(uint8_t block, const std::array<uint16_t, 5>& codes) {
        (void)block;
        (void)codes;
    }
    void BLC_area_enable(bool on) { (void)on; }
    void BLC_area_bits(std::array<uint8_t, 6>& mask, int direction) {
        (void)mask;
        (void)direction;
    }
    void Mark_enable_update() {}
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a) { (void)a; }

private:
    RoomContext& ctx_;
};

} // namespace r8::ui
