// SPDX-License-Identifier: MIT
// The catalogue's declarations hold together, and values as text go both ways.
#include "Catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace r8 {
namespace {

// Every entry is well formed: a tool name, a key, value bytes inside the 15-byte answer, a
// range that matches its kind, a page place inside an answer.
TEST(CatalogueTest, EveryEntryIsWellFormed) {
    std::set<std::vector<uint8_t>> writes;
    for (const SettingEntry* s : Catalogue()) {
        SCOPED_TRACE(std::string(s->name));
        ASSERT_FALSE(s->name.empty());
        for (char c : s->name)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
        EXPECT_EQ(FindSetting(s->name), s);
        EXPECT_FALSE(s->caption.empty());
        EXPECT_FALSE(PageName(s->page).empty());
        ASSERT_GE(s->key.size, 1);
        EXPECT_TRUE(s->width == 1 || s->width == 2);
        EXPECT_GE(s->ValueAt(), 2 + s->key.size);
        EXPECT_LE(s->ValueAt() + s->width - 1, 15);
        EXPECT_LE(s->min, s->max);
        if (s->width == 1) {
            EXPECT_TRUE(s->min >= 0 && s->max <= 255);
        }
        if (s->kind == SettingKind::Choice) {
            EXPECT_EQ(s->max + 1, static_cast<int>(s->items.size()));
        }
        if (s->inPage.at != 0) {
            EXPECT_LE(s->inPage.at + s->width - 1, 15);
        }
        // No two settings write through the same command.
        EXPECT_TRUE(writes.insert(WritePayload(*s, 0)).second);
    }
    EXPECT_EQ(FindSetting("no_such_setting"), nullptr);
}

TEST(CatalogueTest, ValuesAsText) {
    struct Case {
        const char* name;
        const char* text;
        std::optional<int> value; // empty: refused
        const char* shown;        // FormatValue of value
    };
    const Case cases[] = {
        {"agc", "0", 0, "0"},
        {"agc", "8", 8, "8"},
        {"agc", "9", {}, ""},
        {"agc", "-1", {}, ""},
        {"agc", "4x", {}, ""},
        {"agc", "", {}, ""},
        {"white_balance", "awb", 1, "AWB"},
        {"white_balance", "ATW", 0, "ATW"},
        {"white_balance", "1", 1, "AWB"},
        {"white_balance", "2", {}, ""},
        {"white_balance", "AWBX", {}, ""},
        {"shutter_fixed", "1/100 or 1/120", 1, "1/100 or 1/120"},
        {"shutter_fixed", "1/10000", 7, "1/10000"},
        {"ir_level_int", "1", 0, "1"}, // numbered items: the text, never the index
        {"ir_level_int", "18", 17, "18"},
        {"ir_level_int", "0", {}, ""},
        {"h_rev", "on", 1, "on"},
        {"h_rev", "OFF", 0, "off"},
        {"h_rev", "1", 1, "on"},
        {"h_rev", "yes", {}, ""},
        {"phase_level", "FF4C", -180, "FF4C"},
        {"phase_level", "ffff", -1, "FFFF"},
        {"phase_level", "7FFF", 32767, "7FFF"},
        {"phase_level", "0x18", 24, "0018"},
        {"phase_level", "10000", {}, ""},
        {"phase_level", "G1", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.text);
        const SettingEntry* s = FindSetting(c.name);
        ASSERT_NE(s, nullptr);
        const ParsedValue v = ParseValue(*s, c.text);
        EXPECT_EQ(v.value, c.value);
        if (c.value) {
            EXPECT_EQ(FormatValue(*s, *c.value), c.shown);
        } else {
            EXPECT_NE(v.error.find(c.name), std::string::npos) << v.error;
        }
    }
}

// The frames of the three shapes of setting: an item byte, a function without items (the value
// in A3), a signed word; and the answers that carry them.
TEST(CatalogueTest, PayloadsAndAnswers) {
    struct Case {
        const char* name;
        int value;
        std::vector<uint8_t> write, read;
        std::array<uint8_t, 15> answer;
    };
    const Case cases[] = {
        {"alc_fixed",
         5,
         {0x21, 0x48, 0x01, 0x01, 0x01, 0x05},
         {0x31, 0x48, 0x01, 0x01, 0x01},
         {0xA0, 0x48, 0x01, 0x01, 0x01, 0x05}},
        {"blc_sens", 6, {0x21, 0x50, 0x06}, {0x31, 0x50}, {0xA0, 0x50, 0x06}},
        {"phase_level",
         -180,
         {0x21, 0x1C, 0x01, 0xFF, 0x4C},
         {0x31, 0x1C, 0x01},
         {0xA0, 0x1C, 0x01, 0xFF, 0x4C}},
        {"ir_level_ext",
         17,
         {0x21, 0x58, 0x03, 0x11},
         {0x31, 0x58, 0x03},
         {0xA0, 0x58, 0x03, 0x00, 0x00, 0x08, 0x11}},
    };
    const std::array<uint8_t, 15> command{};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingEntry& s = *FindSetting(c.name);
        EXPECT_EQ(WritePayload(s, c.value), c.write);
        EXPECT_EQ(ReadPayload(s), c.read);
        const AnswerView a(c.answer.data(), command.data());
        EXPECT_TRUE(AnswerCarries(s, a));
        EXPECT_EQ(ReadValue(s, a), c.value);
        std::array<uint8_t, 15> refused = c.answer;
        refused[0] = 0xA2;
        EXPECT_FALSE(AnswerCarries(s, AnswerView(refused.data(), command.data())));
        std::array<uint8_t, 15> other = c.answer;
        other[static_cast<size_t>(s.key.size)] ^= 0x01; // the last key byte differs
        EXPECT_FALSE(AnswerCarries(s, AnswerView(other.data(), command.data())));
    }
}

} // namespace
} // namespace r8
