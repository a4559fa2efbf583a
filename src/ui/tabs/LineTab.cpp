// SPDX-License-Identifier: MIT
#include "LineTab.h"

#include "patterns/HexSpin.h"
#include "patterns/SendWhenFree.h"

namespace r8::ui {
namespace {

constexpr uint8_t kSet = 0x21;
constexpr uint8_t kLens = 0x45;
constexpr uint8_t kLensAdjustStep = 0x46;
constexpr uint8_t kIris = 0x48;
constexpr uint8_t kIrisItem = 0x03;

} // namespace

LineTab::LineTab(RoomContext& ctx)
    : TabRoom(ctx, "TabSheet4", "Panel5"),
      chain_({
          // Digital zoom off: the procedure asked for starts.
          {kLens, 0x06, [this](const AnswerView&) { DigitalZoomSet(); }},
          // The lens adjustment answered: 0 it goes on, 1 it is done.
          {kLens, 0x04, [this](const AnswerView& a) { LensAdjustAnswer(a.A(4)); }},
          // Other lens answers while the tab is on show: the Easy tab's decoder.
          {kLens, kAnyItem,
           [this](const AnswerView&) {
               if (Lens_answer) Lens_answer();
           }},
          // A lens adjustment step ended: ask whether the adjustment is complete.
          {kLensAdjustStep, kAnyItem,
           [this](const AnswerView&) {
               NextStep->Send({kSet, kLens, 0x04, 0x01}, {}, advance());
           }},
          // The IRIS adjustment started (0) or ended (1).
          {kIris, kIrisItem,
           [this](const AnswerView& a) {
               if (a.A(4) <= 1) irisRunning(a.A(4) == 0);
           }},
      }) {
    setupUi(Body());
    NextStep = std::make_unique<SendWhenFree>(ctx_, Sheet(), "LineStepTimer", 300, &steps_);
    IRISAdjustSet->OnClick = [this] { IRISAdjustSetClick(); };
    IRISAdjustExit->OnClick = [this] { IRISAdjustExitClick(); };
    AdjustGo->OnClick = [this] { AdjustGoClick(); };
    // BiasNumChange: two hexadecimal digits, sent as one byte; the read-back is shown only.
    bound_ = BoundForm(ctx_, Body(), settings::kLineSettings);
    biasSpin_ = std::make_unique<HexSpin>(BiasNum, BiasSpinButton,
                                          SpinRule{.min = 0, .max = 0xFF, .edge = Edge::Hold});
    BiasSpinButton->OnDownClick = [this] { BiasSpinButtonDownClick(); };
    BiasSpinButton->OnUpClick = [this] { BiasSpinButtonUpClick(); };
    TabPanel()->setEnabled(false);
}

LineTab::~LineTab() = default;

void LineTab::IRISAdjustSetClick() {
    if (!ctx_.Trans_chk()) return;
    IRISAdjustSet->setEnabled(false);
    steps_.Send({kSet, kLens, 0x06, 0x00}, advance()); // digital zoom off
}

void LineTab::IRISAdjustExitClick() {
    if (!ctx_.Trans_chk()) return;
    steps_.Send({kSet, kIris, kIrisItem, 0x01}, advance());
}

void LineTab::AdjustGoClick() {
    if (!ctx_.Trans_chk()) return;
    AdjustGo->setEnabled(false);
    steps_.Send({kSet, kLens, 0x06, 0x00}, advance()); // digital zoom off
}

// A step's reply: the row of its answer, whatever tab is on show (the answer is the
// procedure's own).
ChainSteps::Next LineTab::advance() {
    return [this](const AnswerView& a) { chain_.Advance(a); };
}

void LineTab::BiasSpinButtonDownClick() {
    biasSpin_->Up();
}

void LineTab::BiasSpinButtonUpClick() {
    biasSpin_->Down();
}

void LineTab::DigitalZoomSet() {
    if (!Enabled(IRISAdjustSet)) {
        NextStep->Send({kSet, kIris, kIrisItem, 0x00}, {}, advance()); // the IRIS adjustment
    } else if (!Enabled(AdjustGo)) {
        NextStep->Send(
            {kSet, kLens, 0x04, 0x00}, // start the lens adjustment
            [this] { IRISAdjustSet->setEnabled(false); }, advance());
    }
}

void LineTab::LensAdjustAnswer(uint8_t done) {
    if (done == 1) {
        SetEnabled({AdjustGo, IRISAdjustSet}, true);
    } else if (done == 0) {
        NextStep->Send({kSet, kLensAdjustStep}, {}, advance());
    }
}

void LineTab::irisRunning(bool on) {
    SetEnabled({BiasNum, BiasSpinButton, IRISAdjustExit}, on);
    if (!on) IRISAdjustSet->setEnabled(true);
    AdjustGo->setEnabled(!on);
}

void LineTab::Trans_end_line() {
    const AnswerView a = ctx_.Answer();
    if (a.Good() && a.AfterWrite()) chain_.Advance(a);
}

} // namespace r8::ui
