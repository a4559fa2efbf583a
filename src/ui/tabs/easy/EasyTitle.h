// SPDX-License-Identifier: MIT
#pragma once
// Title, BLC areas and mark position of the "Easy" tab.
#include "Room.h"
#include "TitleCode.h"
#include "patterns/Bind.h"
#include "ui_EasyTitle.h"
#include "widgets/Controls.h"

#include <array>
#include <cstdint>

namespace r8::ui {

class EasyTitle : public Ui::EasyTitleForm {
public:
    static constexpr int kAreaCount = 48; // 6 rows of 8, numbered row by row from the top left
    static constexpr int kAreaRows = 6;
    using AreaMask = std::array<uint8_t, kAreaRows>; // bit j of byte r: area 8r + j + 1

    // Sets up the "Title" and "Mark" form on panel (Panel4), builds the 48 area check boxes on
    // blcPanel (inside the picture part's "BLC" group) and registers the part's read decoders.
    EasyTitle(RoomContext& ctx, QWidget* panel, Panel* blcPanel);

    // Puts the five characters of camera codes into block `block` (0..3) of CName, padding it
    // to 20 characters; block 3 ends a title exchange and enables SetTitle again.
    void Title_show(uint8_t block, const TitleCodes& codes);
    // Enables or disables the 48 area check boxes, BLCCheck01 first.
    void BLC_area_enable(bool on);
    // direction 0: packs the ticked areas into mask; 1: ticks the areas from mask, BLCCheck01
    // first; any other direction does nothing.
    void BLC_area_bits(AreaMask& mask, int direction);
    // Enables each mark button where its step stays inside the limits and the mark is on;
    // disables it where the step would leave them.
    void Mark_enable_update();
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a);

    // Operator handlers.
    void SetTitleClick();
    void BLCAreaTimerTimer();

    // The bound plain settings (the title position; the mark is filled, its read-back is here).
    const BoundForm& Bound() const { return bound_; }
    // BLCCheck01 .. BLCCheck48 at index 0 .. 47, laid out on the picture part's BLCPanel.
    std::array<CheckBox*, kAreaCount> BLCCheck{};
    Timer* BLCAreaTimer;

private:
    void buildAreas(QWidget* panel, Panel* blcPanel);
    void bindMark();
    void registerDecoders();
    // Sends title block b: 21 10 01 b and the five codes of CName's characters 5b+1 .. 5b+5.
    void sendTitleBlock(int block);
    // Mark index from the camera: 0 disables the move buttons, 1 enables them.
    void showMark(uint8_t index);

    RoomContext& ctx_;
    BoundForm bound_;
};

} // namespace r8::ui
