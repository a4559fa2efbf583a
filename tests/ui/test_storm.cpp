// SPDX-License-Identifier: MIT
// A storm in the window on the paced simulated camera: operator clicks, entries and bar moves on
// every tab while a RAM dump with "Repeat", the Adjust save write-back, the defect search with
// "3 Point" and the Line IRIS procedure run. The camera holds each reply until the test lets it
// out, so every action is taken while an answer is due; the camera's received units then show
// one exchange at a time, every action's last value in the camera, and each chain's commands as
// it sends them alone.
#include "AdjustTab.h"
#include "DebugTab.h"
#include "DefectTab.h"
#include "EasyFixture.h"
#include "EasySettings.h"
#include "EasyTab.h"
#include "Frames.h"
#include "LineTab.h"
#include "MaskTab.h"
#include "SimWindow.h"
#include "easy/EasyPicture.h"
#include "mask/MaskGroup.h"

#include <QTabWidget>

using namespace r8;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

sim::SimOptions Paced() {
    sim::SimOptions o;
    o.pace = true;
    return o;
}

class Storm : public test::SimWindow {
protected:
    Storm() : SimWindow(Paced()) {}
};

std::string Hex(const std::array<uint8_t, 15>& p, size_t n) {
    return HexBytes(p.data(), n);
}

} // namespace

TEST_F(Storm, ChainsAndOperatorActionsShareTheLineOneExchangeAtATime) {
    auto& w = *window;
    auto& dbg = *w.Debug;
    auto& adj = *w.Adjust;
    auto& def = *w.Defect;
    auto& line = *w.Line;
    auto& pic = *w.Easy->Picture;
    auto& mask = *w.Mask->Masks[0];
    // Every page read once, so that each chain starts from what the camera holds.
    for (int page : {kAdjustGroup, kDefectGroup, kLineGroup, kMaskGroup, kDebugGroup})
        ShowPage(page);
    std::vector<int> kept; // the Adjust registers as the save chain writes them back
    for (int r = 0x2B; r <= 0x2F; ++r)
        kept.push_back(w.Core().State().SettingTable[r]);
    const size_t rxStart = camera.Received().size();
    const size_t cmdStart = camera.Commands().size();

    camera.Hold();
    dbg.RamRepeat->SetChecked(true);
    dbg.ramAdr->SetText("EE04"); // reads from EE00
    def.Auto3Point->SetChecked(true);
    def.kizu_auto->Click();
    adj.SaveAdjust->Click();
    line.IRISAdjustSet->click();

    // One batch of operator actions per exchange, each while that exchange's answer is due.
    const auto bar = [](ui::DebouncedBar* b, int v) {
        b->Bar->SetPosition(v);
        b->Tick();
    };
    const std::vector<std::function<void()>> actions = {
        [&] { bar(pic.Bound().Bar(settings::kAgc), 5); },
        [&] {
            bar(pic.Bound().Bar(settings::kAgc), 9); // replaces the 5 still waiting
            pic.Gamma->SetItemIndex(1);
        },
        [&] { dbg.DspAdr->SetItemIndex(0x23); },
        [&] {
            dbg.DspData->SetText("0155");
            adj.pwm_ref->SetText("77");
        },
        [&] { adj.shut_disp_sel->SetItemIndex(1); },
        [&] {
            def.VRevKFChange->SetItemIndex(2);
            bar(pic.Bound().Bar(settings::kHGain), 3);
        },
        [&] {
            const char* rect[] = {"10", "40", "20", "60"};
            ui::Edit* edits[] = {mask.MASK_HS, mask.MASK_HE, mask.MASK_VS, mask.MASK_VE};
            for (int i = 0; i < 4; ++i)
                edits[i]->SetText(rect[i]);
            mask.MASK_ON->click();
        },
        [&] {
            bar(pic.Bound().Bar(settings::kHGain), 7);
            bar(pic.Bound().Bar(settings::kAgc), 2);
            pic.Gamma->SetItemIndex(0);
        },
        [&] { adj.shut_disp_sel->SetItemIndex(0); },
        [&] { def.SensUpKFOFF->SetItemIndex(1); },
    };
    bool biasSet = false, exitClicked = false, repeatOff = false;
    size_t round = 0;
    for (;; ++round) {
        ASSERT_LT(round, 400u) << "the storm does not end";
        ASSERT_TRUE(RunUntil([&] { return camera.Held() >= 1 || Idle(); }));
        if (camera.Held() == 0) break; // nothing more on the wire
        if (round < actions.size()) actions[round]();
        if (!biasSet && line.IRISAdjustExit->isEnabled()) {
            line.BiasNum->SetText("3C"); // the IRIS adjustment runs: the operator sets the bias
            biasSet = true;
        } else if (biasSet && !exitClicked) {
            line.IRISAdjustExit->click();
            exitClicked = true;
        }
        size_t dumpReads = 0; // at least one pass repeated, then the box is cleared
        for (const auto& c : camera.Commands())
            dumpReads += c[0] == 0x31 && c[1] == 0x0D ? 1 : 0;
        const bool othersDone = dumpReads > 8 && exitClicked && def.kizu_auto->isEnabled() &&
                                w.PageControl1->currentIndex() == kCopyGroup;
        if (!repeatOff && round >= actions.size() && othersDone) {
            dbg.RamRepeat->SetChecked(false); // the dump ends after the pass that runs
            repeatOff = true;
        }
        camera.Release(1);
    }
    ASSERT_TRUE(repeatOff);

    // No command frame went out while an answer was due: each is followed by the answer's ACK
    // before the next one.
    const auto units = camera.Received();
    int overlaps = 0;
    bool due = false;
    for (size_t i = rxStart; i < units.size(); ++i) {
        if (units[i].size() == kCommandFrameSize) {
            overlaps += due ? 1 : 0;
            due = true;
        } else if (units[i] == std::vector<uint8_t>{ACK}) {
            due = false;
        }
    }
    EXPECT_EQ(overlaps, 0);

    // Every action's last value is the camera's.
    camera.WithModel([&](sim::CameraModel& m) {
        EXPECT_EQ(m.Get(sim::Setting::Agc), 2);
        EXPECT_EQ(m.Get(sim::Setting::HGain), 7);
        EXPECT_EQ(m.Get(sim::Setting::Gamma), 0);
        EXPECT_EQ(m.Register(0x23), 0x0155);
        EXPECT_EQ(m.Get(sim::Setting::PwmRef), 0x77);
        EXPECT_EQ(m.Get(sim::Setting::ShutterSel), 0);
        EXPECT_EQ(m.Get(sim::Setting::KfChange), 2);
        EXPECT_EQ(m.Get(sim::Setting::SensUpKfOff), 1);
        EXPECT_EQ(m.Get(sim::Setting::IrisBias), 0x3C);
        const sim::MaskRect r = m.Mask(0);
        EXPECT_TRUE(r.on);
        EXPECT_EQ((std::array<int, 4>{r.hs, r.he, r.vs, r.ve}),
                  (std::array<int, 4>{0x10, 0x40, 0x20, 0x60}));
    });

    // Each chain sent what it sends alone, in its order, with operator commands in between.
    const auto cmds = camera.Commands();
    std::vector<std::string> dump, save, search, iris;
    size_t firstDump = 0, lastDump = 0, interleaved = 0;
    for (size_t i = cmdStart; i < cmds.size(); ++i) {
        const auto& c = cmds[i];
        if (c[0] == 0x31 && c[1] == 0x0D) {
            if (dump.empty()) firstDump = i;
            lastDump = i;
            dump.push_back(Hex(c, 5));
        } else if (c[0] == 0x21 && (c[1] == 0x41 || (c[1] == 0x0A && c[2] >= 0x2B))) {
            save.push_back(Hex(c, c[1] == 0x41 ? 4 : 5));
        } else if (c[0] == 0x21 && c[1] == 0x36 && (c[2] == 0x09 || c[2] == 0x0A)) {
            search.push_back(Hex(c, 6));
        } else if (c[0] == 0x21 && (c[1] == 0x45 || c[1] == 0x48)) {
            iris.push_back(Hex(c, 4));
        }
    }
    for (size_t i = firstDump; i < lastDump; ++i)
        interleaved += cmds[i][1] != 0x0D ? 1 : 0;
    EXPECT_GT(interleaved, 10u);
    ASSERT_GE(dump.size(), 16u);
    ASSERT_EQ(dump.size() % 8, 0u) << "whole passes";
    for (size_t i = 0; i < dump.size(); ++i)
        EXPECT_EQ(dump[i], "310DEE" + HexByte(static_cast<uint8_t>(2 * (i % 8))) + "01") << i;
    std::vector<std::string> wantSave = {"214100FF"};
    for (int r = 0x2B; r <= 0x2F; ++r)
        wantSave.push_back("210A" + HexByte(static_cast<uint8_t>(r)) +
                           HexWord(static_cast<uint16_t>(kept[r - 0x2B])));
    EXPECT_EQ(save, wantSave);
    EXPECT_EQ(search, (std::vector<std::string>{"213609EA0205", "21360AEA0205"}));
    EXPECT_EQ(iris, (std::vector<std::string>{"21450600", "21480300", "21480301"}));

    // And ended as it ends alone.
    std::string ram;
    camera.WithModel([&](sim::CameraModel& m) {
        for (int i = 0; i < 16; ++i)
            ram += HexByte(m.RamByte(static_cast<uint16_t>(0xEE00 + i))) + " ";
    });
    EXPECT_EQ(dbg.Memo1->Lines(), QStringList{QString::fromStdString(ram)});
    EXPECT_EQ(w.PageControl1->currentIndex(), kCopyGroup);
    EXPECT_TRUE(def.kizu_auto->isEnabled() && def.Auto3Point->isEnabled());
    int bx = 0;
    camera.WithModel([&](sim::CameraModel& m) { bx = m.Get(sim::Setting::KizuBX); });
    EXPECT_EQ(def.KizuBX->Text().toInt(nullptr, 16), bx);
    EXPECT_TRUE(line.IRISAdjustSet->isEnabled() && line.AdjustGo->isEnabled());
    EXPECT_FALSE(line.IRISAdjustExit->isEnabled() || line.BiasNum->isEnabled());
    EXPECT_TRUE(sink.shown.empty());
}

namespace {

class ChainFailure : public test::EasyWindow {};

} // namespace

// A chain step answered in error ends its chain with the tab's one message; a step never
// answered ends it at the link's report, and an operator's command that waited behind it goes
// out then. Nothing of the chain follows either.
TEST_F(ChainFailure, AnErrorAnswerOrNoAnswerEndsTheChainAndFreesTheLine) {
    LoadEasyPage();
    auto& w = *window;
    const struct {
        const char* chain;
        std::function<void()> start;
        const char* error; // the tab's message for an error answer, "" for none
    } cases[] = {
        {"RAM dump",
         [&] { w.Debug->ramAdr->SetText(w.Debug->ramAdr->Text() == "EE04" ? "EE14" : "EE04"); },
         " Error "},
        {"save write-back", [&] { w.Adjust->SaveAdjust->Click(); }, " Error "},
        {"defect search",
         [&] {
             w.Defect->kizu_auto->setEnabled(true);
             w.Defect->kizu_auto->Click();
         },
         " Error "},
        {"IRIS procedure",
         [&] {
             w.Line->IRISAdjustSet->setEnabled(true);
             w.Line->IRISAdjustSet->click();
         },
         ""},
    };
    int gamma = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chain);
        // An error answer.
        port.ClearWritten();
        sink.shown.clear();
        c.start();
        ASSERT_EQ(Sent().size(), 1u);
        const std::string step = Sent()[0];
        AckAndAnswer({0x8F, static_cast<uint8_t>(std::stoi(step.substr(2, 2), nullptr, 16))});
        EXPECT_EQ(Sent().size(), 1u) << "the chain ended";
        EXPECT_FALSE(w.Link().InFlight());
        std::string shown;
        for (const auto& m : sink.shown)
            shown += m.text.toStdString() + "|";
        EXPECT_EQ(shown, *c.error ? std::string(c.error) + "|" : "");

        // No answer, an operator's command waiting behind the step.
        port.ClearWritten();
        sink.shown.clear();
        c.start();
        gamma ^= 1;
        Easy().Picture->Gamma->SetItemIndex(gamma);
        ASSERT_EQ(Sent().size(), 1u) << "the command waits";
        for (int tick = 0; tick < 2 * (CameraLink::kCommandTicks + 1); ++tick)
            w.Core().SendTimerTimer();
        ASSERT_EQ(sink.shown.size(), 1u);
        EXPECT_EQ(sink.shown[0].text.toStdString(), " Serial Port not connected ");
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), 3u); // the step, its one re-send, then the waiting command
        EXPECT_EQ(sent[1], sent[0]);
        EXPECT_EQ(sent[2].substr(0, 8), "215900" + HexByte(static_cast<uint8_t>(gamma)));
        Settle();
        EXPECT_EQ(Sent().size(), 3u) << "the chain ended";
        EXPECT_EQ(w.Link().LinkBusy, 0);
    }
}
