// The MASK tab with its preview window, the Line tab and the push-switch window, against the
// simulated camera.
#include "MaskPanel.h"
#include "SideWindows.h"
#include "SimWindow.h"
#include "tabs/MaskTab.h"
#include "tabs/mask/MaskGroup.h"

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
    EXPECT_TRUE(sink.shown[0].text.contains("G1"));
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

// The camera's range fills the panel; start and end may come in either order.
TEST(MaskPreviewScale, TheCameraRangeFillsThePanel) {
    struct Row {
        MaskRect mask;
        ui::PanelRect panel;
    } rows[] = {
        {{0x00, 0xD8, 0x00, 0xA8}, {0, 0, 216, 168}},
        {{0x6C, 0xD8, 0x54, 0xA8}, {108, 84, 108, 84}},
        {{0x40, 0x20, 0x60, 0x30}, {32, 48, 32, 48}},
        {{0x10, 0x10, 0x10, 0x10}, {16, 16, 1, 1}},   // never narrower than a pixel
        {{0xF0, 0xFF, 0xF0, 0xFF}, {215, 167, 1, 1}}, // beyond the range: at the edge
    };
    for (const Row& r : rows)
        EXPECT_EQ(ui::MaskToPanel(r.mask, 216, 168), r.panel) << int(r.mask.hs);
    EXPECT_EQ(ui::MaskToPanel({0x00, 0xD8, 0x00, 0xA8}, 205, 126), (ui::PanelRect{0, 0, 205, 126}));
}

} // namespace
} // namespace r8::test
