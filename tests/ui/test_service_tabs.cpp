// SPDX-License-Identifier: MIT
// The "Adjust" and "Debug" tabs headless on the simulated camera: controls driven as the
// operator drives them, and the command frames the camera received. Every step waits only for
// states that last (the link idle after a known number of commands); a step that must send
// nothing is followed by a marker read, so that "nothing" is seen on the wire too.
#include "AdjustSettings.h"
#include "AdjustTab.h"
#include "Catalogue.h"
#include "Comm.h"
#include "DebugTab.h"
#include "DefectSettings.h"
#include "DefectTab.h"
#include "HexText.h"
#include "MainWindow.h"
#include "QtTestEnv.h"
#include "SimPeer.h"

#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

using namespace r8;
using r8::ui::TFR8V2;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new r8::test::QtEnvironment);

constexpr int kWaitMs = 20000;
const std::string kMarker = "313700"; // the shutter display read: shown on no control it changes

std::string Hex(const std::array<uint8_t, 15>& p) {
    return HexBytes(p.data(), p.size());
}

// P1..Pn in hexadecimal, padded with the zeros the frame carries.
std::string Frame(std::string p) {
    p.resize(30, '0');
    return p;
}

class ServiceTabs : public ::testing::Test {
protected:
    using Commands = std::vector<std::string>;
    struct Step {
        const char* name;
        std::function<void()> act;
        Commands sent; // P1..Pn of each command, in order
        std::function<void()> check = {};
    };

    void SetUp() override {
        camera.WithModel([](sim::CameraModel& m) {
            m.Set(sim::Setting::Timing, 0x1234);
            m.SetRegister(0x2C, 0x0400);
            m.SetRegister(0x23, 0x01A0);
            m.SetEepromWord(0x0010, 0x1234);
        });
        camera.Start();
        SetPortPath(1, camera.SlavePath());
        window = std::make_unique<TFR8V2>();
        window->FormCreate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Count() >= 11 && Idle(); }, kWaitMs));
        for (const char* t : {"t", "tm", "tmw", "tmwr"})
            window->pwl->SetText(t);
    }
    void TearDown() override {
        window.reset();
        camera.Stop();
    }

    size_t Count() const { return camera.Commands().size(); }
    bool Idle() const {
        return window->Loader().TransStep == 0 && window->Loader().Orders.bOrder == 0 &&
               window->Link().LINK_STATUS == 1 && window->Link().LinkBusy == 0 &&
               window->Link().AnswerCount < 0; // no answer awaited
    }
    // Waits until the link has been idle after at least n commands in all.
    void Settle(size_t n) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Count() >= n && Idle(); }, kWaitMs))
            << Count() << " of " << n;
    }
    void Settle() { Settle(Count()); }
    Commands Since(size_t mark) const {
        Commands out;
        const auto all = camera.Commands();
        for (size_t i = mark; i < all.size(); ++i)
            out.push_back(Hex(all[i]));
        return out;
    }

    // The page load of a tab, as the operator's click starts it: the commands it sent.
    Commands Open(int page) {
        const size_t mark = Count();
        window->PageControl1->setCurrentIndex(page);
        const size_t reads = window->Room(page).Page().size();
        Settle(mark + reads);
        return Since(mark);
    }

    // Each step: act, wait for its commands, then the marker read; exactly the step's commands
    // and the marker went out.
    void Run(const std::vector<Step>& steps, bool marker = true) {
        for (const auto& s : steps) {
            const size_t mark = Count();
            s.act();
            Settle(mark + s.sent.size());
            Commands want;
            for (const auto& p : s.sent)
                want.push_back(Frame(p));
            if (marker) {
                window->Core().Send({0x31, 0x37, 0x00});
                want.push_back(Frame(kMarker));
                Settle(mark + want.size());
            }
            EXPECT_EQ(Since(mark), want) << s.name;
            if (s.check) s.check();
        }
    }

    r8::test::RecordingSink sink;
    sim::CameraSim camera;
    std::unique_ptr<TFR8V2> window;
};

TEST_F(ServiceTabs, AdjustLoadsAndSends) {
    auto& a = *window->Adjust;
    EXPECT_EQ(
        Open(kAdjustGroup),
        (Commands{Frame("310A01"), Frame("310A40"), Frame("3142"), Frame("313700"), Frame("313701"),
                  Frame("311B00"), Frame("311B05"), Frame("311B06"), Frame("3143"), Frame("310A2B"),
                  Frame("310A2C"), Frame("310A2D"), Frame("310A2E"), Frame("310A2F")}));
    EXPECT_EQ(a.rg_width->Text() + a.shd_delay->Text() + a.shp_delay->Text() + a.rg_delay->Text(),
              "1234");
    EXPECT_EQ(window->Core().State().SettingTable[0x2C], 0x0400);
    EXPECT_EQ(a.Bound().Bound().size(), std::size(settings::kAdjustSettings)); // every name found

    const auto type = [this](ui::Edit* e, const char* text) {
        e->SetText(text);
        Settle();
    };
    Run({
        {"delays",
         [&] {
             type(a.rg_width, "5");
             type(a.shd_delay, "2"); // unchanged: no event
             type(a.shp_delay, "7");
             type(a.rg_delay, "3");
         },
         {"2142523401", "2142527401", "2142527301"}},
        {"delay spin holds at F",
         [&] {
             type(a.rg_delay, "F");
             a.CSpinButton1->OnUpClick();
             a.CSpinButton4->OnUpClick(); // SHD Delay 2 -> 3
         },
         {"2142527F01", "2142537F01"}},
        {"offset spin keeps 50-B0",
         [&] {
             type(a.pwm_ref, "B0");
             a.CSpinButton5->OnUpClick();
             type(a.pwm_ref, "00");
             a.CSpinButton5->OnDownClick();
         },
         {"2143B001", "21430001", "21435001"}},
        {"offset not hex", [&] { a.pwm_ref->SetText("0G"); }, {}},
        {"hue keeps bits 15-9",
         [&] {
             a.RYP->SetPosition(-12);
             a.ryp->Tick();
         },
         {"210B2C050C"},
         [&] { EXPECT_EQ(a.RYP_DATA->Text(), "-12"); }},
        {"chroma",
         [&] {
             a.CromaRY->SetPosition(128);
             a.CromaBY->SetPosition(64);
             a.crm->Tick();
         },
         {"210B2B4080"},
         [&] { EXPECT_EQ(a.RY_Gain->Text() + a.BY_Gain->Text(), "12864"); }},
        {"white balance and its presets",
         [&] {
             a.wb_sel->SetChecked(false);
             Settle();
             EXPECT_FALSE(a.pre_32->isEnabled());
             a.wb_sel->SetChecked(true);
             Settle();
             EXPECT_TRUE(a.pre_56->isEnabled());
             a.pre_32->Click();
         },
         {"211B0001", "211B0000", "21300001"}},
        {"shutter item", [&] { a.shut_disp_sel->SetItemIndex(1); }, {"2137000101"}},
    });

    // Save: the chroma and hue registers written back one per answer, then the Copy tab.
    const auto& table = window->Core().State().SettingTable;
    Commands chain = {"214100FF"};
    for (int r = 0x2B; r <= 0x2F; ++r)
        chain.push_back("210A" + HexByte(static_cast<uint8_t>(r)) + HexWord(table[r]));
    EXPECT_EQ(chain[2], "210A2C050C");
    Run({{"save chain", [&] { a.SaveAdjust->Click(); }, chain}}, false);
    EXPECT_EQ(window->PageControl1->currentIndex(), kCopyGroup);
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(ServiceTabs, DebugLoadsAndSends) {
    auto& d = *window->Debug;
    EXPECT_EQ(Open(kDebugGroup), (Commands{Frame("310A01"), Frame("310A40")}));
    EXPECT_EQ(d.DspAdr->count(), 204);
    EXPECT_EQ(d.DspAdr->itemText(0x49).toStdString(), "49 TG CP(START/END) ");

    std::vector<uint8_t> ram(16);
    std::vector<uint16_t> samples(48);
    camera.WithModel([&](sim::CameraModel& m) {
        for (int i = 0; i < 16; ++i)
            ram[i] = m.RamByte(static_cast<uint16_t>(0xEE00 + i));
        for (int i = 0; i < 48; ++i)
            samples[i] = m.AreaSample(i);
    });
    Commands ramReads, sampleReads;
    for (int i = 0; i < 16; i += 2)
        ramReads.push_back("310DEE" + HexByte(static_cast<uint8_t>(i)) + "01");
    for (int i = 0; i < 48; ++i)
        sampleReads.push_back("3135" + HexByte(static_cast<uint8_t>(i)));

    Run({
        {"register read, not written back",
         [&] { d.DspAdr->SetItemIndex(0x23); },
         {"310A23"},
         [&] { EXPECT_EQ(d.DspData->Text(), "01A0"); }},
        {"register write and masked steps",
         [&] {
             d.DspData->SetText("12F4");
             Settle();
             d.DspRadix->SetText("00f0");
             d.NoWrite->SetChecked(true);
             d.DspDatSpin->OnUpClick();
         },
         {"210A2312F4", "210B231204"},
         [&] { EXPECT_EQ(d.DspRadix->Text(), "00F0"); }},
        {"register data incomplete or not hex",
         [&] {
             d.DspData->SetText("01A");
             d.DspData->SetText("01AZ");
         },
         {}},
        {"EEPROM read and write",
         [&] {
             d.eepadr->SetText("0010");
             Settle();
             EXPECT_EQ(d.Eepdata->Text(), "1234");
             d.CSpinButton7->OnUpClick();
         },
         {"310C0010", "210C00101235"}},
        {"EEPROM address wraps, data beyond 03FF is refused",
         [&] {
             d.eepadr->SetText("03FF");
             Settle();
             d.CSpinButton6->OnUpClick();
             Settle();
             d.eepadr->SetText("0400");
             Settle();
             d.Eepdata->SetText("BEEF");
         },
         {"310C03FF", "310C0000", "310C0400"},
         [&] {
             ASSERT_EQ(sink.shown.size(), 1u); // the camera has no word 0400
             sink.shown.clear();
         }},
        {"RAM dump", [&] { d.ramAdr->SetText("EE05"); }, ramReads,
         [&] {
             EXPECT_EQ(d.ramAdr->Text(), "EE00");
             EXPECT_EQ(d.RdAdr->Lines(), QStringList{"EE00"});
             std::string row;
             for (uint8_t b : ram)
                 row += HexByte(b) + " ";
             EXPECT_EQ(d.Memo1->Lines(), QStringList{QString::fromStdString(row)});
         }},
        {"RAM outside its range", [&] { d.ramAdr->SetText("ED00"); }, {}},
        {"area samples", [&] { d.samp->Click(); }, sampleReads,
         [&] {
             const QStringList rows = d.Memo1->Lines();
             ASSERT_EQ(rows.size(), 6);
             std::string last;
             for (int i = 40; i < 48; ++i)
                 last += HexWord(samples[i]) + " ";
             EXPECT_EQ(rows[5].toStdString(), last);
         }},
        {"raw command",
         [&] {
             d.SendBuffer->SetText("2 1E");
             d.RamSend->Click();
         },
         {"021E"},
         [&] {
             ASSERT_EQ(sink.shown.size(), 1u); // no such command: the camera says so
             EXPECT_EQ(sink.shown[0].text, " Error ");
             sink.shown.clear();
         }},
        {"raw command with a bad token",
         [&] {
             d.SendBuffer->SetText("21 1G");
             d.RamSend->Click();
             EXPECT_TRUE(window->StatusBar1->PanelText(1).contains("\"1G\""));
         },
         {}},
        {"read-backs of other registers and of the Adjust tab are not written back",
         [&] {
             d.SendBuffer->SetText("31 0A 24");
             d.RamSend->Click();
             Settle();
             d.SendBuffer->SetText("31 42");
             d.RamSend->Click();
             Settle();
             d.DspData->SetText("0001"); // the echo flag did not outlive its read-back
         },
         {"310A24", "3142", "210B230001"},
         [&] { EXPECT_EQ(window->Adjust->rg_width->Text(), "1"); }},
        {"OSD word, save and preset",
         [&] {
             d.osdt->SetText("1234");
             Settle();
             d.sw_save->Click();
             Settle();
             d.PresetSave->Click();
         },
         {"210E011234", "211E", "212001"}},
    });
    EXPECT_TRUE(sink.shown.empty());
}

} // namespace

// A read typed into the raw command field while the Debug tab is on show: every tab's controls
// show what the camera answered, and no control writes it back, at once or at its timer's tick.
TEST_F(ServiceTabs, ReadBacksOfEveryTabAreShownAndNeverSentBack) {
    auto& d = *window->Debug;
    Open(kDebugGroup);
    const auto hex = [](const std::vector<uint8_t>& p) { return HexBytes(p.data(), p.size()); };
    std::deque<std::string> names;
    std::vector<Step> steps;
    for (const SettingEntry* s : Catalogue()) {
        if (!s->shownOnRead) continue;
        const bool word = s->kind == SettingKind::HexWord;
        for (int v : {word ? 0 : s->min, word ? 0x10 : s->max}) {
            const std::vector<uint8_t> write = WritePayload(*s, v);
            const std::string read = hex(ReadPayload(*s));
            names.push_back(std::string(s->name) + " " + std::to_string(v));
            const auto act = [this, &d, write, read] {
                auto& f = window->Core().SendFrame();
                for (size_t i = 0; i < write.size(); ++i)
                    f[i + 1] = write[i];
                window->Core().StxCommand(static_cast<int>(write.size()));
                Settle();
                d.SendBuffer->SetText(QString::fromStdString(read));
                d.RamSend->Click();
                Settle();
                for (auto* t : window->findChildren<ui::Timer*>())
                    if (t->Enabled() && t->OnTimer) t->OnTimer();
            };
            Commands sent = {hex(write), read};
            if (s == &settings::kAdjustSet && v == 1) sent.push_back("313606"); // its KF values
            steps.push_back({names.back().c_str(), act, sent});
        }
    }
    Run(steps);
    EXPECT_TRUE(sink.shown.empty());
}

// Step buttons at and beyond the edges of their range: the DC-lens offset and the defect
// position stop at the edge a step moves towards, and only there (from outside the range a step
// the other way moves by one step); the EEPROM
// address wraps only at the edge it crosses, and from above 03FF counts down.
TEST_F(ServiceTabs, StepButtonsAtAndBeyondTheEdgesOfTheirRange) {
    auto& a = *window->Adjust;
    auto& d = *window->Debug;
    const auto type = [this](ui::Edit* e, const char* text) {
        e->SetText(text);
        Settle();
    };
    const auto wordAbove = [this](const char* address) {
        return [this, address] {
            ASSERT_EQ(sink.shown.size(), 2u) << address; // the camera has no such word
            sink.shown.clear();
        };
    };
    Open(kAdjustGroup);
    Run({
        {"offset 00 up",
         [&] {
             type(a.pwm_ref, "00");
             a.CSpinButton5->OnUpClick();
         },
         {"21430001", "21430101"}},
        {"offset C0 down",
         [&] {
             type(a.pwm_ref, "C0");
             a.CSpinButton5->OnDownClick();
         },
         {"2143C001", "2143BF01"}},
        {"offset C0 up",
         [&] {
             type(a.pwm_ref, "C0");
             a.CSpinButton5->OnUpClick();
         },
         {"2143C001", "2143B001"}},
        {"offset 7F up",
         [&] {
             type(a.pwm_ref, "7F");
             a.CSpinButton5->OnUpClick();
         },
         {"21437F01", "21438001"}},
    });
    Open(kDebugGroup);
    Run({
        {"address 0500 down",
         [&] {
             type(d.eepadr, "0500");
             d.CSpinButton6->OnDownClick();
         },
         {"310C0500", "310C04FF"},
         wordAbove("0500, 04FF")},
        {"address 0500 up",
         [&] {
             type(d.eepadr, "0500");
             d.CSpinButton6->OnUpClick();
         },
         {"310C0500", "310C0000"},
         [&] { sink.shown.clear(); }},
        {"address 0000 down", [&] { d.CSpinButton6->OnDownClick(); }, {"310C03FF"}},
    });
    auto& k = *window->Defect;
    Open(kDefectGroup);
    ASSERT_EQ(k.Kizu->ItemIndex(), 0);
    const auto refused = [this] { // the camera takes no position beyond 03FF, 01FF
        ASSERT_EQ(sink.shown.size(), 1u);
        sink.shown.clear();
    };
    const auto refusedTwice = [this] {
        ASSERT_EQ(sink.shown.size(), 2u);
        sink.shown.clear();
    };
    const auto position = [](const char* x, const char* y) {
        return std::string("21360102") + x + y;
    };
    Run({
        {"X 0500 left",
         [&] {
             type(k.kizu_ax, "0500");
             type(k.kizu_ay, "0064");
             k.kizu_left->Click();
         },
         {position("0500", "0064"), position("04FF", "0064")},
         refusedTwice},
        {"X 0500 right",
         [&] {
             type(k.kizu_ax, "0500");
             k.kizu_right->Click();
         },
         {position("0500", "0064"), position("03FF", "0064")},
         refused},
        {"Y 0300 up",
         [&] {
             type(k.kizu_ay, "0300");
             k.kizu_up->Click();
         },
         {position("03FF", "0300"), position("03FF", "02FF")},
         refusedTwice},
    });
    EXPECT_TRUE(sink.shown.empty());
}

// Area-sample and RAM answers that no dump or sampling asked for (reads typed as raw commands)
// leave Memo1 as it is and start nothing, with "Repeat" ticked or not.
TEST_F(ServiceTabs, AnswersNoDumpAskedForLeaveMemo1) {
    auto& d = *window->Debug;
    Open(kDebugGroup);
    const QStringList before{"kept"};
    const auto raw = [&](const char* text, bool repeat) {
        return [&d, text, repeat, before] {
            d.Memo1->SetLines(before);
            d.RamRepeat->SetChecked(repeat);
            d.SendBuffer->SetText(text);
            d.RamSend->Click();
        };
    };
    const auto kept = [&] { EXPECT_EQ(d.Memo1->Lines(), before); };
    Run({
        {"RAM read", raw("31 0D EE 00 01", false), {"310DEE0001"}, kept},
        {"RAM read, Repeat ticked", raw("31 0D EE 10 01", true), {"310DEE1001"}, kept},
        {"area sample", raw("31 35 00", false), {"313500"}, kept},
        {"area sample, Repeat ticked", raw("31 35 2F", true), {"31352F"}, kept},
    });
    // After a dump of its own, an answer that comes later is none of its business either.
    d.RamRepeat->SetChecked(false);
    d.RamCount->SetText("02");
    Settle();
    const QStringList dumped = d.Memo1->Lines();
    ASSERT_EQ(dumped.size(), 1);
    Run({{"RAM read after a dump", raw("31 0D EE 20 01", false), {"310DEE2001"}, kept}});
    EXPECT_TRUE(sink.shown.empty());
}
