// SPDX-License-Identifier: MIT
// Easy tab tests: picture functions, and the "Adjust Set" (CCD Defect) and IR (MASK) groups.
#include "DefectTab.h"
#include "EasyFixture.h"
#include "EasySettings.h"
#include "MaskTab.h"
#include "easy/EasyLens.h"
#include "easy/EasyPicture.h"
#include "easy/EasyTitle.h"

#include <QCoreApplication>

#include <algorithm>
#include <functional>

namespace r8::test {
namespace {

using ui::DebouncedBar;
using ui::EasyPicture;
using Bytes = std::vector<uint8_t>;

// Easy blocks (A4.. of each) with a value other than the start value in every picture field.
const std::vector<Bytes> kRichBlocks = {
    {},
    {},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1},                   // 2: A14 VRev, A15 HRev
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},                   // 3: A15 BLC
    {0, 0, 0, 0, 0, 0, 1, 3, 6, 5, 2, 0},                   // 4: A10 AWB, levels, gains, idle
    {1, 0x00, 0x64, 0xFF, 0x9C, 0xFF, 0xF6, 6, 7, 3, 1, 1}, // 5: phase -100..100 at -10
    {1, 5, 1, 2, 6, 1, 3, 7, 11, 9, 0},                     // 6: PEAK, ALC, AES, APC
    {},
    {0, 0, 0, 0, 1, 0, 1, 1, 1}, // 8: A8 Preset .. A12 Priority
    {0, 0, 0, 0, 0, 0, 0, 1},    // 9: A11 Gamma
};

// A bar of the part: a bound setting's, or (nullptr) the phase bar, which writes PhaseLevel.
using BarOf = const SettingEntry*;

class EasyPictureTest : public EasyWindow {
protected:
    EasyPicture& P() { return *Easy().Picture; }
    DebouncedBar& BarFor(BarOf s) { return s ? *P().Bound().Bar(*s) : *P().phase; }
    // Answers the command outstanding with a frame no handler acts on.
    void Free() {
        Settle();
        port.ClearWritten();
    }
};

// A control name in the catalogue that the forms do not hold would leave its setting unbound.
TEST_F(EasyPictureTest, EverySettingOfTheTabFindsItsControlByName) {
    std::vector<const SettingEntry*> bound;
    for (const ui::BoundForm* form :
         {&P().Bound(), &Easy().Lens->Bound(), &Easy().TitleArea->Bound()})
        bound.insert(bound.end(), form->Bound().begin(), form->Bound().end());
    for (const SettingEntry* s : settings::kEasySettings)
        EXPECT_EQ(std::count(bound.begin(), bound.end(), s), 1) << s->name << " " << s->control;
    EXPECT_EQ(bound.size(), std::size(settings::kEasySettings));
}

TEST_F(EasyPictureTest, LoadedPageShowsEveryFieldAndSendsNothingBack) {
    LoadEasyPage(kRichBlocks);
    QCoreApplication::processEvents();
    for (BarOf bar : std::initializer_list<BarOf>{
             &settings::kAgc, &settings::kSens, nullptr, &settings::kRGain, &settings::kBGain,
             &settings::kAtwLevel, &settings::kAwbLevel, &settings::kHGain, &settings::kVGain,
             &settings::kPeakLevel, &settings::kAlcAuto, &settings::kAlcFixed, &settings::kAesAuto,
             &settings::kBlcSens})
        EXPECT_FALSE(BarFor(bar).DebounceTimer->Enabled())
            << BarFor(bar).DebounceTimer->objectName().toStdString();
    EXPECT_TRUE(Sent().empty());

    auto& p = P();
    const struct {
        const char* name;
        int shown, expected;
    } cases[] = {
        {"VRev", p.VRev->Checked(), 1},
        {"HRev", p.HRev->Checked(), 1},
        {"BLC", p.BLC->ItemIndex(), 1},
        {"wb_select", p.wb_select->ItemIndex(), 1},
        {"ATWBar", p.ATWBar->Position(), 3},
        {"AWBBar (AWB idle)", p.AWBBar->Position(), 4},
        {"Rgain", p.Rgain->Position(), 5},
        {"BGain", p.BGain->Position(), 2},
        {"Sync", p.Sync->ItemIndex(), 1},
        {"PhaseBar max", p.PhaseBar->Max(), 100},
        {"PhaseBar min", p.PhaseBar->Min(), -100},
        {"tick frequency", p.PhaseBar->tickInterval(), 20},
        {"page size", p.PhaseBar->pageStep(), 4},
        {"PhaseBar", p.PhaseBar->Position(), -10},
        {"PhaseLevel FFF6", p.PhaseLevel->Text() == "FFF6", 1},
        {"BLCSensBar", p.BLCSensBar->Position(), 6},
        {"AGCBar", p.AGCBar->Position(), 7},
        {"SENSBar", p.SENSBar->Position(), 3},
        {"Freeze", p.Freeze->ItemIndex(), 1},
        {"Initial", p.Initial->ItemIndex(), 1},
        {"PEAK", p.PEAK->ItemIndex(), 1},
        {"PeakOnBar", p.PeakOnBar->Position(), 5},
        {"ALC", p.ALC->ItemIndex(), 1},
        {"ALCAutoBar", p.ALCAutoBar->Position(), 2},
        {"ALCFixBar", p.ALCFixBar->Position(), 6},
        {"AES", p.AES->ItemIndex(), 1},
        {"AESAutoBar", p.AESAutoBar->Position(), 3},
        {"AESFixBox", p.AESFixBox->ItemIndex(), 7},
        {"HGainBar", p.HGainBar->Position(), 11},
        {"VGainBar", p.VGainBar->Position(), 9},
        {"Preset", p.Preset->ItemIndex(), 1},
        {"Select", p.Select->ItemIndex(), 1},
        {"PosiNega", p.PosiNega->ItemIndex(), 1},
        {"Priority", p.Priority->ItemIndex(), 1},
        {"Gamma", p.Gamma->ItemIndex(), 1},
        // Dependants.
        {"AWB on", p.AWB->isEnabled(), 1},
        {"ATWBar off", p.ATWBar->isEnabled(), 0},
        {"AWBBar on", p.AWBBar->isEnabled(), 1},
        {"PhaseBar on", p.PhaseBar->isEnabled(), 1},
        {"PhaseLevel on", p.PhaseLevel->isEnabled(), 1},
        {"HRev off", p.HRev->isEnabled(), 0},
        {"BLCSensBar on", p.BLCSensBar->isEnabled(), 1},
        {"PeakOnBar on", p.PeakOnBar->isEnabled(), 1},
        {"ALCAutoBar off", p.ALCAutoBar->isEnabled(), 0},
        {"ALCFixBar on", p.ALCFixBar->isEnabled(), 1},
        {"AESAutoBar off", p.AESAutoBar->isEnabled(), 0},
        {"AESFixBox on", p.AESFixBox->isEnabled(), 1},
        {"PresetSet on", p.PresetSet->isEnabled(), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.shown, c.expected) << c.name;
}

TEST_F(EasyPictureTest, DebouncedBarsSendTheSettledPositionOnce) {
    const struct {
        BarOf bar;
        std::string sentAtMax; // P1..Pn for the bar's maximum
    } cases[] = {
        {&settings::kAgc, "211A0108"},          {&settings::kSens, "211A0208"},
        {&settings::kRGain, "211B0208"},        {&settings::kBGain, "211B0308"},
        {&settings::kAtwLevel, "211B0508"},     {&settings::kAwbLevel, "211B0608"},
        {&settings::kHGain, "2147000C"},        {&settings::kVGain, "2147010C"},
        {&settings::kPeakLevel, "2148000108"},  {&settings::kAlcAuto, "214801010008"},
        {&settings::kAlcFixed, "214801010108"}, {&settings::kAesAuto, "214802010008"},
        {&settings::kBlcSens, "215007"},        {nullptr, "211C010064"},
    };
    // While the page sequence runs, a change arms nothing.
    for (const auto& c : cases) {
        DebouncedBar& d = BarFor(c.bar);
        d.Bar->SetPosition(d.Bar->Position() == 1 ? 2 : 1);
        EXPECT_FALSE(d.DebounceTimer->Enabled()) << c.sentAtMax;
    }
    LoadEasyPage(kRichBlocks);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentAtMax);
        DebouncedBar& d = BarFor(c.bar);
        for (int v = d.Bar->Min(); v <= d.Bar->Max(); ++v)
            d.Bar->SetPosition(v);
        EXPECT_TRUE(d.DebounceTimer->Enabled());
        EXPECT_TRUE(Sent().empty());
        d.Tick();
        EXPECT_EQ(Sent().size(), 1u);
        EXPECT_EQ(Last(c.sentAtMax.size() / 2), c.sentAtMax);
        EXPECT_FALSE(d.DebounceTimer->Enabled());
        Free();
    }
}

// A command frame does not make the link busy; a control-byte exchange does (LinkBusy), and so
// does a page sequence.
TEST_F(EasyPictureTest, RefusedBarWaitsForTheLinkAndAWhiteBalanceLevelIsDropped) {
    enum Cause { PageSequence, LinkBusy };
    const struct {
        BarOf bar;
        Cause cause;
        std::string sentOnceFree; // "" = the change is lost
    } cases[] = {
        {&settings::kAgc, PageSequence, "211A0108"},
        {&settings::kAgc, LinkBusy, "211A0108"},
        {&settings::kAtwLevel, LinkBusy, ""},
        {&settings::kAwbLevel, LinkBusy, ""},
    };
    LoadEasyPage();
    auto& link = window->Link();
    for (const auto& c : cases) {
        DebouncedBar& d = BarFor(c.bar);
        SCOPED_TRACE(d.DebounceTimer->objectName().toStdString() + (c.cause ? " busy" : " page"));
        d.Bar->SetPosition(0);
        d.Bar->SetPosition(d.Bar->Max());
        if (c.cause == PageSequence) window->ReLoadClick();
        if (c.cause == LinkBusy) link.LinkBusy = 1;
        port.ClearWritten();
        d.Tick();
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(d.DebounceTimer->Enabled(), !c.sentOnceFree.empty());
        if (c.cause == PageSequence) // the camera's AGC is where the operator left it
            LoadEasyPage({{}, {}, {}, {}, {}, {0, 0, 0, 0, 0, 0, 0, 0, 8}});
        if (c.cause == LinkBusy) link.LinkBusy = 0;
        if (d.DebounceTimer->Enabled()) d.Tick();
        EXPECT_EQ(Sent().size(), c.sentOnceFree.empty() ? 0u : 1u);
        EXPECT_EQ(Last(c.sentOnceFree.size() / 2), c.sentOnceFree);
        EXPECT_FALSE(d.DebounceTimer->Enabled());
        if (!Sent().empty()) Free();
    }
}

TEST_F(EasyPictureTest, OperatorActionsSendTheirCommand) {
    auto& p = P();
    const struct {
        const char* name;
        std::function<void()> act;
        std::string sent; // P1..P15
        std::vector<QWidget*> disabled;
    } cases[] = {
        {"Priority", [&] { p.Priority->SetItemIndex(1); }, "211A0501", {}},
        {"Freeze", [&] { p.Freeze->SetItemIndex(1); }, "211A0301", {}},
        {"Select", [&] { p.Select->SetItemIndex(1); }, "211A0401", {}},
        {"wb_select", [&] { p.wb_select->SetItemIndex(1); }, "211B0001", {}},
        {"HRev", [&] { p.HRev->SetChecked(true); }, "211D0501", {}},
        {"VRev", [&] { p.VRev->SetChecked(true); }, "211D0401", {}},
        {"RevSet", [&] { p.RevSet->Click(); }, "211D06", {}},
        {"PosiNega", [&] { p.PosiNega->SetItemIndex(1); }, "211D0701", {}},
        {"Preset", [&] { p.Preset->SetItemIndex(1); }, "21200201", {}},
        {"AESFixBox 1/10000", [&] { p.AESFixBox->SetItemIndex(7); }, "214802010107", {}},
        {"Gamma", [&] { p.Gamma->SetItemIndex(1); }, "21590001", {}},
        {"Sync", [&] { p.Sync->SetItemIndex(1); }, "211C0001", {p.Sync}},
        {"Initial", [&] { p.Initial->SetItemIndex(1); }, "214901", {p.Initial}},
        {"AWB", [&] { p.AWB->Click(); }, "211B04", {p.AWB, p.wb_select, p.AWBBar}},
        {"PresetSet", [&] { p.PresetSet->Click(); }, "212000", {}}, // last: no answer follows
    };
    LoadEasyPage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        ASSERT_EQ(Sent().size(), 1u);
        std::string full = c.sent;
        full.resize(30, '0');
        EXPECT_EQ(Sent()[0], full);
        for (QWidget* w : c.disabled)
            EXPECT_FALSE(w->isEnabled());
        if (std::string(c.name) != "PresetSet") Free();
    }
}

// A control that disabled itself for its send is enabled again by the camera's answer, for the
// interlocked groups only after the partner's read-back.
TEST_F(EasyPictureTest, AnswersEnableWhatTheirSendDisabled) {
    auto& p = P();
    auto& defect = *window->Defect;
    const struct {
        const char* name;
        int page;
        std::function<void()> act;
        std::string write;
        Bytes writeAnswer;
        std::string read; // "" = the write's answer enables it
        Bytes readAnswer;
        QWidget* control;
    } cases[] = {
        // The loaded page has BLC, PEAK, ALC and AES on; the read-backs match what is shown.
        {"BLC",
         4,
         [&] { p.BLC->SetItemIndex(0); },
         "21180000",
         {0xA0, 0x18, 0x00, 0x00},
         "31480000",
         {0xA0, 0x48, 0x00, 0x00, 0x01},
         p.BLC},
        {"PEAK",
         4,
         [&] { p.PEAK->SetItemIndex(0); },
         "2148000000",
         {0xA0, 0x48, 0x00, 0x00, 0x00},
         "311800",
         {0xA0, 0x18, 0x00, 0x00},
         p.PEAK},
        {"ALC",
         4,
         [&] { p.ALC->SetItemIndex(0); },
         "2148010000",
         {0xA0, 0x48, 0x01, 0x00, 0x00},
         "31480200",
         {0xA0, 0x48, 0x02, 0x00, 0x01},
         p.ALC},
        {"AES",
         4,
         [&] { p.AES->SetItemIndex(0); },
         "2148020000",
         {0xA0, 0x48, 0x02, 0x00, 0x00},
         "31480100",
         {0xA0, 0x48, 0x01, 0x00, 0x00},
         p.AES},
        {"Sync",
         4,
         [&] { p.Sync->SetItemIndex(0); },
         "211C0000",
         {0xA0, 0x1C, 0x00, 0x00},
         "311C00",
         {0xA0, 0x1C, 0x00, 0x00, 0x00, 0x64, 0xFF, 0x9C},
         p.Sync},
        {"AWB",
         4,
         [&] { p.AWB->Click(); },
         "211B04",
         {0xA0, 0x1B, 0x04, 0x01},
         "311B04",
         {0xA0, 0x1B, 0x04, 0x00},
         p.AWB},
        {"Initial",
         4,
         [&] { p.Initial->SetItemIndex(0); },
         "214900",
         {0xA0, 0x49},
         "",
         {},
         p.Initial},
        {"Adjust Set ON",
         2,
         [&] { defect.AdjustSet->SetItemIndex(1); },
         "21360501",
         {0xA0, 0x36, 0x05, 0x01},
         "313606",
         {0xA0, 0x36, 0x06},
         defect.AdjustSet},
        {"Adjust Set OFF",
         2,
         [&] { defect.AdjustSet->SetItemIndex(0); },
         "21360500",
         {0xA0, 0x36, 0x05, 0x00},
         "",
         {},
         defect.AdjustSet},
    };
    LoadEasyPage(kRichBlocks);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->SetActivePage(c.page);
        c.act();
        ASSERT_EQ(Sent().size(), 1u);
        EXPECT_EQ(Last(c.write.size() / 2), c.write);
        EXPECT_FALSE(c.control->isEnabled());
        port.ClearWritten();
        AckAndAnswer(c.writeAnswer);
        if (!c.read.empty()) {
            ASSERT_EQ(Sent().size(), 1u);
            EXPECT_EQ(Last(c.read.size() / 2), c.read);
            EXPECT_FALSE(c.control->isEnabled());
            port.ClearWritten();
            AckAndAnswer(c.readAnswer);
        }
        EXPECT_TRUE(c.control->isEnabled());
        EXPECT_TRUE(Sent().empty());
    }
    // The automatic white balance has ended: its controls are back, the level at 4.
    EXPECT_TRUE(p.wb_select->isEnabled());
    EXPECT_TRUE(p.AWBBar->isEnabled());
    EXPECT_EQ(p.AWBBar->Position(), 4);
}

TEST_F(EasyPictureTest, ClickWhileThePartnerWaitsOnlyEnablesThePartner) {
    auto& p = P();
    const std::pair<ui::RadioGroup*, ui::RadioGroup*> pairs[] = {
        {p.BLC, p.PEAK}, {p.PEAK, p.BLC}, {p.ALC, p.AES}, {p.AES, p.ALC}};
    LoadEasyPage();
    for (auto [member, partner] : pairs) {
        SCOPED_TRACE(member->title().toStdString());
        partner->setEnabled(false);
        member->SetItemIndex(1);
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(partner->isEnabled());
        EXPECT_TRUE(member->isEnabled());
    }
}

TEST_F(EasyPictureTest, PhaseLevelSendsOnlyFourHexDigits) {
    const struct {
        const char* text;
        std::string sent;
    } cases[] = {
        {"12", ""}, {"123", ""}, {"1A2B", "211C011A2B"}, {"12G4", ""}, {"ff00", "211C01FF00"},
    };
    LoadEasyPage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        P().PhaseLevel->SetText(c.text);
        EXPECT_EQ(Last(c.sent.size() / 2), c.sent);
        EXPECT_EQ(Sent().size(), c.sent.empty() ? 0u : 1u);
        if (!c.sent.empty()) Free();
    }
}

// The second fixed shutter item follows the video standard; the selection stays where it is.
TEST_F(EasyPictureTest, TvSystemRenamesTheSecondShutterItem) {
    Bytes palBlock1 = {0xA0, 0x60, 0x01};
    palBlock1.resize(15, 0);
    palBlock1[14] = 0x01; // A15: setting 64, bit 0 = PAL
    const struct {
        const char* name;
        Bytes answer; // answers the page read outstanding
        const char* item1;
    } cases[] = {
        {"0A 40 odd", {0xA0, 0x0A, 0x40, 0x12, 0x35}, "1/120"},
        {"a second PAL answer", {0xA0, 0x0A, 0x40, 0x00, 0x01}, "1/120"},
        {"0A 40 even", {0xA0, 0x0A, 0x40, 0x00, 0x02}, "1/100"},
        {"Easy block 1 PAL", palBlock1, "1/120"},
    };
    auto* box = P().AESFixBox;
    box->SetItemIndex(1); // during the page sequence: not sent
    LoadEasyPage();
    const int index = box->ItemIndex();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AckAndAnswer(c.answer); // with nothing on the wire: a read the Debug tab's raw command made
        EXPECT_EQ(box->count(), 8);
        EXPECT_EQ(box->itemText(1), c.item1);
        EXPECT_EQ(box->ItemIndex(), index);
    }
    for (const auto& s : Sent())
        EXPECT_EQ(s.substr(0, 2), "31"); // page reads only
}

TEST_F(EasyPictureTest, Register0151DisablesTheWhiteBalanceControls) {
    auto& p = P();
    QWidget* panel = Easy().TabPanel();
    for (uint8_t high : {0x01, 0x00}) {
        SCOPED_TRACE(int(high));
        if (high == 0x00) window->ReLoadClick(); // the page start enables them again
        for (QWidget* w : std::vector<QWidget*>{p.wb_select, p.AWB, p.ATWBar, p.AWBBar, p.WB})
            EXPECT_TRUE(w->isEnabledTo(panel)); // the panel itself is off during the load
        LoadEasyPage({}, high);                 // ATW mode: AWB and AWBBar off in any case
        for (QWidget* w : std::vector<QWidget*>{p.wb_select, p.ATWBar, p.WB})
            EXPECT_EQ(w->isEnabledTo(panel), high == 0);
        EXPECT_FALSE(p.AWB->isEnabled());
        EXPECT_FALSE(p.AWBBar->isEnabled());
    }
}

TEST_F(EasyPictureTest, IrGroupSendsOnlyOutsideItsLoading) {
    auto& m = *window->Mask;
    EXPECT_TRUE(m.IR->isHidden());
    const struct {
        int irsw, level;
        bool loading;
        std::string sent;
    } cases[] = {
        {1, 17, false, "21580311"}, // "18" with "EXT"
        {0, 4, false, "21580204"},
        {1, 17, true, ""},
    };
    LoadEasyPage();
    for (const auto& c : cases) {
        m.IrLoading = true;
        m.IRSW->SetItemIndex(c.irsw);
        m.IRLevel->SetItemIndex(-1);
        m.IrLoading = c.loading;
        m.IRLevel->SetItemIndex(c.level);
        EXPECT_EQ(Last(4), c.sent);
        if (!c.sent.empty()) Free();
        m.IrLoading = false;
    }
    ASSERT_TRUE(Sent().empty());

    // The MASK answer handler fills the groups without sending them back, and ignores an error.
    window->SetActivePage(6);
    m.IRL->SetItemIndex(1);
    EXPECT_EQ(Last(4), "21580001");
    port.ClearWritten();
    AckAndAnswer({0xA0, 0x58, 0x00, 0x01, 0x01, 0x03, 0x05, 0x01});
    EXPECT_EQ(m.IRSW->ItemIndex(), 1);
    EXPECT_EQ(m.IRLevel->ItemIndex(), 5); // the external level
    EXPECT_EQ(m.IRLevelSW->ItemIndex(), 1);
    EXPECT_TRUE(m.IRLevelSW->isEnabled());
    EXPECT_FALSE(m.IrLoading);
    m.IRL->SetItemIndex(0);
    port.ClearWritten();
    AckAndAnswer({0xA2, 0x58, 0x00});
    EXPECT_EQ(m.IRSW->ItemIndex(), 1);
    EXPECT_EQ(m.IRLevel->ItemIndex(), 5);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(Sent().empty());

    // A read answer outside a page load (a raw read from the Debug tab brings one) is shown,
    // not sent back, whatever tab is on show.
    window->SetActivePage(4);
    P().Sync->SetItemIndex(1);
    AckAndAnswer({0xA0, 0x1C, 0x00, 0x01}); // the phase read-back goes out
    ASSERT_EQ(Last(3), "311C00");
    AckAndAnswer({0xA0, 0x1C, 0x00, 0x01}); // the read-back's answer
    port.ClearWritten();
    AckAndAnswer({0xA0, 0x58, 0x00, 0x01, 0x00, 0x07, 0x02, 0x00});
    EXPECT_EQ(m.IRL->ItemIndex(), 1);
    EXPECT_EQ(m.IRSW->ItemIndex(), 0);
    EXPECT_EQ(m.IRLevel->ItemIndex(), 7); // the internal level
    EXPECT_EQ(m.IRLevelSW->ItemIndex(), 0);
    EXPECT_TRUE(Sent().empty());
}

} // namespace
} // namespace r8::test
