// SPDX-License-Identifier: MIT
#pragma once
// Lens control of the "Easy" tab: zoom and focus positions, speeds, auto focus, one-push AF,
// stored positions, the alarm number, digital zoom and the push-switch role.
//
// The lens moves asynchronously. With CurrentCheck ticked, every zoom, focus, one-push or
// position-load command disables the lens controls and the answers keep reading the lens
// (zoom until its current position equals the target, then focus the same way); the last focus
// answer enables the controls again. Unticked, commands go out without waiting and the answers
// are only shown.
#include "Room.h"
#include "patterns/Bind.h"
#include "patterns/Senders.h"
#include "ui_EasyLens.h"
#include "widgets/Controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace r8::ui {

class EasyLens : public Ui::EasyLensForm {
public:
    // Sets up the "Lens Control" form on panel (Panel4), binds it and registers its decoders.
    // initial and freeze are the picture part's groups that gate the lens controls.
    EasyLens(RoomContext& ctx, QWidget* panel, const RadioGroup* initial, const RadioGroup* freeze);
    ~EasyLens();
    EasyLens(const EasyLens&) = delete;
    EasyLens& operator=(const EasyLens&) = delete;

    // Shows the lens answer being handled (group 0x45), a read or a set answer by the command
    // it answers, and sends the follow-up read the lens mode asks for.
    void Lens_answer();
    // Shows one lens item (0, 1, 2, 6) from its place in an Easy page block answer; the speeds
    // (5, 7) are bound settings and show themselves.
    void Lens_page_item(uint8_t item);
    // Enables the lens controls while Initial is "ON" and Freeze "OFF"; disables them otherwise.
    void Lens_enable_update();
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a);

    // Line tab steps that lens answers continue; empty until that tab has its controls.
    // The camera took a digital zoom setting while the Line tab is on show.
    std::function<void()> DigitalZoomSetOnLine;
    // The lens adjustment answered (A4: 0 it goes on, 1 it is done): the Line tab takes the
    // next step, so that a step the link cannot take at once is kept until it can.
    std::function<void(uint8_t done)> LensAdjustAnswered;

    // The bound plain settings (the speed bars are bound bars).
    const BoundForm& Bound() const { return bound_; }
    // The position bars write their edits; their timers are ZoomStepTimer and FocusStepTimer.
    std::unique_ptr<DebouncedBar> zoomStep;
    std::unique_ptr<DebouncedBar> focusStep;
    Timer* ZoomStepTimer;
    Timer* FocusStepTimer;

private:
    // The data of one lens item, wherever the answer carries it.
    struct LensData {
        uint16_t target = 0, current = 0;    // items 0, 1
        uint16_t focusMax = 0, focusMin = 0; // item 0
        uint8_t value = 0;                   // items 2 .. 7
    };

    void bindHandlers();
    void registerDecoders();

    // command: P1 of the command answered (a read or a set).
    void lensItem(uint8_t item, const LensData& d, uint8_t command);
    void zoomAnswer(const LensData& d);
    void focusAnswer(const LensData& d);
    void autoFocusAnswer(uint8_t on);
    void digitalZoomSet();
    void showZoom(const LensData& d);
    void showFocus(const LensData& d);
    void applyZoomRange();
    void applyFocusRange(uint16_t max, uint16_t min);
    void reenableCommon();
    void readLens(uint8_t item);
    void showPushSW(uint8_t index);
    void alarmByPushSW(uint8_t index);

    void spinHex(Edit* edit, const TrackBar* bounds, int step);
    void spinDecimal(Edit* edit, const char* what, int step, int lowest, int highest);

    bool initialOnFreezeOff() const;
    bool ticked() const { return CurrentCheck->Checked(); }
    bool autoFocusOn() const { return AutoFocus->Checked(); }

    std::vector<QWidget*> zoomMoveSet() const;
    std::vector<QWidget*> focusMoveSet() const;
    std::vector<QWidget*> readSet() const;

    RoomContext& ctx_;
    BoundForm bound_;
    const RadioGroup* initial_;
    const RadioGroup* freeze_;
    // Set while an answer's values are being shown: the edits and bars they go into send
    // nothing back and start no debounce.
    bool showing_ = false;
};

} // namespace r8::ui
