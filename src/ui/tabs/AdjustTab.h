// SPDX-License-Identifier: MIT
#pragma once
#include "AdjustSettings.h"
#include "EasySettings.h"
#include "TabRoom.h"
#include "patterns/AnswerChain.h"
#include "patterns/Bind.h"
#include "patterns/ChainStep.h"
#include "patterns/HexSpin.h"
#include "patterns/Senders.h"
#include "ui_AdjustTab.h"

#include <functional>
#include <memory>

namespace r8::ui {

// Factory adjustments: timing delays, DC-lens offset, chroma and hue, white-balance presets, the
// shutter and external-sync selections, and "Save" with its write-back chain. The controls are
// the form's (forms/AdjustTab.ui).
class AdjustTab : public TabRoom, public Ui::AdjustTabForm {
public:
    explicit AdjustTab(RoomContext& ctx);
    ~AdjustTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, // setting 1: resolution
        {0x0A, 0x40, 0, 3}, // setting 64: TV system
        ReadRequest(settings::kCcdTiming),
        ReadRequest(settings::kShutterDisplay),
        ReadRequest(settings::kSyncDisplay),
        ReadRequest(settings::kWhiteBalance),
        ReadRequest(settings::kAtwLevel),
        ReadRequest(settings::kAwbLevel),
        ReadRequest(settings::kDcLensOffset),
        {0x0A, 0x2B, 0, 3}, // setting 43: chroma gains
        {0x0A, 0x2C, 0, 3}, // settings 44-47
        {0x0A, 0x2D, 0, 3},
        {0x0A, 0x2E, 0, 3},
        {0x0A, 0x2F, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_cstm(); }
    // Answers to this tab's writes: the "Save" write-back chain and "Cancel".
    void Trans_end_cstm();
    // After every answer: the ATW presets are offered only while "ATW" is ticked.
    void Trans_cstm_hidden();

    // Set by the window: brings the "Copy" tab to the front (no page load).
    std::function<void()> ShowCopyTab;

    // The plain settings (Delay, pwm_ref, shut_disp_sel, sync_disp_sel), bound by name.
    const BoundForm& Bound() const { return bound_; }

    Timer* Timercrm;
    Timer* TimerRYP;
    Timer* TimerBYP;
    Timer* TimerRYN;
    Timer* TimerBYN;

    // The DC-lens spin step, set when the window is created.
    int PwmStep = 1;

    // The debounced bars (CromaRYChange / TimercrmTimer, RYPChange / TimerRYPTimer, ...) and the
    // spin buttons (CSpinButton1..5 Up/DownClick).
    std::unique_ptr<DebouncedBar> crm, ryp, byp, ryn, byn;
    std::unique_ptr<HexSpin> spinRgDelay, spinRgWidth, spinShpDelay, spinShdDelay, spinPwm;

private:
    void bindHandlers();
    void registerDecoders();
    std::unique_ptr<DebouncedBar> hueBar(TrackBar* bar, Edit* display, uint8_t reg,
                                         const char* timerName);
    void writeRegister(uint8_t reg, int value, uint8_t function);
    void writeBack(uint8_t reg);
    // The save chain's reply: the row of the answer, read with the command it answers.
    ChainSteps::Next advance();
    // Runs fill with the senders of this tab quiet: a value read from the camera is shown, never
    // written back.
    void showing(const std::function<void()>& fill);

    BoundForm bound_;
    bool showing_ = false;
    AnswerChain saveChain_;
    ChainSteps saveSteps_{ctx_};
};

// The hue coefficient register value: bits 15-9 of the old value, bit 8 the sign of the
// position, bits 7-0 its magnitude.
int HueValue(int oldValue, int position);

} // namespace r8::ui
