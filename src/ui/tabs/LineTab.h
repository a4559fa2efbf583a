// SPDX-License-Identifier: MIT
#pragma once
#include "LineSettings.h"
#include "TabRoom.h"
#include "patterns/AnswerChain.h"
#include "patterns/Bind.h"
#include "patterns/ChainStep.h"
#include "ui_LineTab.h"

#include <functional>
#include <memory>

namespace r8::ui {

class HexSpin;
class SendWhenFree;

// The production line's two procedures. Both switch the camera's digital zoom off first and
// then run one command per answer of the camera:
// - IRIS adjustment: "Set" -> 21 45 06 00 -> 21 48 03 00 -> the bias is set (21 53 v) -> "Exit"
//   -> 21 48 03 01;
// - lens adjustment: "Adjust Go" -> 21 45 06 00 -> 21 45 04 00, then 21 46 and 21 45 04 01 for
//   as long as the camera answers 0, until it answers 1.
// The enabled states of the buttons are the procedures' state: "Set" disabled means an IRIS
// adjustment was asked for; "Adjust Go" disabled with "Set" enabled, a lens adjustment.
class LineTab : public TabRoom, public Ui::LineTabForm {
public:
    explicit LineTab(RoomContext& ctx);
    ~LineTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
        ReadRequest(settings::kIrisBias),
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_line(); }
    void Trans_end_line();

    // Operator handlers.
    void IRISAdjustSetClick();
    void IRISAdjustExitClick();
    void AdjustGoClick();
    // The bias counts the other way round: the lower arrow raises it, the upper one lowers it.
    void BiasSpinButtonDownClick();
    void BiasSpinButtonUpClick();

    // Steps that lens answers lead to while this tab is on show (called through the main
    // window from the Easy tab's Lens_answer).
    // The camera took "digital zoom off": the procedure asked for starts.
    void DigitalZoomSet();
    // The lens adjustment answered: 0 goes on with one more step, 1 ends it.
    void LensAdjustAnswer(uint8_t done);

    // Given by the main window: the Easy tab's lens answer decoder.
    std::function<void()> Lens_answer;

    // Keeps a procedure's next command until the link takes it.
    std::unique_ptr<SendWhenFree> NextStep;

private:
    void irisRunning(bool on);
    ChainSteps::Next advance();

    BoundForm bound_; // BiasNumChange: the bias is a plain setting
    std::unique_ptr<HexSpin> biasSpin_;
    // The answers to this tab's own commands: the replies of its steps, and answers nobody
    // waited for that come while the tab is on show.
    AnswerChain chain_;
    ChainSteps steps_{ctx_, false}; // the tab reports no error answers
};

} // namespace r8::ui
