// SPDX-License-Identifier: MIT
#pragma once
#include "TabRoom.h"
#include "patterns/AnswerChain.h"
#include "patterns/ChainStep.h"
#include "patterns/HexSpin.h"
#include "patterns/Senders.h"

#include <functional>
#include <memory>

namespace r8::ui {

// Factory adjustments: timing delays, DC-lens offset, chroma and hue, white-balance presets, the
// shutter and external-sync selections, and "Save" with its write-back chain.
class AdjustTab : public TabRoom {
public:
    explicit AdjustTab(RoomContext& ctx);
    ~AdjustTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, // setting 1: resolution
        {0x0A, 0x40, 0, 3}, // setting 64: TV system
        {0x42, 0, 0, 2},    // CCD timing nibbles
        {0x37, 0x00, 0, 3}, // shutter display selection
        {0x37, 0x01, 0, 3}, // sync display selection
        {0x1B, 0x00, 0, 3}, // white balance mode
        {0x1B, 0x05, 0, 3}, // ATW level
        {0x1B, 0x06, 0, 3}, // AWB level
        {0x43, 0, 0, 2},    // PWM reference
        {0x0A, 0x2B, 0, 3}, // setting 43: chroma gains
        {0x0A, 0x2C, 0, 3}, // settings 44-47
        {0x0A, 0x2D, 0, 3}, {0x0A, 0x2E, 0, 3}, {0x0A, 0x2F, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_cstm(); }
    // Answers to this tab's writes: the "Save" write-back chain and "Cancel".
    void Trans_end_cstm();
    // After every answer: the ATW presets are offered only while "ATW" is ticked.
    void Trans_cstm_hidden();

    // Set by the window: brings the "Copy" tab to the front (no page load).
    std::function<void()> ShowCopyTab;

    RadioGroup* sync_disp_sel;
    RadioGroup* shut_disp_sel;
    GroupBox* GroupBox10;
    Edit* pwm_ref;
    SpinButton* CSpinButton5;
    GroupBox* Delay;
    Edit* rg_delay;
    Edit* rg_width;
    Edit* shp_delay;
    Edit* shd_delay;
    SpinButton* CSpinButton1;
    SpinButton* CSpinButton2;
    SpinButton* CSpinButton3;
    SpinButton* CSpinButton4;
    Button* SaveAdjust;
    Button* CanAdjust;
    GroupBox* GroupBox12;
    TrackBar* CromaRY;
    TrackBar* CromaBY;
    Edit* RY_Gain;
    Edit* BY_Gain;
    GroupBox* C12;
    TrackBar* RYP;
    TrackBar* BYP;
    TrackBar* RYN;
    TrackBar* BYN;
    Edit* RYP_DATA;
    Edit* BYP_DATA;
    Edit* RYN_DATA;
    Edit* BYN_DATA;
    GroupBox* GroupBox8;
    Button* pre_32;
    Button* pre_56;
    CheckBox* wb_sel;

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
    void buildControls();
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

    bool showing_ = false;
    AnswerChain saveChain_;
    ChainSteps saveSteps_{ctx_};
};

// The hue coefficient register value: bits 15-9 of the old value, bit 8 the sign of the
// position, bits 7-0 its magnitude.
int HueValue(int oldValue, int position);

} // namespace r8::ui
