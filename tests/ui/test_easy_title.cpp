// SPDX-License-Identifier: MIT
// Easy tab tests: title, BLC areas and mark.
#include "EasyFixture.h"
#include "HexBytes.h"
#include "easy/EasyTitle.h"
#include "easy/TitleCode.h"

namespace r8::test {
namespace {

using ui::EasyTitle;

QString U(const char16_t* s) {
    return QString::fromUtf16(s);
}

class EasyTitleTest : public EasyWindow {
protected:
    EasyTitle& T() { return *Easy().TitleArea; }
    CameraState& State() { return window->Core().State(); }
    // A page sequence answered with blocks (as LoadEasyPage); returns what went out meanwhile.
    std::vector<std::string> LoadAndRecord(const std::vector<Bytes>& blocks) {
        for (int k = 0; k < 10; ++k) {
            Bytes a = {0xA0, 0x60, static_cast<uint8_t>(k)};
            if (k < static_cast<int>(blocks.size()))
                a.insert(a.end(), blocks[k].begin(), blocks[k].end());
            AckAndAnswer(a);
        }
        AckAndAnswer({0xA0, 0x0C, 0x01, 0x51, 0x00, 0x00});
        EXPECT_EQ(window->Loader().TransStep, 0);
        auto sent = Sent();
        port.ClearWritten();
        return sent;
    }
    std::vector<bool> MarkButtonsEnabled() {
        return {T().Mark_left->isEnabled(), T().Mark_right->isEnabled(), T().Mark_up->isEnabled(),
                T().Mark_down->isEnabled()};
    }
};

TEST_F(EasyTitleTest, SetSendsFourBlocksOnePerAnswer) {
    LoadEasyPage();
    const std::string blank5 = "01FE01FE01FE01FE01FE";
    const struct {
        QString title;
        std::string block0, block1; // codes; blocks 2 and 3 are blank
        QString shown;              // CName after the exchange
    } cases[] = {
        {"AB", "0010001101FE01FE01FE", blank5, "AB                  "},
        {"ABCDEFG", "00100011001200130014", "0015001601FE01FE01FE", "ABCDEFG             "},
        {U(u"!\uFF61x"), "01FE010F004701FE01FE", blank5, U(u" \uFF61x") + QString(17, ' ')},
    };
    for (const auto& c : cases) {
        port.ClearWritten();
        T().CName->SetText(c.title);
        T().SetTitle->Click();
        const std::string blocks[] = {c.block0, c.block1, blank5, blank5};
        for (int b = 0; b < 4; ++b) {
            const std::string want = "2110010" + std::to_string(b);
            ASSERT_EQ(Sent().size(), size_t(b + 1)) << c.title.toStdString();
            EXPECT_EQ(Last(14), want + blocks[b]) << c.title.toStdString() << " block " << b;
            EXPECT_FALSE(T().SetTitle->isEnabled());
            // The camera answers with the block it stored: A4 = block, A5..A14 = its codes.
            Bytes a = {0xA0, 0x10, 0x01};
            for (uint8_t x : r8::test::Bytes(Last(14).substr(6)))
                a.push_back(x);
            AckAndAnswer(a);
        }
        EXPECT_EQ(Sent().size(), 4u);
        EXPECT_TRUE(T().SetTitle->isEnabled());
        EXPECT_EQ(T().CName->Text(), c.shown);
    }
    // The title position goes out at once.
    T().Ctitlepos->SetItemIndex(1);
    EXPECT_EQ(Last(4), "21100301");
}

TEST_F(EasyTitleTest, TitleShowPutsFiveCharactersIntoTheirBlock) {
    LoadEasyPage();
    using Codes = ui::TitleCodes;
    const struct {
        QString before;
        uint8_t block;
        Codes codes;
        QString after;
    } cases[] = {
        {"", 1, {0x10, 0x11, 0x12, 0x13, 0x14}, "     ABCDE          "},
        {"HELLO WORLD", 0, {0x30, 0x31, 0x0104, 0xFFFF, 0x010F}, U(u"ab  \uFF61 WORLD         ")},
        {"12345678901234567890",
         3,
         {0x01FE, 0x01FE, 0x0126, 0x01FE, 0x01FE},
         "123456789012345  *  "},
        {"keep", 4, {0x10, 0x10, 0x10, 0x10, 0x10}, "keep"}, // no such block
    };
    for (const auto& c : cases) {
        T().CName->SetText(c.before);
        T().SetTitle->setEnabled(false);
        T().Title_show(c.block, c.codes);
        EXPECT_EQ(T().CName->Text(), c.after) << c.before.toStdString();
        // The answer to block 3 ends an exchange.
        EXPECT_EQ(T().SetTitle->isEnabled(), c.block == 3) << c.before.toStdString();
    }
    // A title read is shown and starts no upload.
    T().CName->SetText("");
    port.ClearWritten();
    window->Core().Send({0x31, 0x10, 0x01, 0x02});
    AckAndAnswer(
        {0xA0, 0x10, 0x01, 0x02, 0x00, 0x31, 0x01, 0xFE, 0x00, 0x32, 0x01, 0xFE, 0x01, 0xFE});
    EXPECT_EQ(T().CName->Text(), "          b c       ");
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(EasyTitleTest, EasyPageShowsTitleAreasAndMarkAndSendsNothingBack) {
    const std::vector<Bytes> blocks = {
        {0x00, 0x10, 0x00, 0x11, 0x00, 0x12, 0x00, 0x13, 0x00, 0x14}, // "ABCDE"
        {0x00, 0x01, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE}, // "1    "
        {0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE},
        {0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x00, 0x49, 0x01}, // "    z", Down
        {0x81, 0x00, 0x00, 0xFF, 0x00, 0x80},                               // areas
        {},
        {},
        {},
        {},
        {0x01, 0x05, 0x03, 0x05, 0x09, 0x00, 0x08}, // mark ON at (5, 3) in 5..9 x 0..8
    };
    const auto sent = LoadAndRecord(blocks);
    for (const auto& s : sent)
        EXPECT_EQ(s.substr(0, 2), "31") << s;
    EXPECT_FALSE(T().BLCAreaTimer->Enabled());

    EXPECT_EQ(T().CName->Text(), "ABCDE1" + QString(13, ' ') + "z");
    EXPECT_EQ(T().Ctitlepos->ItemIndex(), 1);
    EasyTitle::AreaMask m{};
    T().BLC_area_bits(m, 0);
    EXPECT_EQ(m, (EasyTitle::AreaMask{0x81, 0x00, 0x00, 0xFF, 0x00, 0x80}));
    EXPECT_TRUE(T().BLCCheck[0]->Checked());
    EXPECT_TRUE(T().BLCCheck[7]->Checked());
    EXPECT_FALSE(T().BLCCheck[8]->Checked());
    EXPECT_EQ(T().Mark->ItemIndex(), 1);
    EXPECT_EQ(MarkButtonsEnabled(), (std::vector<bool>{false, true, true, true}));
}

TEST_F(EasyTitleTest, AreaClicksSendTheMaskOnceWhenTheTimerFires) {
    LoadEasyPage();
    auto& t = T();
    const struct {
        std::vector<int> tick; // check box numbers 1..48
        std::string sent;
    } cases[] = {
        {{1, 48}, "2119010000000080"},
        {{25, 26, 27, 28, 29, 30, 31, 32}, "2119000000FF0000"},
        {{9, 16, 17}, "2119008101000000"},
    };
    for (const auto& c : cases) {
        EasyTitle::AreaMask none{};
        t.BLC_area_bits(none, 1);
        t.BLCAreaTimer->SetEnabled(false);
        port.ClearWritten();
        for (int n : c.tick)
            t.BLCCheck[size_t(n - 1)]->SetChecked(true);
        EXPECT_TRUE(t.BLCAreaTimer->Enabled());
        EXPECT_TRUE(Sent().empty());
        t.BLCAreaTimer->OnTimer();
        EXPECT_FALSE(t.BLCAreaTimer->Enabled());
        EXPECT_EQ(Sent(), std::vector<std::string>{c.sent + std::string(14, '0')});
        AckAndAnswer({0xA0, 0x19});
    }
    // A tick that Trans_chk refuses (here: a page sequence runs) leaves the timer armed, and
    // during the sequence a click arms nothing.
    port.ClearWritten();
    t.BLCCheck[1]->SetChecked(true);
    window->ReLoadClick();
    ASSERT_NE(window->Loader().TransStep, 0);
    t.BLCAreaTimer->OnTimer();
    EXPECT_TRUE(t.BLCAreaTimer->Enabled());
    t.BLCAreaTimer->SetEnabled(false);
    t.BLCCheck[4]->SetChecked(true);
    EXPECT_FALSE(t.BLCAreaTimer->Enabled());
    for (const auto& sent : Sent())
        EXPECT_NE(sent.substr(0, 4), "2119");
    LoadEasyPage();

    // A read answer ticks the boxes.
    window->Core().Send({0x31, 0x19});
    AckAndAnswer({0xA0, 0x19, 0x03, 0x00, 0x00, 0x00, 0x40, 0x80});
    EasyTitle::AreaMask m{};
    t.BLC_area_bits(m, 0);
    EXPECT_EQ(m, (EasyTitle::AreaMask{0x03, 0x00, 0x00, 0x00, 0x40, 0x80}));
    EXPECT_TRUE(t.BLCCheck[38]->Checked());
    EXPECT_FALSE(t.BLCCheck[4]->Checked());
}

TEST_F(EasyTitleTest, MarkButtonsFollowLimitsAndTheMarkSwitch) {
    LoadEasyPage();
    auto& t = T();
    const std::vector<bool> all(4, true), none(4, false);
    // Order of the buttons below: left, right, up, down.
    const struct {
        std::array<uint8_t, 6> limits; // X, Y, Xmin, Xmax, Ymin, Ymax
        int mark;                      // Mark index
        bool before;                   // all four enabled before the update
        std::vector<bool> after;
    } cases[] = {
        {{5, 3, 5, 9, 0, 8}, 1, true, {false, true, true, true}},
        {{5, 3, 5, 9, 0, 8}, 0, true, {false, true, true, true}},
        {{5, 3, 5, 9, 0, 8}, 1, false, {false, true, true, true}},
        {{5, 3, 5, 9, 0, 8}, 0, false, none},
        {{6, 3, 5, 9, 0, 8}, 0, true, all},
        {{9, 0, 5, 9, 0, 8}, 1, true, {true, false, false, true}},
        {{6, 8, 5, 9, 0, 8}, 1, false, {true, true, true, false}},
        {{0, 0, 0, 0, 0, 0}, 1, true, none},
    };
    for (const auto& c : cases) {
        window->ReLoadClick();
        LoadEasyPage({{}, {}, {}, {}, {}, {}, {}, {}, {}, {uint8_t(c.mark)}});
        State().MarkLimits = c.limits;
        for (auto* b : {t.Mark_left, t.Mark_right, t.Mark_up, t.Mark_down})
            b->setEnabled(c.before);
        t.Mark_enable_update();
        EXPECT_EQ(MarkButtonsEnabled(), c.after) << int(c.limits[0]) << "," << int(c.limits[1])
                                                 << " mark " << c.mark << " before " << c.before;
    }

    // Moves: each goes out from the last position the camera reported, whose answer moves it.
    window->ReLoadClick();
    LoadEasyPage({{}, {}, {}, {}, {}, {}, {}, {}, {}, {0x01, 0x10, 0x08, 0x0F, 0x20, 0x00, 0x10}});
    const struct {
        ui::Button* button;
        std::string sent;
        std::vector<bool> after;
    } moves[] = {
        {t.Mark_up, "2156011007", all},
        {t.Mark_left, "2156010F07", {false, true, true, true}},
        {t.Mark_right, "2156011007", all},
        {t.Mark_down, "2156011008", all},
    };
    for (const auto& m : moves) {
        port.ClearWritten();
        m.button->Click();
        EXPECT_EQ(Sent().size(), 1u);
        EXPECT_EQ(Last(5), m.sent);
        const auto p = r8::test::Bytes(m.sent);
        AckAndAnswer({0xA0, 0x56, 0x01, p[3], p[4]});
        EXPECT_EQ(State().MarkLimits[0], p[3]);
        EXPECT_EQ(State().MarkLimits[1], p[4]);
        EXPECT_EQ(MarkButtonsEnabled(), m.after) << m.sent;
    }
    // Mark OFF, then ON: each goes out at once; its answer switches the buttons.
    t.Mark->SetItemIndex(0);
    EXPECT_EQ(Last(4), "21560000");
    AckAndAnswer({0xA0, 0x56, 0x00, 0x00});
    EXPECT_EQ(MarkButtonsEnabled(), none);
    t.Mark->SetItemIndex(1);
    EXPECT_EQ(Last(4), "21560001");
    AckAndAnswer({0xA0, 0x56, 0x00, 0x01});
    EXPECT_EQ(MarkButtonsEnabled(), all);
}

} // namespace
} // namespace r8::test
