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
#include "patterns/Senders.h"
#include "widgets/Controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace r8::ui {

class EasyLens {
public:
    // Builds the "Lens Control" group on panel (Panel4) and registers its read decoders.
    // initial and freeze are the picture part's groups that gate the lens controls.
    EasyLens(RoomContext& ctx, QWidget* panel, const RadioGroup* initial, const RadioGroup* freeze);
    ~EasyLens();
    EasyLens(const EasyLens&) = delete;
    EasyLens& operator=(const EasyLens&) = delete;

    // Shows the lens answer being handled (group 0x45), a read or a set answer by the command
    // it answers, and sends the follow-up read the lens mode asks for.
    void Lens_answer();
    // Shows one lens item (0, 1, 2, 5, 6, 7) from its fixed place in an Easy page block answer.
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

    GroupBox* LensControl;
    Edit* ZoomStep;
    Edit* CurrentZoom;
    TrackBar* ZoomStepBar;
    SpinButton* ZoomSpinButton;
    Edit* FocusStep;
    Edit* CurrentFocus;
    Edit* FocusStepMin;
    Edit* FocusStepMax;
    TrackBar* FocusStepBar;
    SpinButton* FocusSpinButton;
    TrackBar* ZoomSpeedBar;
    TrackBar* FocusSpeedBar;
    CheckBox* AutoFocus;
    Button* OnePushAF;
    Button* GetZoomCurrent;
    CheckBox* CurrentCheck;
    RadioGroup* DigitalZoom;
    RadioGroup* PushSW;
    GroupBox* Position;
    Edit* PositionNo;
    SpinButton* PositionSpinButton;
    Button* PosLoad;
    Button* PosSave;
    GroupBox* Alarm;
    Edit* AlarmNo;
    SpinButton* AlarmSpinButton;

    // Debounced bars; their timers carry the names ZoomStepTimer, FocusStepTimer,
    // ZoomSpeedTimer and FocusSpeedTimer.
    std::unique_ptr<DebouncedBar> zoomStep;
    std::unique_ptr<DebouncedBar> focusStep;
    std::unique_ptr<DebouncedBar> zoomSpeed;
    std::unique_ptr<DebouncedBar> focusSpeed;
    Timer* ZoomStepTimer;
    Timer* FocusStepTimer;
    Timer* ZoomSpeedTimer;
    Timer* FocusSpeedTimer;

private:
    // The data of one lens item, wherever the answer carries it.
    struct LensData {
        uint16_t target = 0, current = 0;    // items 0, 1
        uint16_t focusMax = 0, focusMin = 0; // item 0
        uint8_t value = 0;                   // items 2 .. 7
    };

    void build(QWidget* panel);
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
    const RadioGroup* initial_;
    const RadioGroup* freeze_;
    // Set while an answer's values are being shown: the edits and bars they go into send
    // nothing back and start no debounce.
    bool showing_ = false;
};

} // namespace r8::ui
