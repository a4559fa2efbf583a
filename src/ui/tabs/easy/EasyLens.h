#pragma once
// Lens control of the "Easy" tab: zoom and focus positions, speeds, auto focus, one-push AF,
// stored positions, the alarm number, digital zoom and the push-switch role.
#include "Room.h"
#include "widgets/Controls.h"

namespace r8::ui {

class EasyLens {
public:
    // Builds the "Lens Control" group on panel (Panel4) and registers its read decoders.
    // initial and freeze are the picture part's groups that gate the lens controls.
    EasyLens(RoomContext& ctx, QWidget* panel, const RadioGroup* initial, const RadioGroup* freeze);

    void Lens_answer() {}
    void Lens_page_item(uint8_t item) { (void)item; }
    void Lens_enable_update() {}
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a) { (void)a; }

private:
    RoomContext& ctx_;
    const RadioGroup* initial_;
    const RadioGroup* freeze_;
};

} // namespace r8::ui
