// SPDX-License-Identifier: MIT
#pragma once
// Picture functions of the "Easy" tab: AGC and sensitivity, phase, white balance, gains, PEAK,
// ALC, AES, BLC on/off, preset, reversal, freeze, initial, posi/nega, field/frame, gamma.
#include "Room.h"
#include "patterns/Bind.h"
#include "patterns/Senders.h"
#include "ui_EasyPicture.h"
#include "widgets/Controls.h"

#include <functional>
#include <memory>

namespace r8::ui {

class EasyPicture : public Ui::EasyPictureForm {
public:
    // Sets up the part's form on panel (Panel4), binds it and registers its read decoders.
    EasyPicture(RoomContext& ctx, QWidget* panel);
    ~EasyPicture();
    EasyPicture(const EasyPicture&) = delete;
    EasyPicture& operator=(const EasyPicture&) = delete;

    // Step 0 of the Easy page load: the white balance controls start enabled; the camera
    // register 0x0151 of the same page may disable them again.
    void EnableWhiteBalanceControls();
    // The part's rows of the Easy tab's answer handler; a is a good answer.
    void Trans_end_easy(const AnswerView& a);

    // Set by the room before any answer arrives.
    std::function<void()> Lens_enable_update;
    std::function<void(bool on)> BLC_area_enable;

    // The bound plain settings; Bound().Bar(entry) is a bound bar's debouncer.
    const BoundForm& Bound() const { return bound_; }
    // PhaseBarChange / PhaseTimerTimer: the settled position becomes PhaseLevel's text.
    std::unique_ptr<DebouncedBar> phase;

private:
    void bindSenders();
    void bindSettings();
    void registerDecoders();

    // BLC, PEAK, ALC and AES: the partner and the dependants of each.
    RadioGroup* partnerOf(const RadioGroup* g) const;
    void showDependants(const RadioGroup* g);
    // A decoded value for one of the four: equal to the index shown, it enables the partner
    // (the end of the partner's read-back); otherwise it sets the index. Then the dependants.
    void pairRule(RadioGroup* g, int v);
    void showWhiteBalanceMode(int mode);
    void showAwbDone();
    void showPhaseRange(const AnswerView& a, int at);
    void showPhase(int16_t p);
    void showFreeze(int v);
    void showPreset(int v);
    void lensEnableUpdate();
    // Reads s back (31 key) when the link is free.
    void readBack(const SettingEntry& s);

    RoomContext& ctx_;
    BoundForm bound_;
};

} // namespace r8::ui
