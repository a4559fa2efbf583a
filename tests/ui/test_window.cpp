// SPDX-License-Identifier: MIT
// The main window headless: start-up, page loading, load orders, the service field and exit.
#include "AdjustTab.h"
#include "Comm.h"
#include "CopyTab.h"
#include "EasyTab.h"
#include "FakePort.h"
#include "Frames.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "SimPeer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace r8;
using r8::test::FakePort;
using r8::test::RecordingSink;
using r8::ui::TFR8V2;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

constexpr int kWaitMs = 15000;

// A good answer that repeats P2..P4 of its command (an address, where the command has one).
std::vector<uint8_t> Answer(uint8_t a2, uint8_t a3, uint8_t a4) {
    uint8_t p[15] = {0xA0, a2, a3, a4};
    auto f = MakeStxFrame(p, 15);
    return {f.begin(), f.end()};
}

std::string Hex(const std::vector<uint8_t>& v, size_t n) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n && i < v.size(); ++i) {
        s += d[v[i] >> 4];
        s += d[v[i] & 15];
    }
    return s;
}

// The read requests (P2 P3 P4 in hexadecimal) among the units a camera received.
std::vector<std::string> Reads(const std::vector<std::vector<uint8_t>>& units) {
    std::vector<std::string> out;
    for (const auto& u : units)
        if (u.size() == kCommandFrameSize && u[1] == 0x31)
            out.push_back(Hex({u[2], u[3], u[4]}, 3));
    return out;
}

const std::vector<std::string> kEasyReads = {"600000", "600100", "600200", "600300",
                                             "600400", "600500", "600600", "600700",
                                             "600800", "600900", "0C0151"};
const std::vector<std::string> kMaskReads = {"570000", "570100"};
const std::vector<std::string> kAdjustReads = {"0A0100", "0A4000", "420000", "370000", "370100",
                                               "1B0000", "1B0500", "1B0600", "430000", "0A2B00",
                                               "0A2C00", "0A2D00", "0A2E00", "0A2F00"};
const std::vector<std::string> kLineReads = {"0A0100", "0A4000", "530000"};

void Unlock(TFR8V2& w) {
    for (const char* t : {"t", "tm", "tmw", "tmwr"})
        w.pwl->SetText(t);
}

class SimulatorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (HoldsAnswers()) camera.Hold();
        camera.Start();
        SetPortPath(1, camera.SlavePath());
        window = std::make_unique<TFR8V2>();
        window->FormCreate();
    }
    virtual bool HoldsAnswers() const { return false; }
    void TearDown() override {
        window.reset();
        camera.Stop();
    }
    bool Idle() const {
        return window->Loader().TransStep == 0 && window->Loader().Orders.bOrder == 0 &&
               window->Link().LINK_STATUS == 1;
    }

    RecordingSink sink;
    sim::CameraSim camera;
    std::unique_ptr<TFR8V2> window;
};

// The camera keeps its replies until the test releases them, so a test can act while a page
// load is certainly running.
class HeldSimulatorWindow : public SimulatorWindow {
protected:
    bool HoldsAnswers() const override { return true; }
    // Lets the camera acknowledge the start-up enquiry and waits until the first page request
    // is held unanswered.
    void HoldFirstPageRequest() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return camera.Held() == 1; }, kWaitMs));
        camera.Release(1);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return camera.Held() == 1 && window->Loader().TransStep != 0; }, kWaitMs));
    }
};

} // namespace

TEST_F(SimulatorWindow, StartUpConnectsAndLoadsTheEasyPage) {
    auto& w = *window;
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connecting: " + camera.SlavePath());
    EXPECT_FALSE(w.PageControl1->isEnabled());
    EXPECT_EQ(w.PageControl1->currentIndex(), 4);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(w.PageControl1->isTabVisible(i), i == 4 || i == 6) << i;

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return camera.Received().size() >= 2 + 2 * 11 && Idle(); }, kWaitMs));
    EXPECT_TRUE(w.PageControl1->isEnabled());
    const auto units = camera.Received();
    ASSERT_GE(units.size(), 2u + 2 * 11);
    EXPECT_EQ(units[0], std::vector<uint8_t>{ENQ});
    EXPECT_EQ(units[1], std::vector<uint8_t>{EOT});
    // One request per answer: every request is followed by the acknowledgement of its answer.
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(units[2 + 2 * i].size(), kCommandFrameSize) << i;
        EXPECT_EQ(units[3 + 2 * i], std::vector<uint8_t>{ACK}) << i;
    }
    EXPECT_EQ(Reads(units), kEasyReads);
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connected: " + camera.SlavePath());
    EXPECT_EQ(w.StatusBar1->PanelText(1), "310C015100000000000000000000");
    EXPECT_EQ(w.StatusBar1->PanelText(2).size(), 30);
    EXPECT_TRUE(w.StatusBar1->PanelText(2).startsWith("A00C0151"));
    // The command and the answer show whole, and every panel's text also on hover.
    for (QLabel* panel : w.StatusBar1->findChildren<QLabel*>()) {
        EXPECT_EQ(panel->toolTip(), panel->text());
        if (panel->text() == w.StatusBar1->PanelText(1) ||
            panel->text() == w.StatusBar1->PanelText(2)) {
            EXPECT_GE(panel->contentsRect().width(),
                      panel->fontMetrics().horizontalAdvance(panel->text()));
        }
    }
    EXPECT_TRUE(w.Easy->TabPanel()->isEnabled());
    for (const auto& m : sink.shown)
        ADD_FAILURE() << m.caption.toStdString() << ": " << m.text.toStdString();
}

TEST_F(HeldSimulatorWindow, TabChangesDuringALoadAreQueuedAndLoadInOrder) {
    auto& w = *window;
    Unlock(w);
    HoldFirstPageRequest();
    const char* expected[] = {"1", "2", "3"};
    int k = 0;
    for (int page : {6, 0, 5}) {
        w.PageControl1->setCurrentIndex(page); // as the operator's click does
        EXPECT_EQ(w.Order->Caption(), expected[k++]);
    }
    camera.Resume();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Reads(camera.Received()).size() == 30 && Idle(); }, kWaitMs));
    std::vector<std::string> all = kEasyReads;
    for (const auto* part : {&kMaskReads, &kAdjustReads, &kLineReads})
        all.insert(all.end(), part->begin(), part->end());
    EXPECT_EQ(Reads(camera.Received()), all);
    EXPECT_EQ(w.Order->Caption(), "0");
    EXPECT_TRUE(w.Adjust->TabPanel()->isEnabled());
}

TEST(UnpluggedCameraWindow, ShowsItDisconnectedAndLoadsTheActivePageWhenItIsBack) {
    RecordingSink sink;
    sim::SimOptions o;
    o.linkPath = (std::filesystem::temp_directory_path() / "window-camera").string();
    sim::CameraSim camera(o);
    camera.Start();
    SetPortPath(1, o.linkPath);
    TFR8V2 w;
    w.FormCreate();
    const auto loaded = [&](size_t from) {
        const auto units = camera.Received();
        return units.size() >= from && w.PageControl1->isEnabled() && w.Loader().TransStep == 0 &&
               Reads({units.begin() + static_cast<std::ptrdiff_t>(from), units.end()}) ==
                   kEasyReads;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded(0); }, kWaitMs));
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connected: " + o.linkPath);

    camera.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sink.shown.empty(); }, kWaitMs));
    EXPECT_EQ(sink.shown[0].caption, "Comm.ERR");
    EXPECT_EQ(sink.shown[0].text.toStdString(),
              "Camera disconnected: " + o.linkPath + " was removed. Waiting for it to come back.");
    EXPECT_EQ(w.StatusBar1->PanelText(0), "Comm. Disconnected");
    EXPECT_FALSE(w.PageControl1->isEnabled());

    const size_t before = camera.Received().size();
    camera.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded(before); }, kWaitMs));
    EXPECT_EQ(w.StatusBar1->PanelText(0).toStdString(), "Comm. Connected: " + o.linkPath);
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(SimulatorWindow, MenuLoadReadsTheActiveTabAgain) {
    auto& w = *window;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Reads(camera.Received()).size() == 11 && Idle(); }, kWaitMs));
    w.PageControl1->setCurrentIndex(6);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Reads(camera.Received()).size() == 13 && Idle(); }, kWaitMs));
    w.ReLoad->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Reads(camera.Received()).size() == 15 && Idle(); }, kWaitMs));
    auto reads = Reads(camera.Received());
    EXPECT_EQ(std::vector<std::string>(reads.end() - 4, reads.end()),
              (std::vector<std::string>{"570000", "570100", "570000", "570100"}));
}

TEST_F(HeldSimulatorWindow, PushSwitchWaitsForTheLoad) {
    auto& w = *window;
    HoldFirstPageRequest();
    w.SW_push(1); // refused during the load
    camera.Resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, kWaitMs));
    w.SW_push(1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto c = camera.Commands();
            return !c.empty() && c.back()[0] == 0x21 && Idle();
        },
        kWaitMs));
    auto c = camera.Commands();
    EXPECT_EQ(Hex({c.back()[0], c.back()[1], c.back()[2], c.back()[3]}, 4), "21320100");
    size_t writes = 0;
    for (const auto& p : c)
        writes += p[0] == 0x21;
    EXPECT_EQ(writes, 1u);
}

namespace {

// A window on a scripted port: the test plays the camera byte by byte.
class ScriptedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFR8V2>(&port);
        window->FormCreate();
    }
    void AnswerLast() {
        auto& f = window->Link().SendFrame;
        port.Deliver({ACK});
        port.Deliver(Answer(f[2], f[3], f[4]));
    }
    RecordingSink sink;
    FakePort port;
    std::unique_ptr<TFR8V2> window;
};

} // namespace

TEST_F(ScriptedWindow, GuardRefusesThroughoutTheSequence) {
    auto& w = *window;
    port.Deliver({ACK});
    int requests = 0;
    while (w.Loader().TransStep != 0 && requests < 50) {
        EXPECT_FALSE(w.Loader().Trans_chk()) << requests;
        EXPECT_FALSE(w.Easy->TabPanel()->isEnabled());
        AnswerLast();
        ++requests;
    }
    EXPECT_EQ(requests, 11);
    EXPECT_TRUE(w.Loader().Trans_chk());
    EXPECT_TRUE(w.Easy->TabPanel()->isEnabled());
}

TEST_F(ScriptedWindow, LoadWithDsrOffShowsTheBoxAndSendsNothing) {
    auto& w = *window;
    port.Deliver({ACK});
    while (w.Loader().TransStep != 0)
        AnswerLast();
    port.ClearWritten();
    port.dsr = false;
    w.ReLoad->trigger();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, "Camera Connection changed (DR OFF)");
    EXPECT_EQ(sink.shown[0].caption, "R8V7");
    EXPECT_EQ(sink.shown[0].buttons, 1);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(w.Easy->TabPanel()->isEnabled());
}

TEST_F(ScriptedWindow, QueuedMaskOrderStartsTheMaskPage) {
    auto& w = *window;
    port.Deliver({ACK});
    w.PageControl1->setCurrentIndex(6);
    EXPECT_EQ(w.Order->Caption(), "1");
    while (w.Loader().TransStep != 0)
        AnswerLast();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Loader().TransStep != 0; }, kWaitMs));
    EXPECT_EQ(w.Loader().TransGroup, 6);
    EXPECT_EQ(Hex({port.writes.back()[1], port.writes.back()[2], port.writes.back()[3]}, 3),
              "315700");
    EXPECT_EQ(w.Order->Caption(), "0");
}

TEST_F(ScriptedWindow, ExitDropsOrdersAndClosesThePort) {
    auto& w = *window;
    port.Deliver({ACK});
    w.PageControl1->setCurrentIndex(6);
    w.PageControl1->setCurrentIndex(4);
    EXPECT_EQ(w.Loader().Orders.bOrder, 2);
    w.ExitButton->Click();
    EXPECT_EQ(w.Loader().Orders.bOrder, 0);
    EXPECT_FALSE(port.open);
}

TEST_F(ScriptedWindow, NoCameraEndsTheProgramAfterTheSearch) {
    auto& w = *window;
    for (int i = 0; i < 16; ++i)
        w.Link().SendTimerTimer();
    EXPECT_TRUE(w.Terminated());
    ASSERT_EQ(sink.shown.size(), 1u);
    // The box names the ports tried and how to pick another.
    EXPECT_TRUE(sink.shown[0].text.startsWith(" Serial Port not connected \n\n"));
    EXPECT_TRUE(sink.shown[0].text.contains("Camera > Port..."));
    EXPECT_TRUE(sink.shown[0].text.contains("--com1"));
    EXPECT_EQ(sink.shown[0].caption, "Comm.ERR");
    EXPECT_EQ(sink.shown[0].buttons, 2);
    EXPECT_FALSE(w.SendTimer->Enabled());
}

TEST_F(ScriptedWindow, FrameIsAsCreated) {
    auto& w = *window;
    EXPECT_EQ(w.windowTitle(), "R8V5MC");
    EXPECT_EQ(w.Title->Caption(), " R8V5MC Camera Adjust Tool");
    EXPECT_EQ(w.Order->Caption(), "0");
    EXPECT_TRUE(w.Order->isHidden());
    EXPECT_TRUE(w.pwl->isHidden());
    EXPECT_TRUE(w.Copy->complete2->isHidden());
    EXPECT_EQ(w.StatusBar1->PanelCount(), 4);
    EXPECT_TRUE(w.SendTimer->Enabled());
    EXPECT_EQ(w.SendTimer->Interval(), 1500);
    EXPECT_FALSE(w.cursor_timer->Enabled());
    EXPECT_EQ(w.cursor_timer->Interval(), 10);
    EXPECT_FALSE(w.ReloadTimer->Enabled());
    EXPECT_EQ(w.ReloadTimer->Interval(), 2000);
    EXPECT_EQ(port.written, std::vector<uint8_t>{ENQ});
}

namespace {

struct UnlockCase {
    std::vector<const char*> typed;
    bool unlocked;
    bool fieldHidden;
};

} // namespace

TEST_F(ScriptedWindow, ServiceFieldUnlockRule) {
    const UnlockCase cases[] = {
        {{"t", "tm", "tmw", "tmwr"}, true, true},  {{"T", "TM", "TMW", "TMWR"}, true, true},
        {{"t", "tM", "tMw", "tMwr"}, false, true}, // a mixture never unlocks
        {{"a", "ab", "abc", "abcd"}, false, true}, // the fourth wrong change hides the field
        {{"a", "ab", "abc"}, false, false},        {{"Tmwr"}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.typed));
        window = std::make_unique<TFR8V2>(&port);
        window->FormCreate();
        auto& w = *window;
        w.ShowServiceField();
        EXPECT_FALSE(w.pwl->isHidden());
        for (const char* t : c.typed)
            w.pwl->SetText(t);
        for (int i : {0, 1, 2, 3, 5})
            EXPECT_EQ(w.PageControl1->isTabVisible(i), c.unlocked) << i;
        EXPECT_EQ(w.pwl->isHidden(), c.fieldHidden);
    }
}

TEST_F(ScriptedWindow, FourWrongChangesResetTheCounter) {
    auto& w = *window;
    w.ShowServiceField();
    for (const char* t : {"a", "ab", "abc", "abcd"})
        w.pwl->SetText(t);
    EXPECT_TRUE(w.pwl->isHidden());
    EXPECT_EQ(w.UnlockCount, 0);
    w.ShowServiceField();
    w.pwl->SetText("");
    for (const char* t : {"t", "tm", "tmw", "tmwr"})
        w.pwl->SetText(t);
    EXPECT_TRUE(w.PageControl1->isTabVisible(0));
}

TEST_F(ScriptedWindow, EveryTimerIsCreatedWithItsIntervalAndDisabled) {
    std::map<QString, int> expected = {
        {"Timerkizu", 100},      {"SensKFTimer", 300},     {"Timercrm", 100},
        {"TimerRYP", 500},       {"TimerBYP", 500},        {"TimerRYN", 500},
        {"TimerBYN", 500},       {"AGCTimer", 300},        {"SENSTimer", 300},
        {"RTimer", 300},         {"BTimer", 300},          {"PhaseTimer", 300},
        {"ATWBarTimer", 300},    {"AWBBarTimer", 300},     {"HGainTimer", 300},
        {"VGainTimer", 300},     {"PeakOnTimer", 300},     {"ALCAutoTimer", 300},
        {"ALCFixTimer", 300},    {"AESAutoTimer", 300},    {"BLCSensTimer", 300},
        {"BLCAreaTimer", 300},   {"ZoomStepTimer", 300},   {"FocusStepTimer", 300},
        {"ZoomSpeedTimer", 300}, {"FocusSpeedTimer", 300},
    };
    for (auto* timer : window->findChildren<r8::ui::Timer*>()) {
        auto it = expected.find(timer->objectName());
        if (it == expected.end()) continue;
        EXPECT_EQ(timer->Interval(), it->second) << it->first.toStdString();
        EXPECT_FALSE(timer->Enabled()) << it->first.toStdString();
        expected.erase(it);
    }
    for (const auto& [name, ms] : expected)
        ADD_FAILURE() << "missing " << name.toStdString();
}

TEST_F(SimulatorWindow, HelpAboutShowsThePortAndWhatTheCameraReported) {
    auto& w = *window;
    EXPECT_TRUE(w.Help->menuAction()->isVisible()) << "the Help menu is on show";
    auto aboutText = [&] {
        w.About1->trigger();
        auto* box = w.findChild<QMessageBox*>("AboutBox");
        if (!box) return std::string("no box");
        const std::string text = box->text().toStdString();
        delete box;
        return text;
    };
    // The camera's ACK is not taken before the loop runs: not yet connected.
    const std::string before = aboutText();
    EXPECT_NE(before.find("Port: " + camera.SlavePath() + "\n"), std::string::npos) << before;
    EXPECT_NE(before.find("Camera: not connected"), std::string::npos) << before;
    EXPECT_EQ(before.find("TV system"), std::string::npos) << before;
    EXPECT_NE(before.find("MIT licence"), std::string::npos) << before;

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Idle() && Reads(camera.Received()).size() >= 11; }, kWaitMs));
    const std::string after = aboutText();
    EXPECT_NE(after.find("Camera: connected"), std::string::npos) << after;
    EXPECT_NE(after.find("TV system: PAL\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Resolution: Hi-Resolution\n"), std::string::npos) << after;
}
