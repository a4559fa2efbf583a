#pragma once
// Picture functions of the "Easy" tab: AGC and sensitivity, phase, white balance, gains, PEAK,
// ALC, AES, BLC on/off, preset, reversal, freeze, initial, posi/nega, field/frame, gamma.
#include "Room.h"
#include "widgets/Controls.h"

#include <functional>

namespace r8::ui {

class EasyPicture {
public:
    // Builds the part's group boxes on panel (Panel4) and registers its read decoders.
    EasyPicture(RoomContext& ctx, QWidget* panel);

    // Step 0 of the Easy page load.
    void EnableWhiteBalanceControls() {}
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a) { (void)a; }

    // Set by the room before any answer arrives.
    std::function<void()> Lens_enable_update;
    std::function<void(bool on)> BLC_area_enable;

    RadioGroup* Initial = nullptr;
    RadioGroup* Freeze = nullptr;
    Panel* BLCPanel = nullptr; // where the 48 area check boxes go

private:
    RoomContext& ctx_;
};

} // namespace r8::ui
