// SPDX-License-Identifier: MIT
#include "EasyLens.h"

#include "EasyPage.h"
#include "EasySettings.h"
#include "HexText.h"
#include "patterns/Bind.h"

#include <QString>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace r8::ui {
namespace {

constexpr uint8_t kRead = 0x31;
constexpr uint8_t kSet = 0x21;
constexpr uint8_t kLens = 0x45;
constexpr uint8_t kPositionGroup = 0x52;
constexpr int kEasyPage = 4;
constexpr int kLinePage = 5;

// Zoom range: the upper end grows by this much with digital zoom on.
constexpr int kZoomMin = 0x1000;
constexpr int kZoomMaxOptical = 0x18B0;
constexpr int kZoomDigitalExtra = 0x0E40;

QString Dec2(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QChar('0'));
}

// The value of a decimal entry (digits only). Anything else is the operator's typing error,
// reported by the guarded handler; nothing is sent.
int DecimalValue(const Edit* edit, const char* what) {
    const QString text = edit->Text();
    bool digits = !text.isEmpty();
    for (QChar c : text)
        digits = digits && c >= QChar('0') && c <= QChar('9');
    if (!digits)
        throw std::runtime_error("\"" + text.toStdString() + "\" is not a valid " + what +
                                 " number");
    return text.toInt();
}

} // namespace

EasyLens::EasyLens(RoomContext& ctx, QWidget* panel, const RadioGroup* initial,
                   const RadioGroup* freeze)
    : ctx_(ctx), initial_(initial), freeze_(freeze) {
    setupUi(panel);
    using namespace settings;
    bound_ = BoundForm(ctx, panel, kEasyLensSettings,
                       {.own = {&kDigitalZoom, &kAutoFocus, &kPushSw, &kAlarmNo}});
    bindHandlers();
    registerDecoders();
}

EasyLens::~EasyLens() = default;

void EasyLens::bindHandlers() {
    // ZoomStepChange: a complete target; ticked, the zoom-move set waits for the lens.
    SendOnCompleteHex(ctx_, ZoomStep, {kSet, kLens, 0x00},
                      {.when = [this] { return Enabled(ZoomStep) && !showing_; },
                       .before =
                           [this] {
                               if (ticked()) SetEnabled(zoomMoveSet(), false);
                           }});
    // FocusStepChange
    SendOnCompleteHex(
        ctx_, FocusStep, {kSet, kLens, 0x01},
        {.when = [this] { return Enabled(FocusStep) && Enabled(FocusStepBar) && !showing_; },
         .before =
             [this] {
                 if (ticked()) SetEnabled(focusMoveSet(), false);
             }});

    // ZoomStepBarChange / ZoomStepTimerTimer: the settled position becomes the ZoomStep text.
    zoomStep = std::make_unique<DebouncedBar>(
        ctx_, ZoomStepBar, [this](int pos) { ZoomStep->SetText(Q(HexWord(pos))); },
        "ZoomStepTimer");
    // FocusStepBarChange / FocusStepTimerTimer
    focusStep = std::make_unique<DebouncedBar>(
        ctx_, FocusStepBar, [this](int pos) { FocusStep->SetText(Q(HexWord(pos))); },
        "FocusStepTimer");
    // Positions shown from an answer start no debounce (they would be sent back).
    zoomStep->ArmWhen = [this] { return !showing_; };
    focusStep->ArmWhen = [this] { return Enabled(FocusStepBar) && !showing_; };
    ZoomStepTimer = zoomStep->DebounceTimer;
    FocusStepTimer = focusStep->DebounceTimer;

    // ZoomSpinButtonUpClick / ZoomSpinButtonDownClick, FocusSpinButton...Click
    ZoomSpinButton->OnUpClick = [this] { spinHex(ZoomStep, ZoomStepBar, +1); };
    ZoomSpinButton->OnDownClick = [this] { spinHex(ZoomStep, ZoomStepBar, -1); };
    FocusSpinButton->OnUpClick = [this] { spinHex(FocusStep, FocusStepBar, +1); };
    FocusSpinButton->OnDownClick = [this] { spinHex(FocusStep, FocusStepBar, -1); };

    SendOnClick(ctx_, AutoFocus, WritePrefix(settings::kAutoFocus)); // AutoFocusClick
    // OnePushAFClick: ticked, the focus-move set waits for the search to end.
    OnePushAF->OnClick = [this] {
        if (!ctx_.Trans_chk()) return;
        if (ticked()) SetEnabled(focusMoveSet(), false);
        ctx_.Send({kSet, kLens, 0x03});
    };
    // GetZoomCurrentClick
    GetZoomCurrent->OnClick = [this] {
        if (!ctx_.Trans_chk()) return;
        GetZoomCurrent->setEnabled(false);
        if (ticked()) SetEnabled(readSet(), false);
        ctx_.Send({kRead, kLens, 0x00});
    };
    SendDisablingSelf(ctx_, DigitalZoom, WritePrefix(settings::kDigitalZoom)); // DigitalZoomClick
    SendOnClick(ctx_, PushSW, WritePrefix(settings::kPushSw));                 // PushSWClick

    // PositionSpinButtonUpClick / PositionSpinButtonDownClick
    PositionSpinButton->OnUpClick = [this] { spinDecimal(PositionNo, "position", +1, 1, 64); };
    PositionSpinButton->OnDownClick = [this] { spinDecimal(PositionNo, "position", -1, 1, 64); };
    // PosLoadClick: ticked, the stored position's answer starts the zoom and focus reads.
    PosLoad->OnClick = [this] {
        if (!ctx_.Trans_chk() || PositionNo->Text().size() != 2) return;
        const auto p = static_cast<uint8_t>(DecimalValue(PositionNo, "position"));
        if (ticked()) {
            PosLoad->setEnabled(false);
            SetEnabled(zoomMoveSet(), false);
        }
        ctx_.Send({kRead, kPositionGroup, 0x01, p});
    };
    // PosSaveClick
    PosSave->OnClick = [this] {
        if (!ctx_.Trans_chk() || PositionNo->Text().size() != 2) return;
        const auto p = static_cast<uint8_t>(DecimalValue(PositionNo, "position"));
        ctx_.Send({kSet, kPositionGroup, 0x01, p});
    };

    // AlarmSpinButtonUpClick / AlarmSpinButtonDownClick
    AlarmSpinButton->OnUpClick = [this] { spinDecimal(AlarmNo, "alarm", +1, 0, 64); };
    AlarmSpinButton->OnDownClick = [this] { spinDecimal(AlarmNo, "alarm", -1, 0, 64); };
    // AlarmNoChange
    AlarmNo->OnChange = [this] {
        if (ReadBack::Showing() || !ctx_.Trans_chk() || AlarmNo->Text().size() != 2) return;
        const auto a = static_cast<uint8_t>(DecimalValue(AlarmNo, "alarm"));
        SendPayload(ctx_, WritePrefix(settings::kAlarmNo), {a});
    };
}

void EasyLens::registerDecoders() {
    using namespace settings;
    ctx_.OnGroup(kLens, [this](const AnswerView&) { Lens_answer(); });
    OnSettingRead(ctx_, kAlarmNo, [this](int v) { AlarmNo->SetText(Dec2(v)); });
    ctx_.OnGroup(kPositionGroup, 0,
                 [this](const AnswerView& a) { PositionNo->SetText(Dec2(a.A(4))); });
    // A stored position loaded while CurrentCheck waits (PosLoad disabled): follow the lens.
    ctx_.OnGroup(kPositionGroup, 1, [this](const AnswerView&) {
        if (!Enabled(PosLoad)) ctx_.Send({kRead, kLens, 0x00});
    });
    OnSettingAnswer(ctx_, kPushSw, [this](int v) { showPushSW(v); });

    ctx_.OnGroup(kEasyBlock, kDigitalZoom.inPage.item,
                 [this](const AnswerView&) { Lens_page_item(6); });
    ctx_.OnGroup(kEasyBlock, 7, [this](const AnswerView&) {
        Lens_page_item(0);
        Lens_page_item(1);
    });
    ctx_.OnGroup(kEasyBlock, 8, [this](const AnswerView& a) {
        Lens_page_item(2);
        PositionNo->SetText(Dec2(a.A(7)));
    });
    OnSettingPage(ctx_, kPushSw, [this](int v) { showPushSW(v); });
}

void EasyLens::Trans_end_easy(const AnswerView& a) {
    if (a.Group() == kLens && a.AfterWrite()) Lens_answer();
    const CommandKey& pushSw = settings::kPushSw.key;
    if (a.Group() == pushSw.Function() && a.Item() == pushSw.bytes[1]) alarmByPushSW(a.A(4));
}

void EasyLens::Lens_answer() {
    const AnswerView a = ctx_.Answer();
    LensData d;
    d.target = a.U16(4);
    d.current = a.U16(6);
    d.focusMax = a.U16(8);
    d.focusMin = a.U16(10);
    d.value = a.A(4);
    lensItem(a.Item(), d, a.P(1));
}

void EasyLens::Lens_page_item(uint8_t item) {
    const AnswerView a = ctx_.Answer();
    LensData d;
    switch (item) {
    case 0:
        d.target = a.U16(4);
        d.current = a.U16(6);
        d.focusMax = a.U16(8);
        d.focusMin = a.U16(10);
        break;
    case 1:
        d.target = a.U16(12);
        d.current = a.U16(14);
        break;
    case 2:
        d.value = a.A(settings::kAutoFocus.inPage.at);
        break;
    case 6:
        d.value = a.A(settings::kDigitalZoom.inPage.at);
        break;
    default:
        return;
    }
    lensItem(item, d, a.P(1));
}

void EasyLens::lensItem(uint8_t item, const LensData& d, uint8_t command) {
    const bool readAnswer = command == kRead;
    struct Showing {
        bool& flag;
        bool was;
        explicit Showing(bool& f) : flag(f), was(f) { flag = true; }
        ~Showing() { flag = was; }
    } showing(showing_);
    const ReadBack quiet; // the lens controls' own senders stay quiet too
    switch (item) {
    case 0:
        zoomAnswer(d);
        break;
    case 1:
        focusAnswer(d);
        break;
    case 2:
        autoFocusAnswer(d.value);
        break;
    case 3: // one-push AF done: ticked, follow the focus until it settles
        if (ticked()) readLens(1);
        break;
    case 4: // lens adjust (Line tab)
        if (LensAdjustAnswered)
            LensAdjustAnswered(d.value);
        else if (d.value == 0 && ctx_.Trans_chk())
            ctx_.Send({kSet, 0x46});
        break;
    case 6:
        if (readAnswer)
            DigitalZoom->SetItemIndex(d.value);
        else if (command == kSet)
            digitalZoomSet();
        break;
    default:
        break;
    }
}

void EasyLens::zoomAnswer(const LensData& d) {
    if (ticked()) {
        if (d.target != d.current) {
            readLens(0); // still moving
            return;
        }
        showZoom(d);
        readLens(1);
        return;
    }
    FocusStepBar->setEnabled(false);
    showZoom(d);
    FocusStepBar->setEnabled(!autoFocusOn());
    readLens(1);
}

void EasyLens::focusAnswer(const LensData& d) {
    if (ticked()) {
        if (d.target != d.current) {
            readLens(1); // still moving
            return;
        }
        showFocus(d);
        // The movement has ended: everything the move disabled comes back.
        SetEnabled({PosLoad, ZoomStep, ZoomSpinButton, ZoomStepBar, GetZoomCurrent}, true);
        if (!autoFocusOn()) SetEnabled({FocusStep, FocusSpinButton, FocusStepBar}, true);
        SetEnabled({ZoomSpeedBar, FocusSpeedBar}, true);
        reenableCommon();
        SetEnabled({CurrentCheck, AutoFocus}, true);
        if (!autoFocusOn()) OnePushAF->setEnabled(true);
        return;
    }
    FocusStepBar->setEnabled(false);
    showFocus(d);
    FocusStepBar->setEnabled(!autoFocusOn());
    reenableCommon();
    GetZoomCurrent->setEnabled(true);
}

void EasyLens::autoFocusAnswer(uint8_t on) {
    const std::vector<QWidget*> manual = {OnePushAF, FocusStep, FocusSpinButton, FocusStepBar};
    if (on == 0) {
        AutoFocus->SetChecked(false);
        SetEnabled(manual, true);
    } else if (on == 1) {
        AutoFocus->SetChecked(true);
        SetEnabled(manual, false);
    }
}

void EasyLens::digitalZoomSet() {
    switch (ctx_.ActivePage()) {
    case kEasyPage:
        readLens(0); // the zoom range depends on digital zoom
        break;
    case kLinePage:
        if (DigitalZoomSetOnLine) DigitalZoomSetOnLine();
        break;
    default:
        break;
    }
}

void EasyLens::showZoom(const LensData& d) {
    applyZoomRange();
    ZoomStep->SetText(Q(HexWord(d.target)));
    ZoomStepBar->SetPosition(d.target);
    CurrentZoom->SetText(Q(HexWord(d.current)));
    applyFocusRange(d.focusMax, d.focusMin);
}

void EasyLens::showFocus(const LensData& d) {
    FocusStep->SetText(Q(HexWord(d.target)));
    FocusStepBar->SetPosition(d.target);
    CurrentFocus->SetText(Q(HexWord(d.current)));
}

void EasyLens::applyZoomRange() {
    // An unknown digital zoom state (no item) counts as "OFF".
    const int max = kZoomMaxOptical + (DigitalZoom->ItemIndex() == 1 ? kZoomDigitalExtra : 0);
    ZoomStepBar->SetRange(kZoomMin, max, (max - kZoomMin) / 10, (max - kZoomMin) / 50);
}

void EasyLens::applyFocusRange(uint16_t max, uint16_t min) {
    FocusStepMax->SetText(Q(HexWord(max)));
    FocusStepBar->SetMax(max);
    FocusStepMin->SetText(Q(HexWord(min)));
    FocusStepBar->SetMin(min);
    FocusStepBar->SetMax(max);
    const int span = max - min;
    int step = 32;
    for (int limit = 10, s = 1; limit <= 160; limit *= 2, s *= 2)
        if (span < limit) {
            step = s;
            break;
        }
    FocusStepBar->SetFrequency(step);
    FocusStepBar->SetPageSize(step);
}

void EasyLens::reenableCommon() {
    DigitalZoom->setEnabled(true);
    if (initialOnFreezeOff()) PushSW->setEnabled(true);
    if (PushSW->ItemIndex() == 0) SetEnabled({AlarmNo, AlarmSpinButton}, true);
}

void EasyLens::readLens(uint8_t item) {
    if (ctx_.Trans_chk()) ctx_.Send({kRead, kLens, item});
}

void EasyLens::showPushSW(uint8_t index) {
    PushSW->SetItemIndex(index);
    alarmByPushSW(index);
}

// The alarm number is the operator's to set only while the push switch raises alarms.
void EasyLens::alarmByPushSW(uint8_t index) {
    SetEnabled({AlarmNo, AlarmSpinButton}, index != 1);
}

void EasyLens::Lens_enable_update() {
    if (!initialOnFreezeOff()) {
        SetEnabled({ZoomSpeedBar,    FocusSpeedBar, DigitalZoom,        PushSW,         AlarmNo,
                    AlarmSpinButton, CurrentCheck,  ZoomStep,           ZoomSpinButton, ZoomStepBar,
                    GetZoomCurrent,  FocusStep,     FocusSpinButton,    FocusStepBar,   AutoFocus,
                    OnePushAF,       PositionNo,    PositionSpinButton, PosLoad,        PosSave,
                    PushSW},
                   false);
        return;
    }
    SetEnabled({ZoomSpeedBar, FocusSpeedBar, DigitalZoom, PushSW}, true);
    if (PushSW->ItemIndex() == 0) SetEnabled({AlarmNo, AlarmSpinButton}, true);
    SetEnabled({CurrentCheck, ZoomStep, ZoomSpinButton, ZoomStepBar, GetZoomCurrent}, true);
    if (!autoFocusOn()) SetEnabled({FocusStep, FocusSpinButton, FocusStepBar}, true);
    AutoFocus->setEnabled(true);
    if (!autoFocusOn()) OnePushAF->setEnabled(true);
    SetEnabled({PositionNo, PositionSpinButton, PosLoad, PosSave, PushSW}, true);
}

bool EasyLens::initialOnFreezeOff() const {
    return initial_ && freeze_ && initial_->ItemIndex() == 1 && freeze_->ItemIndex() == 0;
}

// Steps a hexadecimal position by one within the bar's bounds; the new text goes out through
// the edit's change handler. A text with a character that is not a hexadecimal digit is left.
void EasyLens::spinHex(Edit* edit, const TrackBar* bounds, int step) {
    const int32_t parsed = ParseHex(edit->Text().toStdString());
    if (parsed < 0) return;
    const auto value = static_cast<uint16_t>(parsed);
    const int edge = step > 0 ? bounds->Max() : bounds->Min();
    edit->SetText(Q(HexWord(value == edge ? value : value + step)));
}

// Steps a decimal number by one, up to highest or down to lowest; written as two digits.
// A number outside the range (a camera value above it) steps back into the range.
void EasyLens::spinDecimal(Edit* edit, const char* what, int step, int lowest, int highest) {
    const int value = DecimalValue(edit, what);
    edit->SetText(Dec2(std::clamp(value + step, lowest, highest)));
}

std::vector<QWidget*> EasyLens::zoomMoveSet() const {
    return {ZoomStep,        ZoomSpinButton,  ZoomStepBar,  GetZoomCurrent,
            FocusStep,       FocusSpinButton, FocusStepBar, ZoomSpeedBar,
            FocusSpeedBar,   DigitalZoom,     PushSW,       AlarmNo,
            AlarmSpinButton, CurrentCheck,    AutoFocus,    OnePushAF};
}

std::vector<QWidget*> EasyLens::focusMoveSet() const {
    return {FocusStep, FocusSpinButton, FocusStepBar,    ZoomSpeedBar, FocusSpeedBar, DigitalZoom,
            PushSW,    AlarmNo,         AlarmSpinButton, CurrentCheck, AutoFocus,     OnePushAF};
}

std::vector<QWidget*> EasyLens::readSet() const {
    return {ZoomStep,     ZoomSpinButton,  ZoomStepBar,   FocusStep,   FocusSpinButton,
            FocusStepBar, ZoomSpeedBar,    FocusSpeedBar, DigitalZoom, PushSW,
            AlarmNo,      AlarmSpinButton, CurrentCheck};
}

} // namespace r8::ui
