// SPDX-License-Identifier: MIT
// The "CCD Defect" tab headless against the simulated camera: what each control puts on the
// wire, the chains that the answers run, the map and the adjust-parameter window. Timer handlers
// are called directly; waits are for states that stay once reached (the link free with the
// commands counted).
#include "Comm.h"
#include "DefectSettings.h"
#include "DefectTab.h"
#include "HexText.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "SideWindows.h"
#include "SimPeer.h"
#include "widgets/Shape.h"
#include "widgets/SpinEdit.h"

#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace r8;
using r8::test::RecordingSink;
using r8::ui::DefectTab;
using r8::ui::TFR8V2;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

constexpr int kWaitMs = 15000;
const std::vector<std::string> kDefectReads = {"310A01", "310A40", "313609", "313600",
                                               "313601", "313610", "313611", "313605",
                                               "313604", "31360B", "313606"};

// A payload in hexadecimal, padded with the zero bytes that go out after it.
std::string Frame(std::string payload) {
    payload.resize(30, '0');
    return payload;
}
std::vector<std::string> Frames(const std::vector<std::string>& payloads) {
    std::vector<std::string> out;
    for (const auto& p : payloads)
        out.push_back(Frame(p));
    return out;
}

class DefectWindow : public ::testing::Test {
protected:
    void Start(bool ntsc) {
        sim::SimOptions o;
        o.ntsc = ntsc;
        camera = std::make_unique<sim::CameraSim>(o);
        camera->Start();
        SetPortPath(1, camera->SlavePath());
        window = std::make_unique<TFR8V2>();
        window->SetAdjustInfoWindow(&info);
        window->FormCreate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Commands(0).size() == 11 && Free(); }, kWaitMs));
        for (const char* t : {"t", "tm", "tmw", "tmwr"})
            window->pwl->SetText(t);
        window->PageControl1->setCurrentIndex(kDefectGroup);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Commands(11).size() == 11 && Free(); }, kWaitMs));
        pageCommands = Commands(11);
    }
    void TearDown() override {
        window.reset();
        if (camera) camera->Stop();
    }
    bool Free() const {
        return window->Loader().TransStep == 0 && window->Loader().Orders.bOrder == 0 &&
               window->Link().LINK_STATUS == 1 && window->Link().AnswerCount == -1;
    }
    // The command payloads the camera received from the from-th on, in hexadecimal.
    std::vector<std::string> Commands(size_t from) const {
        std::vector<std::string> out;
        const auto all = camera->Commands();
        for (size_t i = from; i < all.size(); ++i)
            out.push_back(HexBytes(all[i].data(), all[i].size()));
        return out;
    }
    // Runs action and returns the commands it caused, once `count` of them went out and every
    // answer was handled.
    std::vector<std::string> Sends(const std::function<void()>& action, size_t count) {
        const size_t before = camera->Commands().size();
        action();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return camera->Commands().size() >= before + count && Free(); }, kWaitMs));
        return Commands(before);
    }
    // Runs action and tells whether it sent nothing (a send arms the answer time-out at once).
    bool SendsNothing(const std::function<void()>& action) {
        action();
        return window->Link().AnswerCount == -1;
    }
    DefectTab& Tab() { return *window->Defect; }
    void Select(int k) {
        if (Tab().Kizu->ItemIndex() != k) Sends([&] { Tab().Kizu->SetItemIndex(k); }, 3);
    }

    RecordingSink sink;
    ui::TKizuInfo info;
    std::unique_ptr<sim::CameraSim> camera;
    std::unique_ptr<TFR8V2> window;
    std::vector<std::string> pageCommands;
};

} // namespace

TEST_F(DefectWindow, PageLoadSendsOnlyItsReadsAndShowsTheCamerasDefects) {
    Start(false);
    EXPECT_EQ(pageCommands, Frames(kDefectReads));
    auto& t = Tab();
    EXPECT_EQ(t.Kizu->ItemIndex(), 0);
    EXPECT_EQ(t.kizu_ax->Text(), "013A");
    EXPECT_EQ(t.kizu_ay->Text(), "0064");
    EXPECT_EQ(t.KizuAX->Text(), "013A");
    EXPECT_EQ(t.Defect->ItemIndex(), 1);
    EXPECT_EQ(t.SensKFBar->Position(), 4);
    EXPECT_FALSE(t.SensKFTimer->Enabled());
    EXPECT_FALSE(t.Timerkizu->Enabled());
    EXPECT_FALSE(t.VRevKF->isEnabled()); // adjust set OFF
    EXPECT_FALSE(t.Kizu_Adjust->isEnabled());
    EXPECT_EQ(t.Shape2->pos(), QPoint(0x13A * 200 / 800, 0x64 * 150 / 312));
    EXPECT_EQ(t.Bound().Bound().size(), std::size(settings::kDefectSettings)); // every name found
    EXPECT_EQ(t.VRevKFChange->ItemButton(3)->text(), "REV && FIX"); // shows one ampersand
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(DefectWindow, PositionEntrySendsCompleteHexadecimalPositionsOfTheSelectedDefect) {
    Start(false);
    auto& t = Tab();
    const struct {
        int kizu;
        const char *x, *y;
        const char* sent; // nullptr: nothing
        ui::Edit *storedX, *storedY;
    } cases[] = {
        {0, "0123", "0040", "2136010201230040", t.KizuAX, t.KizuAY},
        {2, "0123", "0040", "2136120101230040", t.KizuCX, t.KizuCY},
        {1, "0200", "0041", "2136120002000041", t.KizuBX, t.KizuBY},
        {0, "012", "0040", nullptr, nullptr, nullptr},
        {0, "01G3", "0040", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.x) + " " + c.y);
        Select(c.kizu);
        t.kizu_ay->setEnabled(false); // Y first, without a send
        t.kizu_ay->SetText(c.y);
        t.kizu_ay->setEnabled(true);
        if (!c.sent) {
            EXPECT_TRUE(SendsNothing([&] { t.kizu_ax->SetText(c.x); }));
            continue;
        }
        EXPECT_EQ(Sends([&] { t.kizu_ax->SetText(c.x); }, 1), Frames({c.sent}));
        EXPECT_EQ(c.storedX->Text(), c.x);
        EXPECT_EQ(c.storedY->Text(), c.y);
    }
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(DefectWindow, StepButtonsMoveWithinTheLimitsAndStepsBelowOneAreRefused) {
    Start(false);
    auto& t = Tab();
    t.SpinEdit1->SetValue(0);
    EXPECT_EQ(t.SpinEdit1->Value(), 1);
    t.SpinEdit1->SetValue(-3);
    EXPECT_EQ(t.SpinEdit1->Value(), 1);
    const struct {
        ui::Button* button;
        ui::Edit* edit;
        const char *from, *to;
        int step;
    } cases[] = {
        {t.kizu_right, t.kizu_ax, "03FE", "03FF", 5}, {t.kizu_left, t.kizu_ax, "0003", "0000", 5},
        {t.kizu_up, t.kizu_ay, "0001", "0000", 1},    {t.kizu_down, t.kizu_ay, "01FF", "01FF", 1},
        {t.kizu_down, t.kizu_ay, "0010", "0012", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        t.SpinEdit1->SetValue(c.step);
        Sends([&] { c.edit->SetText(c.from); }, 1);
        if (std::string(c.from) == c.to) {
            EXPECT_TRUE(SendsNothing([&] { c.button->Click(); }));
        } else {
            const auto sent = Sends([&] { c.button->Click(); }, 1);
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].substr(0, 8), "21360102");
        }
        EXPECT_EQ(c.edit->Text(), c.to);
    }
    // A step needs a complete position to start from.
    t.kizu_ax->setEnabled(false);
    t.kizu_ax->SetText("12");
    t.kizu_ax->setEnabled(true);
    EXPECT_TRUE(SendsNothing([&] { t.kizu_right->Click(); }));
    EXPECT_EQ(t.kizu_ax->Text(), "12");
}

TEST_F(DefectWindow, MapClickSendsOnePositionAtTheTimerTickAndTheAnswerPlacesTheCursor) {
    Start(false);
    auto& t = Tab();
    EXPECT_TRUE(SendsNothing([&] { t.Shape1MouseUp(Qt::LeftButton, {}, 100, 75); }));
    EXPECT_EQ(t.kizu_ax->Text(), "0190");
    EXPECT_EQ(t.kizu_ay->Text(), "009C");
    EXPECT_TRUE(t.Timerkizu->Enabled());
    EXPECT_EQ(Sends([&] { t.TimerkizuTimer(); }, 1), Frames({"213601020190009C"}));
    EXPECT_FALSE(t.Timerkizu->Enabled());
    EXPECT_EQ(t.Shape2->pos(), QPoint(100, 75));

    // While a page load runs the tick waits; the first tick after it sends what the edits show
    // then (the load has put the camera's position of defect A there).
    camera->Hold();
    const size_t before = camera->Commands().size();
    window->ReLoadClick();
    t.Shape1MouseUp(Qt::RightButton, {}, 0, 0);
    t.TimerkizuTimer();
    EXPECT_EQ(window->Link().SendFrame[1], 0x31); // still the page request
    EXPECT_TRUE(t.Timerkizu->Enabled());
    camera->Resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Commands(before).size() == 12 && Free(); }, kWaitMs));
    const std::string shown = (t.kizu_ax->Text() + t.kizu_ay->Text()).toStdString();
    EXPECT_EQ(Commands(before).back(), Frame("21360102" + shown));
    EXPECT_FALSE(t.Timerkizu->Enabled());
}

TEST_F(DefectWindow, SwitchesSendOnlyForTheOperatorAndForTheSelectedDefect) {
    Start(false);
    auto& t = Tab();
    for (int k : {1, 2}) {
        Select(k);
        Sends([&] { t.Defect->SetItemIndex(0); }, t.Defect->ItemIndex() == 0 ? 0 : 1);
        EXPECT_EQ(Sends([&] { t.Defect->SetItemIndex(1); }, 1), Frames({"21361401"})) << k;
    }
    Select(0);
    EXPECT_EQ(Sends([&] { t.Defect->SetItemIndex(0); }, 1), Frames({"21360700"}));
    EXPECT_EQ(Sends([&] { t.KFFX->SetChecked(true); }, 1), Frames({"21361001"}));
    EXPECT_EQ(Sends([&] { t.kizu_sel->SetItemIndex(1); }, 1), Frames({"21360101"}));
    Select(2);
    EXPECT_EQ(Sends([&] { t.kizu_sel->SetItemIndex(0); }, 1), Frames({"2136130001"}));
    // A disabled control sends nothing (the answer handling writes it so).
    t.KFRV->setEnabled(false);
    EXPECT_TRUE(SendsNothing([&] { t.KFRV->SetChecked(true); }));
    t.KFRV->setEnabled(true);
    // The sensitivity bar sends its position at the tick of its timer.
    EXPECT_TRUE(SendsNothing([&] { t.SensKFBar->SetPosition(8); }));
    EXPECT_TRUE(t.SensKFTimer->Enabled());
    EXPECT_EQ(Sends([&] { t.SensKFTimer->OnTimer(); }, 1), Frames({"21360608"}));
    EXPECT_FALSE(t.SensKFTimer->Enabled());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(DefectWindow, SelectingADefectReadsItsPageAndItsCursorDisplay) {
    Start(false);
    auto& t = Tab();
    // B and C as the three-point search leaves them, so that the page read shows something.
    camera->WithModel([](sim::CameraModel& m) {
        m.Set(sim::Setting::KizuBX, 0x0222);
        m.Set(sim::Setting::KizuBY, 0x0111);
    });
    const auto sent = Sends([&] { t.Kizu->SetItemIndex(1); }, 3);
    EXPECT_EQ(sent, Frames({"313601", "313609", "2136130000"}));
    EXPECT_TRUE(t.Kizu->isEnabled());
    EXPECT_EQ(t.kizu_ax->Text(), "0222");
    EXPECT_EQ(t.kizu_ay->Text(), "0111");
}

TEST_F(DefectWindow, SaveCancelAndSearchRunTheirChains) {
    Start(false);
    auto& t = Tab();
    EXPECT_EQ(Sends([&] { t.Kizu_Save->Click(); }, 3), Frames({"213602", "213615", "313609"}));
    EXPECT_TRUE(t.Kizu_Save->isEnabled());

    EXPECT_EQ(Sends([&] { t.Kizu_Cancel->Click(); }, 7),
              Frames({"213603", "213616", "313600", "313601", "313610", "313611", "313609"}));
    EXPECT_TRUE(t.Kizu_Cancel->isEnabled());

    t.Auto3Point->SetChecked(true);
    EXPECT_EQ(Sends([&] { t.kizu_auto->Click(); }, 2), Frames({"213609EA0205", "21360AEA0205"}));
    EXPECT_TRUE(t.kizu_auto->isEnabled());
    EXPECT_TRUE(t.Auto3Point->isEnabled());
    int bx = 0, cy = 0;
    camera->WithModel([&](sim::CameraModel& m) {
        bx = m.Get(sim::Setting::KizuBX);
        cy = m.Get(sim::Setting::KizuCY);
    });
    EXPECT_EQ(t.KizuBX->Text().toInt(nullptr, 16), bx);
    EXPECT_EQ(t.KizuCY->Text().toInt(nullptr, 16), cy);
    EXPECT_EQ(t.kizu_ax->Text(), t.KizuAX->Text());
    EXPECT_TRUE(sink.shown.empty());

    // The camera refuses a position off its sensor: the error box, and nothing follows.
    t.kizu_ay->setEnabled(false);
    t.kizu_ay->SetText("0000");
    t.kizu_ay->setEnabled(true);
    EXPECT_EQ(Sends([&] { t.kizu_ax->SetText("0400"); }, 1), Frames({"2136010204000000"}));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, " Error ");
    EXPECT_EQ(sink.shown[0].caption, "ERR");
}

TEST_F(DefectWindow, KizuAdjustTurnsTheMeasurementIntoAPositionForEachTvSystem) {
    const struct {
        bool ntsc;
        const char *x1, *y1, *y2, *x, *y;
    } cases[] = {
        {false, "0100", "0050", "0051", "00EA", "0053"},
        {true, "0100", "0050", "0051", "00EA", "004F"},
        {true, "0010", "0001", "0000", "0000", "0000"}, // never below 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ntsc ? "NTSC" : "PAL");
        Start(c.ntsc);
        auto& t = Tab();
        // The camera's own measurement agrees in both fields.
        EXPECT_EQ(Sends([&] { t.KizuRead->Click(); }, 1), Frames({"313602"}));
        EXPECT_TRUE(t.Kizu_Adjust->isEnabled());
        EXPECT_TRUE(t.KizuRead->isEnabled());
        t.kin_x1->SetText(c.x1);
        t.kin_y1->SetText(c.y1);
        t.kin_y2->SetText(c.y2);
        EXPECT_TRUE(SendsNothing([&] { t.Kizu_Adjust->Click(); }));
        EXPECT_EQ(t.kizu_ax->Text(), c.x);
        EXPECT_EQ(t.kizu_ay->Text(), c.y);
        EXPECT_FALSE(t.Kizu_Adjust->isEnabled());
        EXPECT_EQ(Sends([&] { t.TimerkizuTimer(); }, 1),
                  Frames({std::string("21360102") + c.x + c.y}));
        // The adjust-parameter window shows the offset of the camera's TV system.
        t.AdjustInfo->Click();
        EXPECT_TRUE(info.isVisible());
        EXPECT_EQ(info.AdjustX->Text(), "-22");
        EXPECT_EQ(info.AdjustY->Text(), c.ntsc ? "-2" : "02");
        EXPECT_EQ(info.AdjustPk->Text(), "05");
        if (c.ntsc) {
            t.Auto3Point->SetChecked(true);
            EXPECT_EQ(Sends([&] { t.kizu_auto->Click(); }, 2),
                      Frames({"213609EAFE05", "21360AEAFE05"}));
        }
        info.hide();
        window.reset();
        camera->Stop();
    }
}

TEST(DefectSideWindows, ExitEndsTheProgramWithSideWindowsOpen) {
    RecordingSink sink;
    sim::CameraSim camera;
    camera.Start();
    SetPortPath(1, camera.SlavePath());
    TFR8V2 w;
    ui::TKizuInfo info;
    ui::TFSR8V2 panel(w);
    w.SetSwitchPanel(&panel);
    w.SetAdjustInfoWindow(&info);
    w.show();
    w.FormCreate();
    info.ShowFor(false);
    w.SW1Click();
    QTimer::singleShot(0, &w, [&] { w.ExitButton->Click(); });
    // Fails the test instead of hanging it when the loop does not end.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(kWaitMs);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(info.isVisible());
    EXPECT_FALSE(panel.isVisible());
}
