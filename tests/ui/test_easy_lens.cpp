// SPDX-License-Identifier: MIT
// Easy tab tests: lens control.
#include "EasyFixture.h"
#include "EasySettings.h"
#include "easy/EasyLens.h"
#include "easy/EasyPicture.h"

#include <QToolButton>

#include <functional>

namespace r8::test {
namespace {

using ui::EasyLens;
using Widgets = std::vector<QWidget*>;

uint8_t Hi(int v) {
    return static_cast<uint8_t>(v >> 8);
}
uint8_t Lo(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}

class EasyLensTest : public EasyWindow {
protected:
    EasyLens& L() { return *Easy().Lens; }

    // The Easy page with Initial "ON", Freeze "OFF", the lens at rest (zoom 0x1200, focus 0x0120
    // in 0x0100..0x0140), speeds 2 and 3, position 5, alarm 7, push switch "Alarm".
    static std::vector<Bytes> Blocks() {
        std::vector<Bytes> b(9);
        b[5] = Bytes(12, 0);
        b[5][11] = 1; // A15 Initial
        b[6] = Bytes(12, 0);
        b[6][10] = 7; // A14 AlarmNo
        b[7] = {0x12, 0x00, 0x12, 0x00, 0x01, 0x40, 0x01, 0x00, 0x01, 0x20, 0x01, 0x20};
        b[8] = {0, 2, 3, 5, 0, 0}; // AutoFocus, speeds, PositionNo, Preset, PushSW
        return b;
    }
    void Load() { LoadEasyPage(Blocks()); }

    void ZoomAnswer(int target, int current, int fmax = 0x0140, int fmin = 0x0100) {
        AckAndAnswer({0xA0, 0x45, 0x00, Hi(target), Lo(target), Hi(current), Lo(current), Hi(fmax),
                      Lo(fmax), Hi(fmin), Lo(fmin)});
    }
    void FocusAnswer(int target, int current) {
        AckAndAnswer({0xA0, 0x45, 0x01, Hi(target), Lo(target), Hi(current), Lo(current)});
    }
    size_t SentCount() const { return Sent().size(); }

    Widgets ZoomMoveSet() {
        auto& l = L();
        return {l.ZoomStep,        l.ZoomSpinButton,  l.ZoomStepBar,  l.GetZoomCurrent,
                l.FocusStep,       l.FocusSpinButton, l.FocusStepBar, l.ZoomSpeedBar,
                l.FocusSpeedBar,   l.DigitalZoom,     l.PushSW,       l.AlarmNo,
                l.AlarmSpinButton, l.CurrentCheck,    l.AutoFocus,    l.OnePushAF};
    }
    Widgets FocusMoveSet() {
        auto& l = L();
        return {l.FocusStep,       l.FocusSpinButton, l.FocusStepBar, l.ZoomSpeedBar,
                l.FocusSpeedBar,   l.DigitalZoom,     l.PushSW,       l.AlarmNo,
                l.AlarmSpinButton, l.CurrentCheck,    l.AutoFocus,    l.OnePushAF};
    }
    Widgets AllLensControls() {
        auto all = ZoomMoveSet();
        for (QWidget* w : Widgets{L().PositionNo, L().PositionSpinButton, L().PosLoad, L().PosSave})
            all.push_back(w);
        return all;
    }
    void ExpectAll(const Widgets& ws, bool enabled, const char* when) {
        for (size_t i = 0; i < ws.size(); ++i)
            EXPECT_EQ(ws[i]->isEnabled(), enabled) << when << ": control " << i;
    }
    // No debounce runs: nothing shown from an answer is on its way back.
    void ExpectNoTimerArmed() {
        for (ui::Timer* t : {L().ZoomStepTimer, L().FocusStepTimer,
                             L().Bound().Bar(settings::kZoomSpeed)->DebounceTimer,
                             L().Bound().Bar(settings::kFocusSpeed)->DebounceTimer})
            EXPECT_FALSE(t->Enabled()) << t->objectName().toStdString();
    }
};

TEST_F(EasyLensTest, LoadedPageShowsTheLensAndSendsNothingBack) {
    // The page load as LoadEasyPage runs it, keeping what went out.
    const auto blocks = Blocks();
    for (int k = 0; k < 10; ++k) {
        Bytes a = {0xA0, 0x60, static_cast<uint8_t>(k)};
        if (k < static_cast<int>(blocks.size()))
            a.insert(a.end(), blocks[k].begin(), blocks[k].end());
        AckAndAnswer(a);
    }
    AckAndAnswer({0xA0, 0x0C, 0x01, 0x51, 0x00, 0x00});
    ASSERT_EQ(window->Loader().TransStep, 0);
    for (const auto& s : Sent()) // only the page's own reads
        EXPECT_TRUE(s.rfind("3160", 0) == 0 || s.rfind("310C", 0) == 0) << s;
    EXPECT_EQ(SentCount(), 11u);
    ExpectNoTimerArmed();

    auto& l = L();
    const std::pair<ui::Edit*, const char*> texts[] = {
        {l.ZoomStep, "1200"},     {l.CurrentZoom, "1200"},  {l.FocusStep, "0120"},
        {l.CurrentFocus, "0120"}, {l.FocusStepMin, "0100"}, {l.FocusStepMax, "0140"},
        {l.PositionNo, "05"},     {l.AlarmNo, "07"},
    };
    for (const auto& [edit, text] : texts)
        EXPECT_EQ(edit->Text().toStdString(), text);
    EXPECT_EQ(l.ZoomStepBar->Position(), 0x1200);
    EXPECT_EQ(l.FocusStepBar->Position(), 0x0120);
    EXPECT_EQ(l.ZoomSpeedBar->Position(), 2);
    EXPECT_EQ(l.FocusSpeedBar->Position(), 3);
    EXPECT_EQ(l.PushSW->ItemIndex(), 0);
    EXPECT_EQ(l.DigitalZoom->ItemIndex(), 0);
    EXPECT_FALSE(l.CurrentCheck->Checked());
    ExpectAll(AllLensControls(), true, "after the load");
}

// With CurrentCheck ticked a move disables its set, reads the zoom until it arrives, then the
// focus until it arrives, and only then enables the controls and stops sending.
TEST_F(EasyLensTest, CurrentCheckFollowsTheLensUntilItArrives) {
    const struct {
        const char* name;
        std::function<void(EasyLens&)> act;
        std::string first; // the command of the action
        Bytes answer;      // the camera's answer to it
        bool zoomLoop;     // the answer reads the zoom first
        bool focusSetOnly; // only the focus-move set waits
    } cases[] = {
        {"ZoomStep",
         [](EasyLens& l) { l.ZoomStep->SetText("1800"); },
         "2145001800",
         {0xA0, 0x45, 0x00, 0x18, 0x00, 0x12, 0x00, 0x01, 0x40, 0x01, 0x00},
         true,
         false},
        {"Get",
         [](EasyLens& l) { l.GetZoomCurrent->Click(); },
         "314500",
         {0xA0, 0x45, 0x00, 0x18, 0x00, 0x12, 0x00, 0x01, 0x40, 0x01, 0x00},
         true,
         false},
        {"PosLoad",
         [](EasyLens& l) {
             l.PositionNo->SetText("03");
             l.PosLoad->Click();
         },
         "31520103",
         {0xA0, 0x52, 0x01, 0x03},
         true,
         false},
        {"OnePushAF",
         [](EasyLens& l) { l.OnePushAF->Click(); },
         "214503",
         {0xA0, 0x45, 0x03},
         false,
         true},
    };
    Load();
    auto& l = L();
    l.CurrentCheck->SetChecked(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.act(l);
        EXPECT_EQ(Last(c.first.size() / 2), c.first);
        if (c.focusSetOnly) {
            ExpectAll(FocusMoveSet(), false, "focus move");
            EXPECT_TRUE(l.ZoomStep->isEnabled());
        } else if (std::string(c.name) == "Get") {
            EXPECT_FALSE(l.GetZoomCurrent->isEnabled());
            EXPECT_FALSE(l.ZoomStep->isEnabled());
            EXPECT_TRUE(l.AutoFocus->isEnabled()); // the read set leaves the focus modes
        } else {
            ExpectAll(ZoomMoveSet(), false, "zoom move");
        }
        if (std::string(c.name) == "PosLoad") {
            EXPECT_FALSE(l.PosLoad->isEnabled());
        }

        const QString shownBefore = l.CurrentZoom->Text();
        AckAndAnswer(c.answer);
        if (c.zoomLoop) {
            if (std::string(c.name) == "PosLoad") {
                EXPECT_EQ(Last(3), "314500");
                ZoomAnswer(0x1800, 0x1200);
            }
            for (int i = 0; i < 2; ++i) { // one read per answer while the zoom moves
                EXPECT_EQ(Last(3), "314500");
                const size_t n = SentCount();
                ZoomAnswer(0x1800, 0x1400 + i);
                EXPECT_EQ(SentCount(), n + 1);
            }
            EXPECT_EQ(Last(3), "314500");
            EXPECT_EQ(l.CurrentZoom->Text(), shownBefore); // nothing shown while moving
            ZoomAnswer(0x1800, 0x1800);
            EXPECT_EQ(l.ZoomStep->Text(), "1800");
            EXPECT_EQ(l.CurrentZoom->Text(), "1800");
            EXPECT_EQ(l.ZoomStepBar->Position(), 0x1800);
        }
        EXPECT_EQ(Last(3), "314501");
        FocusAnswer(0x0130, 0x0124);
        EXPECT_EQ(Last(3), "314501");
        EXPECT_FALSE(l.CurrentCheck->isEnabled()) << "still moving";
        const size_t before = SentCount();
        FocusAnswer(0x0130, 0x0130);
        EXPECT_EQ(SentCount(), before) << "the movement has ended";
        EXPECT_EQ(l.FocusStep->Text(), "0130");
        EXPECT_EQ(l.CurrentFocus->Text(), "0130");
        ExpectAll(AllLensControls(), true, "arrived");
        ExpectNoTimerArmed();
    }
}

TEST_F(EasyLensTest, UntickedAnswersAreShownAndOnlyTheFocusIsRead) {
    Load();
    auto& l = L();
    l.GetZoomCurrent->Click();
    EXPECT_FALSE(l.GetZoomCurrent->isEnabled());
    EXPECT_TRUE(l.ZoomStep->isEnabled());
    ZoomAnswer(0x1345, 0x1300, 0x0150, 0x0110);
    // The shown target is not sent back as a new target.
    EXPECT_EQ(Sent(), (std::vector<std::string>{"314500000000000000000000000000",
                                                "314501000000000000000000000000"}));
    EXPECT_EQ(l.ZoomStep->Text(), "1345");
    EXPECT_EQ(l.CurrentZoom->Text(), "1300");
    EXPECT_EQ(l.FocusStepMax->Text(), "0150");
    EXPECT_EQ(l.FocusStepMin->Text(), "0110");
    EXPECT_TRUE(l.FocusStepBar->isEnabled());
    FocusAnswer(0x0140, 0x0120);
    EXPECT_EQ(SentCount(), 2u);
    EXPECT_EQ(l.FocusStep->Text(), "0140");
    EXPECT_EQ(l.CurrentFocus->Text(), "0120");
    EXPECT_TRUE(l.GetZoomCurrent->isEnabled());
    ExpectNoTimerArmed();
}

TEST_F(EasyLensTest, ZoomAndFocusRanges) {
    const struct {
        int digitalZoom;
        int fmin, fmax;
        int zoomMax, zoomFrequency, zoomPage;
        int focusStep;
    } cases[] = {
        {1, 0x0100, 0x0140, 0x26F0, 587, 117, 8},  {0, 0x0100, 0x0105, 0x18B0, 222, 44, 1},
        {1, 0x0100, 0x019F, 0x26F0, 587, 117, 16}, {0, 0x0100, 0x01A0, 0x18B0, 222, 44, 32},
        {1, 0x0100, 0x0113, 0x26F0, 587, 117, 2},
    };
    Load();
    auto& l = L();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.focusStep);
        // DigitalZoomClick disables the group and sets; its answer reads the zoom.
        l.DigitalZoom->SetItemIndex(c.digitalZoom);
        EXPECT_EQ(Last(4), c.digitalZoom ? "21450601" : "21450600");
        EXPECT_FALSE(l.DigitalZoom->isEnabled());
        AckAndAnswer({0xA0, 0x45, 0x06, static_cast<uint8_t>(c.digitalZoom)});
        EXPECT_EQ(Last(3), "314500");
        ZoomAnswer(0x1200, 0x1200, c.fmax, c.fmin);
        EXPECT_EQ(l.ZoomStepBar->Min(), 0x1000);
        EXPECT_EQ(l.ZoomStepBar->Max(), c.zoomMax);
        EXPECT_EQ(l.ZoomStepBar->tickInterval(), c.zoomFrequency);
        EXPECT_EQ(l.ZoomStepBar->pageStep(), c.zoomPage);
        EXPECT_EQ(l.FocusStepBar->Min(), c.fmin);
        EXPECT_EQ(l.FocusStepBar->Max(), c.fmax);
        EXPECT_EQ(l.FocusStepBar->tickInterval(), c.focusStep);
        EXPECT_EQ(l.FocusStepBar->pageStep(), c.focusStep);
        FocusAnswer(0x0100, 0x0100);
        EXPECT_TRUE(l.DigitalZoom->isEnabled());
    }
}

TEST_F(EasyLensTest, SpinButtonsStepWithinTheirBounds) {
    Load();
    auto& l = L();
    const struct {
        ui::SpinButton* spin;
        bool up;
        ui::Edit* edit;
        const char* from;
        const char* to;
        const char* sent; // P1..Pn of the step's command, "" for none
    } cases[] = {
        {l.ZoomSpinButton, true, l.ZoomStep, "18B0", "18B0", ""}, // the bar's maximum
        {l.ZoomSpinButton, false, l.ZoomStep, "1000", "1000", ""},
        {l.ZoomSpinButton, true, l.ZoomStep, "1234", "1235", "2145001235"},
        {l.FocusSpinButton, true, l.FocusStep, "0140", "0140", ""},
        {l.FocusSpinButton, false, l.FocusStep, "0120", "011F", "214501011F"},
        {l.PositionSpinButton, false, l.PositionNo, "01", "01", ""},
        {l.PositionSpinButton, true, l.PositionNo, "64", "64", ""},
        {l.PositionSpinButton, true, l.PositionNo, "09", "10", ""}, // nothing is sent
        {l.AlarmSpinButton, true, l.AlarmNo, "64", "64", ""},
        {l.AlarmSpinButton, false, l.AlarmNo, "00", "00", ""},
        {l.AlarmSpinButton, false, l.AlarmNo, "10", "09", "215109"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + (c.up ? " up" : " down"));
        c.edit->SetText(c.from);
        GiveUp();
        port.ClearWritten();
        (c.up ? c.spin->UpButton() : c.spin->DownButton())->click();
        EXPECT_EQ(c.edit->Text().toStdString(), c.to);
        const std::string sent = c.sent;
        if (sent.empty())
            EXPECT_TRUE(Sent().empty());
        else
            EXPECT_EQ(Sent(),
                      (std::vector<std::string>{sent + std::string(30 - sent.size(), '0')}));
    }
}

TEST_F(EasyLensTest, NumbersAboveTheRangeAreShownWholeAndSteppedBackIntoIt) {
    auto blocks = Blocks();
    blocks[6][10] = 150; // AlarmNo
    blocks[8][3] = 150;  // PositionNo
    LoadEasyPage(blocks);
    auto& l = L();
    EXPECT_EQ(l.AlarmNo->Text().toStdString(), "150");
    EXPECT_EQ(l.PositionNo->Text().toStdString(), "150");

    l.PosSave->click(); // not a number the operator chose: nothing goes out
    EXPECT_TRUE(Sent().empty());
    l.AlarmSpinButton->DownButton()->click();
    EXPECT_EQ(l.AlarmNo->Text().toStdString(), "64");
    EXPECT_EQ(Last(3), "215140");
    l.PositionSpinButton->UpButton()->click();
    EXPECT_EQ(l.PositionNo->Text().toStdString(), "64");
}

TEST_F(EasyLensTest, EditsSendOnlyCompleteEntries) {
    Load();
    auto& l = L();
    const struct {
        ui::Edit* edit;
        std::vector<const char*> typed; // successive texts, as keystrokes leave them
        std::vector<std::string> sent;
        bool error;
    } cases[] = {
        {l.AlarmNo, {"0", "05"}, {"215105"}, false},
        {l.AlarmNo, {"x", "x5"}, {}, true},
        {l.ZoomStep, {"1", "12", "123", "1234"}, {"2145001234"}, false},
        {l.ZoomStep, {"12G4"}, {}, false},
        {l.FocusStep, {"013"}, {}, false},
        {l.FocusStep, {"0130"}, {"2145010130"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.back());
        c.edit->SetText("");
        GiveUp();
        port.ClearWritten();
        sink.shown.clear();
        for (const char* t : c.typed)
            c.edit->SetText(t);
        std::vector<std::string> want;
        for (const auto& s : c.sent)
            want.push_back(s + std::string(30 - s.size(), '0'));
        EXPECT_EQ(Sent(), want);
        ASSERT_EQ(sink.shown.size(), c.error ? 1u : 0u);
        if (c.error) {
            EXPECT_TRUE(sink.shown[0].text.contains("x5"));
        }
    }
    // The position buttons read the number the same way.
    l.PositionNo->SetText("a1");
    port.ClearWritten();
    sink.shown.clear();
    l.PosLoad->Click();
    l.PosSave->Click();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(sink.shown.size(), 2u);
    EXPECT_TRUE(l.PosLoad->isEnabled());
}

TEST_F(EasyLensTest, CommandsOfTheLensControls) {
    Load();
    auto& l = L();
    const struct {
        const char* name;
        std::function<void()> act;
        std::string sent;
    } cases[] = {
        {"AutoFocus", [&] { l.AutoFocus->SetChecked(true); }, "21450201"},
        {"OnePushAF", [&] { l.OnePushAF->Click(); }, "214503"},
        {"ZoomSpeed",
         [&] {
             l.ZoomSpeedBar->SetPosition(4);
             l.Bound().Bar(settings::kZoomSpeed)->DebounceTimer->OnTimer();
         },
         "21450504"},
        {"FocusSpeed",
         [&] {
             l.FocusSpeedBar->SetPosition(1);
             l.Bound().Bar(settings::kFocusSpeed)->DebounceTimer->OnTimer();
         },
         "21450701"},
        {"ZoomStepBar",
         [&] {
             l.ZoomStepBar->SetPosition(0x1500);
             l.ZoomStepTimer->OnTimer();
         },
         "2145001500"},
        {"FocusStepBar",
         [&] {
             l.FocusStepBar->SetPosition(0x0111);
             l.FocusStepTimer->OnTimer();
         },
         "2145010111"},
        {"PushSW", [&] { l.PushSW->SetItemIndex(1); }, "21520201"},
        {"PosSave",
         [&] {
             l.PositionNo->SetText("12");
             l.PosSave->Click();
         },
         "2152010C"}, // position 12
        {"PosLoad", [&] { l.PosLoad->Click(); }, "3152010C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GiveUp();
        port.ClearWritten();
        c.act();
        EXPECT_EQ(Sent(),
                  (std::vector<std::string>{c.sent + std::string(30 - c.sent.size(), '0')}));
    }
    EXPECT_EQ(l.ZoomStep->Text(), "1500");
    EXPECT_EQ(l.FocusStep->Text(), "0111");
    EXPECT_TRUE(l.PosLoad->isEnabled()) << "unticked: nothing waits";
    // The push switch's answer gates the alarm number.
    for (int role : {1, 0}) {
        AckAndAnswer({0xA0, 0x52, 0x02, static_cast<uint8_t>(role)});
        EXPECT_EQ(l.AlarmNo->isEnabled(), role == 0);
        EXPECT_EQ(l.AlarmSpinButton->isEnabled(), role == 0);
    }
}

TEST_F(EasyLensTest, EnableUpdateFollowsInitialAndFreeze) {
    Load();
    auto& l = L();
    auto& picture = *Easy().Picture;
    ASSERT_NE(picture.Freeze, nullptr);
    picture.Freeze->SetItemIndex(1);
    l.Lens_enable_update();
    ExpectAll(AllLensControls(), false, "Freeze ON");
    picture.Freeze->SetItemIndex(0);
    l.AutoFocus->SetChecked(true);
    l.PushSW->SetItemIndex(1);
    l.Lens_enable_update();
    for (QWidget* w : Widgets{l.FocusStep, l.FocusSpinButton, l.FocusStepBar, l.OnePushAF,
                              l.AlarmNo, l.AlarmSpinButton})
        EXPECT_FALSE(w->isEnabled());
    for (QWidget* w : Widgets{l.ZoomStep, l.ZoomStepBar, l.AutoFocus, l.PushSW, l.CurrentCheck,
                              l.PosLoad, l.PosSave, l.DigitalZoom})
        EXPECT_TRUE(w->isEnabled());
    picture.Initial->SetItemIndex(0);
    l.Lens_enable_update();
    ExpectAll(AllLensControls(), false, "Initial OFF");
}

} // namespace
} // namespace r8::test
