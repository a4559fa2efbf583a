// SPDX-License-Identifier: MIT
#pragma once
// The "CCD Defect" tab: correction of up to three defective CCD pixels ("Kizu" A, B, C). The
// operator places each correction by typing, stepping or clicking the map, lets the camera search
// for defect A (and, with "3 Point", B and C), turns the camera's even/odd measurement into a
// correction, and stores or discards the result. The controls are the form's
// (forms/DefectTab.ui); the handlers are in defect/DefectHandlers.cpp, the read decoder rows and
// the answer chains (Trans_end_kizu) in defect/DefectAnswers.cpp.
#include "DefectSettings.h"
#include "TabRoom.h"
#include "patterns/AnswerChain.h"
#include "patterns/Bind.h"
#include "patterns/ChainStep.h"
#include "ui_DefectTab.h"

#include <functional>

namespace r8::ui {

class DefectTab : public TabRoom, public Ui::DefectTabForm {
public:
    // showAdjustInfo shows the adjust-parameter window (the main window owns it).
    explicit DefectTab(RoomContext& ctx, std::function<void()> showAdjustInfo = {});
    ~DefectTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
        {0x36, 0x09, 0, 3}, // defect selection
        {0x36, 0x00, 0, 3}, // defect A position
        {0x36, 0x01, 0, 3}, // defect B and C positions
        ReadRequest(settings::kKfFix),
        ReadRequest(settings::kKfRev),
        ReadRequest(settings::kAdjustSet),
        ReadRequest(settings::kKfChange),
        ReadRequest(settings::kKfOff),
        ReadRequest(settings::kKfSens),
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_kizu(); }
    void OnPageStart() override;
    void Trans_end_kizu();

    // Handlers that others run too (the answer handling, the timer); the other controls are
    // bound to their patterns in defect/DefectHandlers.cpp.
    void kizu_selClick();
    void kizu_axChange();
    void Shape1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void TimerkizuTimer();
    void Kizu_AdjustClick();
    void AdjustInfoClick();

    // The plain settings: KF change, sensitivity and OFF bound by name; Adjust Set, KF_FIX and
    // KF_REV filled from their entries, sent and shown here.
    const BoundForm& Bound() const { return bound_; }

    Timer* Timerkizu;
    Timer* SensKFTimer;

private:
    void setUpForm();
    void bindHandlers();
    void registerDecoders();

    int selected() const; // 0 A, 1 B, 2 C, -1 none

    // Answer helpers (defect/DefectAnswers.cpp).
    void placeCursor();
    void showPosition(uint16_t x, uint16_t y);
    void chainRead(uint8_t item);
    void sendStep(const Prefix& payload);
    void showPage(const AnswerView& a, bool bc);
    void showPageA(const AnswerView& a) { showPage(a, false); }
    void showPageBc(const AnswerView& a) { showPage(a, true); }
    void showMeasurement(const AnswerView& a);
    void showKfChange(const AnswerView& a);
    void showAdjustSet(const AnswerView& a);
    void showAdjustParameters(const AnswerView& a);
    void showSelection(const AnswerView& a);
    void showKfFix(const AnswerView& a);
    void showKfRev(const AnswerView& a);
    void positionAnswered(const AnswerView& a);
    void adjustSetAnswered(const AnswerView& a);
    void searchAnswered(const AnswerView& a);
    void threePointAnswered(const AnswerView& a);
    void cursorAnswered(const AnswerView&) { placeCursor(); }

    struct ReadRow;
    static const ReadRow kReadRows[];
    AnswerChain writeChain();

    std::function<void()> showAdjustInfo_;
    BoundForm bound_;
    AnswerChain writeChain_;
    ChainSteps steps_{ctx_};
};

} // namespace r8::ui
