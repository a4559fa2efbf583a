// SPDX-License-Identifier: MIT
// The window's logic without Qt: answer chains, the raw command text, the title codes and the
// mask preview's scale.
#include "HexText.h"
#include "easy/TitleCode.h"
#include "mask/MaskGeometry.h"
#include "patterns/AnswerChain.h"
#include "patterns/CommandText.h"

#include <gtest/gtest.h>

#include <string>

namespace r8::ui {
namespace {

TEST(AnswerChain, RunsTheRowOfTheAnswer) {
    std::string trail;
    const AnswerChain chain({
        {0x41, 0x00, [&](const AnswerView&) { trail += "a"; }},
        {0x0A, 0x2F, [&](const AnswerView&) { trail += "b"; }},
        {0x0A, kAnyItem, [&](const AnswerView& a) { trail += std::to_string(a.Item()); }},
    });
    const uint8_t command[15] = {0x21};
    struct Case {
        uint8_t group, item;
        bool matched;
    };
    for (const Case c : {Case{0x41, 0x00, true}, Case{0x41, 0x01, false}, Case{0x0A, 0x2F, true},
                         Case{0x0A, 0x07, true}, Case{0x42, 0x00, false}}) {
        const uint8_t answer[15] = {0xA0, c.group, c.item};
        EXPECT_EQ(chain.Advance(AnswerView(answer, command)), c.matched) << int(c.group);
    }
    EXPECT_EQ(trail, "ab7");
}

TEST(CommandText, PayloadsAndFaults) {
    using R = CommandText::Result;
    struct Case {
        const char* text;
        R result;
        std::string payload; // P1..Pn in hexadecimal when Ok, else the token at fault
    };
    const Case cases[] = {
        {"21 1E", R::Ok, "211E"},
        {"211E", R::Ok, "211E"},
        {"21,1E", R::Ok, "211E"},
        {"2 1E", R::Ok, "021E"},
        {"\t31 0a 23 ", R::Ok, "310A23"},
        {"123", R::Ok, "1203"},
        {"00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE", R::Ok, "00112233445566778899AABBCCDDEE"},
        {"", R::Empty, ""},
        {" , ", R::Empty, ""},
        {"SendBuffer", R::NotHex, "SendBuffer"},
        {"21 1G 00", R::NotHex, "1G"},
        {"0x21", R::NotHex, "0x21"},
        {"00112233445566778899AABBCCDDEE FF", R::TooLong, "FF"},
        {"00112233445566778899AABBCCDDEEF", R::TooLong, "00112233445566778899AABBCCDDEEF"},
    };
    for (const auto& c : cases) {
        const CommandText t = ParseCommandText(c.text);
        EXPECT_EQ(t.result, c.result) << c.text;
        if (t.Ok()) {
            EXPECT_EQ(HexBytes(t.payload.data(), static_cast<size_t>(t.count)), c.payload)
                << c.text;
            EXPECT_EQ(t.Problem(), "");
        } else {
            EXPECT_EQ(t.token, c.payload) << c.text;
            EXPECT_NE(t.Problem(), "") << c.text;
        }
    }
}

TEST(TitleCode, EncodesAndDecodesTheCameraCharacterSet) {
    const struct {
        char16_t c;
        uint16_t sent;
        char16_t shownBack;
    } cases[] = {
        {u'0', 0x0000, u'0'},      {u'9', 0x0009, u'9'},           {u'A', 0x0010, u'A'},
        {u'Z', 0x0029, u'Z'},      {u'a', 0x0030, u'a'},           {u'z', 0x0049, u'z'},
        {u' ', 0x01FE, u' '},      {u'\'', 0x0102, u'\''},         {u'"', 0x0103, u'"'},
        {u'.', 0x0105, u'.'},      {u'/', 0x0117, u'/'},           {u'-', 0x0120, u'-'},
        {u'*', 0x0126, u'*'},      {u'\uFF61', 0x010F, u'\uFF61'}, {u'\uFF62', 0x0110, u'\uFF62'},
        {u'!', 0x01FE, u' '},      {u'\uFF63', 0x01FE, u' '},      {u'\u00E9', 0x01FE, u' '},
        {u'\u3042', 0x01FE, u' '}, {u'\t', 0x01FE, u' '},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeTitleChar(c.c), c.sent) << int(c.c);
        EXPECT_EQ(DecodeTitleCode(EncodeTitleChar(c.c)), c.shownBack) << int(c.c);
    }
    // Codes no entry holds are shown as spaces; 0xFFFF marks "no code" and is none either.
    for (uint16_t code : {0x0104, 0x004A, 0x7777, 0xFFFF})
        EXPECT_EQ(DecodeTitleCode(code), u' ') << code;
    // Every byte with a code comes back as itself.
    for (int b = 0; b < 256; ++b) {
        const uint16_t code = TitleCodeTable[static_cast<size_t>(b)];
        if (code != kNoTitleCode) {
            EXPECT_EQ(TitleByteOf(DecodeTitleCode(code)), b);
        }
    }
}

// The camera's range fills the panel; start and end may come in either order.
TEST(MaskPreviewScale, TheCameraRangeFillsThePanel) {
    struct Row {
        MaskRect mask;
        PanelRect panel;
    } rows[] = {
        {{0x00, 0xD8, 0x00, 0xA8}, {0, 0, 216, 168}},
        {{0x6C, 0xD8, 0x54, 0xA8}, {108, 84, 108, 84}},
        {{0x40, 0x20, 0x60, 0x30}, {32, 48, 32, 48}},
        {{0x10, 0x10, 0x10, 0x10}, {16, 16, 1, 1}},   // never narrower than a pixel
        {{0xF0, 0xFF, 0xF0, 0xFF}, {215, 167, 1, 1}}, // beyond the range: at the edge
    };
    for (const Row& r : rows)
        EXPECT_EQ(MaskToPanel(r.mask, 216, 168), r.panel) << int(r.mask.hs);
    EXPECT_EQ(MaskToPanel({0x00, 0xD8, 0x00, 0xA8}, 205, 126), (PanelRect{0, 0, 205, 126}));
}

} // namespace
} // namespace r8::ui
