// The settings file: its exact bytes, and the checks that keep a bad file from the camera.
#include "SettingsFile.h"

#include <gtest/gtest.h>

namespace r8 {
namespace {

std::string Record(const std::string& digits) {
    return digits + "\r\n";
}

TEST(SettingsFileFormat, LinesAreThirtyTwoBytesEndingWithTheResetRecord) {
    WordImage words{};
    for (int i = 0; i < kEepromWords; ++i)
        words[static_cast<size_t>(i)] = (i * 0x9E37 + 0xAB) & 0xFFFF;
    words[0] = 0x12AB;
    words[0x3FE] = 0x00FF;
    const std::string text = SettingsFileText(words.data());
    ASSERT_EQ(text.size(), 32768u);
    const struct {
        int line;
        std::string bytes;
    } lines[] = {
        {0, "210C000012AB000000000000000000\r\n"},
        {1, "210C0001" + std::string("9EE2") + "000000000000000000\r\n"},
        {0x3FE, "210C03FE00FF000000000000000000\r\n"},
        {1023, "F10000000000000000000000000000\r\n"},
    };
    for (const auto& l : lines)
        EXPECT_EQ(text.substr(static_cast<size_t>(l.line) * 32, 32), l.bytes) << l.line;

    SettingsFile back;
    ASSERT_EQ(ParseSettingsText(text, back), "");
    EXPECT_EQ(back.records.size(), 1024u);
    EXPECT_TRUE(back.hasEnd);
    EXPECT_EQ(back.FirstMissingWord(), -1);
    words[1023] = kNoWord; // not carried by the file
    EXPECT_EQ(back.words, words);
}

TEST(SettingsFileChecks, WhatValidFilesRelyOnIsAccepted) {
    const struct {
        const char* what;
        std::string text;
        int32_t word5;
        size_t records;
    } cases[] = {
        {"lower-case digits", Record("210c0005beef000000000000000000"), 0xBEEF, 1},
        {"LF alone", "210C00051234000000000000000000\n", 0x1234, 1},
        {"last record without its line end", "210C00051234000000000000000000", 0x1234, 1},
        {"0x1A ends the text", Record("210C00050001000000000000000000") + "\x1A" + "garbage\r\n",
         0x0001, 1},
        {"end record last",
         Record("210C00050002000000000000000000") + Record("F10000000000000000000000000000"),
         0x0002, 2},
    };
    for (const auto& c : cases) {
        SettingsFile f;
        EXPECT_EQ(ParseSettingsText(c.text, f), "") << c.what;
        EXPECT_EQ(f.words[5], c.word5) << c.what;
        EXPECT_EQ(f.records.size(), c.records) << c.what;
    }
}

TEST(SettingsFileChecks, BadLinesAreNamedWithTheirNumber) {
    const std::string good = Record("210C00000000000000000000000000");
    const struct {
        const char* what;
        std::string text;
        const char* expect;
    } cases[] = {
        {"empty file", "", "no records"},
        {"short record", good + Record("210C0000000000000000000000000"), "line 2: a record has 30"},
        {"long record", Record("210C000000000000000000000000000"), "line 1: a record has 30"},
        {"empty line", good + "\r\n" + good, "line 2: a record has 30"},
        {"not hexadecimal", good + good + Record("210C00G00000000000000000000000"),
         "line 3: not a hexadecimal digit"},
        {"address above 1023", Record("210C04000000000000000000000000"),
         "line 1: address 0400 is above 03FF"},
        {"another group", Record("210A00010000000000000000000000"), "line 1: neither"},
        {"a read command", Record("310C00010000000000000000000000"), "line 1: neither"},
        {"after the end record", Record("F10000000000000000000000000000") + good,
         "line 2: a record after the end record"},
    };
    for (const auto& c : cases) {
        SettingsFile f;
        const std::string error = ParseSettingsText(c.text, f);
        EXPECT_EQ(error.rfind(c.expect, 0), 0u) << c.what << ": " << error;
    }
}

TEST(SettingsFileCompare, DifferingWordsWithBothValues) {
    WordImage a{}, b{};
    a.fill(0x1111);
    b = a;
    b[3] = 0x2222;
    b[0x3FE] = kNoWord;
    b[1023] = 0x3333; // word 1023 is never in a file and is not compared
    const auto d = CompareImages(a, b);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].address, 3);
    EXPECT_EQ(d[0].first, 0x1111);
    EXPECT_EQ(d[0].second, 0x2222);
    EXPECT_EQ(d[1].address, 0x3FE);
    EXPECT_EQ(d[1].second, kNoWord);
}

} // namespace
} // namespace r8
