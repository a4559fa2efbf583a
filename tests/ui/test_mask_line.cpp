// SPDX-License-Identifier: MIT
// The MASK tab with its preview window, the Line tab and the push-switch window, against the
// simulated camera.
#include "MaskPanel.h"
#include "SideWindows.h"
#include "SimWindow.h"
#include "patterns/SendWhenFree.h"
#include "tabs/LineTab.h"
#include "tabs/MaskTab.h"
#include "tabs/mask/MaskGroup.h"

#include <QFontInfo>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace r8::test {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

using ui::MaskGroup;
using ui::MaskMove;
using ui::MaskRect;
using ui::MaskSwitch;

class MaskWindow : public SimWindow {
protected:
    void SetUp() override {
        SimWindow::SetUp();
        window->SetMaskPreview(&preview);
        ShowPage(kMaskGroup);
    }
    MaskGroup& M(int n) { return *window->Mask->Masks[n]; }
    static std::vector<std::string> Edits(const MaskGroup& g) {
        return {g.MASK_HS->Text().toStdString(), g.MASK_HE->Text().toStdString(),
                g.MASK_VS->Text().toStdString(), g.MASK_VE->Text().toStdString()};
    }

    ui::TFMR8V2 preview;
};

TEST_F(MaskWindow, LoadingThePageReadsBothMasksAndShowsThem) {
    camera.WithModel([](sim::CameraModel& m) {
        m.Set(sim::Setting::Mask1H, 0x1A2B);
        m.Set(sim::Setting::Mask2V, 0x0C9D);
    });
    const auto sent = Exchange([&] { window->ReLoadClick(); }, {"31570000", "31570100"});
    EXPECT_EQ(sent, (std::vector<std::string>{"31570000", "31570100"})) << "nothing but reads";
    EXPECT_EQ(Edits(M(0))[0], "1A");
    EXPECT_EQ(Edits(M(0))[1], "2B");
    EXPECT_EQ(Edits(M(1))[2], "0C");
    EXPECT_EQ(Edits(M(1))[3], "9D");
    EXPECT_EQ(preview.Panel9->Mask(1).rect, (MaskRect{0x80, 0xB0, 0x0C, 0x9D}));
    EXPECT_EQ(preview.Panel9->Mask(1).state, MaskSwitch::Unknown) << "the switch is not read";
}

// One row: a mask with its edits, step and "EEPROM Write", a button, what goes out and what
// the edits and the camera show afterwards.
struct MaskCase {
    const char* what;
    int mask;
    std::vector<const char*> edits; // H start, H end, V start, V end
    int step;
    bool eeprom;
    const char* button; // "ON", "OFF", "U", "D", "L", "R"
    const char* sent;   // P1..Pn
    std::vector<const char*> after;
};

const MaskCase kMaskCases[] = {
    {"on",
     0,
     {"10", "40", "20", "60"},
     1,
     false,
     "ON",
     "215700010010402060",
     {"10", "40", "20", "60"}},
    {"up",
     0,
     {"10", "40", "20", "60"},
     1,
     false,
     "U",
     "215700010010401F5F",
     {"10", "40", "1F", "5F"}},
    {"up by 8 at the top",
     0,
     {"10", "40", "05", "30"},
     8,
     false,
     "U",
     "215700010010400528",
     {"10", "40", "05", "28"}},
    {"down to the bottom",
     0,
     {"10", "40", "A0", "A1"},
     8,
     false,
     "D",
     "21570001001040A8A1",
     {"10", "40", "A8", "A1"}},
    {"right to the edge",
     1,
     {"D0", "D1", "20", "30"},
     8,
     true,
     "R",
     "2157010101D8D12030",
     {"D8", "D1", "20", "30"}},
    {"left stops at 0",
     1,
     {"05", "05", "20", "30"},
     8,
     false,
     "L",
     "215701010005002030",
     {"05", "00", "20", "30"}},
    {"off", 1, {"10", "40", "20", "60"}, 1, true, "OFF", "2157010001", {"10", "40", "20", "60"}},
    {"empty goes as 00",
     0,
     {"", "4", "20", "60"},
     1,
     false,
     "ON",
     "215700010000042060",
     {"", "4", "20", "60"}},
};

TEST_F(MaskWindow, ButtonsSendTheMaskAndMovesShowTheNewRectangle) {
    for (const MaskCase& c : kMaskCases) {
        SCOPED_TRACE(c.what);
        MaskGroup& g = M(c.mask);
        ui::Edit* edits[] = {g.MASK_HS, g.MASK_HE, g.MASK_VS, g.MASK_VE};
        for (int i = 0; i < 4; ++i)
            edits[i]->SetText(c.edits[i]);
        while (g.MASK_SP->Position() < c.step)
            g.MASK_SP->Step(ui::UpDown::Direction::Up);
        while (g.MASK_SP->Position() > c.step)
            g.MASK_SP->Step(ui::UpDown::Direction::Down);
        EXPECT_EQ(g.MASK_un->Text(), QString::number(c.step));
        g.MASK_EEP->SetChecked(c.eeprom);
        const std::map<std::string, ui::Button*> buttons = {{"ON", g.MASK_ON}, {"OFF", g.MASK_OFF},
                                                            {"U", g.MASK_U},   {"D", g.MASK_D},
                                                            {"L", g.MASK_L},   {"R", g.MASK_R}};
        const std::string sent = c.sent;
        EXPECT_EQ(Exchange([&] { buttons.at(c.button)->click(); }, {sent}),
                  std::vector<std::string>{sent});
        EXPECT_EQ(Edits(g), std::vector<std::string>(c.after.begin(), c.after.end()));

        // The camera took it, and the preview shows it as sent.
        const bool on = std::string(c.button) != "OFF";
        sim::MaskRect cam;
        camera.WithModel([&](sim::CameraModel& m) { cam = m.Mask(c.mask); });
        EXPECT_EQ(cam.on, on);
        const ui::MaskView& shown = preview.Panel9->Mask(c.mask);
        EXPECT_EQ(shown.state, on ? MaskSwitch::On : MaskSwitch::Off);
        ASSERT_TRUE(shown.rect.has_value());
        if (on) {
            EXPECT_EQ((MaskRect{cam.hs, cam.he, cam.vs, cam.ve}), *shown.rect);
            EXPECT_EQ(preview.Legend[c.mask]->Caption(), QString("MASK%1 ON").arg(c.mask + 1));
        }
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(MaskWindow, ACoordinateThatIsNotHexadecimalSendsNothingAndSaysSo) {
    MaskGroup& g = M(0);
    for (auto* e : {g.MASK_HS, g.MASK_HE, g.MASK_VS, g.MASK_VE})
        e->SetText("10");
    g.MASK_VE->SetText("G1");
    EXPECT_FALSE(preview.Panel9->Mask(0).rect.has_value()) << "no place to draw";
    for (ui::Button* b : {g.MASK_ON, g.MASK_U, g.MASK_L})
        EXPECT_EQ(Exchange([&] { b->click(); }, {}), std::vector<std::string>{});
    ASSERT_EQ(sink.shown.size(), 3u);
    EXPECT_EQ(sink.shown[0].text,
              "MASK1 V End: \"G1\" is not a hexadecimal number. Nothing was sent.");
    EXPECT_EQ(g.MASK_VE->Text(), "G1") << "a refused move leaves the edits alone";
    EXPECT_EQ(Exchange([&] { g.MASK_OFF->click(); }, {"2157000000"}),
              std::vector<std::string>{"2157000000"})
        << "OFF carries no rectangle";
}

TEST_F(MaskWindow, ThePreviewButtonShowsTheWindow) {
    EXPECT_FALSE(preview.isVisible());
    window->Mask->MaskPreview->click();
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.windowTitle(), "R8V2-Mask");
    EXPECT_EQ(preview.size(), QSize(263, 184));
    EXPECT_EQ(preview.Panel9->geometry(), QRect(30, 33, 207, 128));
}

class LineWindow : public SimWindow {
protected:
    void SetUp() override {
        SimWindow::SetUp();
        ShowPage(kLineGroup);
    }
    ui::LineTab& L() { return *window->Line; }
    // Enabled states: IRISAdjustSet, IRISAdjustExit, BiasNum, BiasSpinButton, AdjustGo.
    std::string States() {
        std::string s;
        const std::vector<QWidget*> ws = {L().IRISAdjustSet, L().IRISAdjustExit, L().BiasNum,
                                          L().BiasSpinButton, L().AdjustGo};
        for (QWidget* w : ws)
            s += w->isEnabled() ? '1' : '0';
        return s;
    }
    // Starts a procedure with the camera holding its replies, then lets them out one at a
    // time: each row names the command that went out and the states while it waits for its
    // answer; the last row, the states once the procedure has nothing more to send.
    struct Step {
        const char* sent;
        const char* states;
    };
    void RunHeld(ui::Button* start, const std::vector<Step>& steps) {
        camera.Hold();
        Mark();
        start->click();
        for (size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(i);
            const bool last = i + 1 == steps.size();
            if (last) {
                camera.Resume();
                ASSERT_TRUE(RunUntil([&] { return Idle(); }));
            } else {
                ASSERT_TRUE(RunUntil([&] { return camera.Held() == 1; }));
                ASSERT_TRUE(RunUntil([&] { return SentSinceMark().size() == i + 1; }));
                EXPECT_EQ(Payloads({SentSinceMark().back()}, {steps[i].sent})[0], steps[i].sent);
            }
            EXPECT_EQ(States(), steps[i].states);
            if (!last) camera.Release(1);
        }
        EXPECT_EQ(SentSinceMark().size(), steps.size() - 1) << "nothing more";
    }
};

TEST_F(LineWindow, LoadingThePageReadsTheBiasAndSendsNothingElse) {
    camera.WithModel([](sim::CameraModel& m) { m.Set(sim::Setting::IrisBias, 0x5C); });
    const std::vector<std::string> reads = {"310A01", "310A40", "3153"};
    EXPECT_EQ(Exchange([&] { window->ReLoadClick(); }, reads), reads);
    EXPECT_EQ(L().BiasNum->Text(), "5C");
    EXPECT_EQ(States(), "10001") << "idle";
}

TEST_F(LineWindow, LensAdjustmentStepsUntilTheCameraAnswersOne) {
    // The simulated camera answers the adjustment 0, 0, 1.
    RunHeld(L().AdjustGo, {{"21450600", "10000"},
                           {"21450400", "00000"},
                           {"2146", "00000"},
                           {"21450401", "00000"},
                           {"2146", "00000"},
                           {"21450401", "00000"},
                           {"", "10001"}});
}

TEST_F(LineWindow, IrisAdjustmentSetsTheBiasUntilExit) {
    RunHeld(L().IRISAdjustSet, {{"21450600", "00001"}, {"21480300", "00001"}, {"", "01110"}});
    struct Entry {
        const char* text;  // typed into BiasNum, or "" for none
        const char* spin;  // "down", "up" or ""
        const char* shown; // BiasNum afterwards
        std::vector<std::string> sent;
    } entries[] = {
        {"0A", "", "0A", {"21530A"}},
        {"", "down", "0B", {"21530B"}},   // the lower arrow raises
        {"", "up", "0A", {"21530A"}},     // the upper arrow lowers
        {"FF", "down", "FF", {"2153FF"}}, // stays at FF
        {"00", "up", "00", {"215300"}},   // stays at 00
        {"7", "", "7", {}},               // one digit is no entry
        {"7G", "down", "7G", {}},         // not hexadecimal: nothing sent, nothing stepped
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(std::string(e.text) + e.spin);
        EXPECT_EQ(Exchange(
                      [&] {
                          if (*e.text) L().BiasNum->SetText(e.text);
                          if (std::string(e.spin) == "down") L().BiasSpinButton->OnDownClick();
                          if (std::string(e.spin) == "up") L().BiasSpinButton->OnUpClick();
                      },
                      e.sent),
                  e.sent);
        EXPECT_EQ(L().BiasNum->Text().toStdString(), e.shown);
    }
    int bias = 0;
    camera.WithModel([&](sim::CameraModel& m) { bias = m.Get(sim::Setting::IrisBias); });
    EXPECT_EQ(bias, 0x00);
    RunHeld(L().IRISAdjustExit, {{"21480301", "01110"}, {"", "10001"}});
}

// Trans_chk refuses when the digital zoom answer comes (a page load step is under way): the
// next step waits and goes out once the link is free, instead of leaving the procedure stuck.
TEST_F(LineWindow, AStepTheLinkRefusesGoesOutWhenItIsFree) {
    camera.Hold();
    Mark();
    L().AdjustGo->click();
    ASSERT_TRUE(RunUntil([&] { return camera.Held() == 1; }));
    // A page load asked for meanwhile waits behind the exchange; the answer finds it running.
    window->Loader().ReLoadClick();
    camera.Release(1);
    ASSERT_TRUE(RunUntil([&] { return L().NextStep->Pending(); }));
    camera.Resume();
    ASSERT_TRUE(RunUntil([&] { return Idle(); }));
    L().NextStep->Tick();
    ASSERT_TRUE(RunUntil([&] { return Idle() && L().AdjustGo->isEnabled(); }));
    const std::vector<std::string> chain = {"21450600", "21450400", "2146",
                                            "21450401", "2146",     "21450401"};
    std::vector<std::string> writes;
    for (const auto& c : SentSinceMark())
        if (c.rfind("21", 0) == 0) writes.push_back(c);
    EXPECT_EQ(Payloads(writes, chain), chain);
    EXPECT_FALSE(L().NextStep->Pending());
    EXPECT_EQ(States(), "10001");
}

TEST_F(LineWindow, PushSwitchWindowSendsTheSwitchNumbers) {
    ui::TFSR8V2 panel(*window);
    EXPECT_EQ(panel.windowTitle(), "R8V2-SW");
    EXPECT_EQ(panel.size(), QSize(261, 187));
    EXPECT_EQ(QFontInfo(panel.font()).pixelSize(), 12);
    const std::pair<ui::Button*, const char*> presses[] = {{panel.push_right, "213200"},
                                                           {panel.push_left, "213201"},
                                                           {panel.push_down, "213202"},
                                                           {panel.push_up, "213203"}};
    const char* captions[] = {"Pre", "Enter", "Down", "Up"};
    int k = 0;
    for (const auto& [button, sent] : presses) {
        EXPECT_EQ(button->text(), captions[k++]);
        EXPECT_EQ(button->size(), QSize(49, 25));
        EXPECT_EQ(QFontInfo(button->font()).pixelSize(), 13);
        auto* pressed = button; // clang 14 cannot capture a structured binding
        EXPECT_EQ(Exchange([&] { pressed->click(); }, {sent}), std::vector<std::string>{sent});
    }
    // Left of the cross is "Pre", right is "Enter".
    EXPECT_LT(panel.push_right->x(), panel.push_up->x());
    EXPECT_GT(panel.push_left->x(), panel.push_up->x());

    // During a load a press sends nothing.
    camera.Hold();
    Mark();
    window->ReLoadClick();
    panel.push_right->click();
    camera.Resume();
    ASSERT_TRUE(RunUntil([&] { return Idle(); }));
    for (const auto& s : SentSinceMark())
        EXPECT_FALSE(s.starts_with("2132")) << s;
}

} // namespace
} // namespace r8::test
