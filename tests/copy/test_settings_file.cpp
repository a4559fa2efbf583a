// SPDX-License-Identifier: MIT
// The settings file: its exact bytes, and the checks that keep a bad file from the camera.
#include "SettingsFile.h"
#include "TargetFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace r8 {
namespace {

std::string Record(const std::string& digits) {
    return digits + "\r\n";
}

const std::string kEnd = Record("F10000000000000000000000000000");

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
        {"lower-case digits",
         Record("210c0005beef000000000000000000") + Record("f1" + std::string(28, '0')), 0xBEEF, 2},
        {"LF alone", "210C00051234000000000000000000\nF10000000000000000000000000000\n", 0x1234, 2},
        {"end record without its line end",
         Record("210C00051234000000000000000000") + "F10000000000000000000000000000", 0x1234, 2},
        {"0x1A after the end record ends the text",
         Record("210C00050001000000000000000000") + kEnd + "\x1A" + "garbage\r\n", 0x0001, 2},
        {"a patch of one word", Record("210C00050002000000000000000000") + kEnd, 0x0002, 2},
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
    const std::string second = Record("210C00010000000000000000000000");
    const struct {
        const char* what;
        std::string text;
        const char* expect;
    } cases[] = {
        {"empty file", "", "the file is empty"},
        {"short record", good + Record("210C0000000000000000000000000"), "line 2: a record has 30"},
        {"long record", Record("210C000000000000000000000000000"), "line 1: a record has 30"},
        {"empty line", good + "\r\n" + second + kEnd, "line 2: a blank line; every line"},
        {"blank line after the end", good + kEnd + "\r\n", "line 3: a blank line after the end"},
        {"cut at a line end", good + second, "line 2: the file is cut"},
        {"0x1A before the end record", good + "\x1A" + kEnd, "line 2: an end-of-file mark (1A)"},
        {"a word twice", good + second + good + kEnd,
         "line 3: word 0000 again; line 1 gave it already"},
        {"data filler", Record("210C00000000000000000000000100") + kEnd,
         "line 1: the digits after the word's value must all be \"0\""},
        {"end filler", good + Record("F10000000000000000000000000010"),
         "line 2: the digits after the end record's F1"},
        {"control characters quoted",
         Record(std::string("210C\x1B[31m\x07\0\"\\00000000000000000", 30)),
         "line 1: not a hexadecimal digit in \"210C\\x1B[31m\\x07\\x00\\\"\\\\0000"},
        {"not hexadecimal", good + second + Record("210C00G00000000000000000000000"),
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

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SettingsFileRead, OnlyARegularFileOfASettingsFilesSizeIsRead) {
    sim::test::TempDir dir;
    const std::string fifo = dir.File("fifo.dat"), big = dir.File("big.dat");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(big) << std::string(kMaxSettingsFileSize + 1, '0');
    std::ofstream(dir.File("good.dat")) << SettingsFileText(WordImage{}.data());
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {dir.File(""), "a folder, not a settings file"},
        {"/dev/null", "a character device, not a settings file"},
        {fifo, "a pipe (FIFO), not a settings file"}, // and no wait for a writer
        {big, "bytes, too large for a settings file"},
        {dir.File("missing.dat"), "cannot open: No such file"},
    };
    for (const auto& c : cases) {
        std::string text = "left over";
        const std::string error = ReadSettingsBytes(c.path, text);
        EXPECT_EQ(error.rfind(c.path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_TRUE(text.empty());
    }
    std::string text;
    EXPECT_EQ(ReadSettingsBytes(dir.File("good.dat"), text), "");
    EXPECT_EQ(text.size(), 32768u);
    EXPECT_EQ(ReadSettingsBytes(dir.File("good.dat"), text, [] { return true; }), "stopped");
}

TEST(TargetFileChecks, OnlyARegularFileOrANewOneIsATarget) {
    sim::test::TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    std::ofstream(dir.File("sub/real.dat")) << "old";
    ASSERT_EQ(symlink("sub/real.dat", dir.File("link.dat").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("sub/new.dat").c_str(), dir.File("dangling.dat").c_str()), 0);
    ASSERT_EQ(symlink("loop2", dir.File("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", dir.File("loop2").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", dir.File("to-null").c_str()), 0);
    const struct {
        std::string path;
        std::string target; // empty: refused
        const char* says;
    } cases[] = {
        {dir.File("sub/real.dat"), dir.File("sub/real.dat"), ""},
        {dir.File("link.dat"), dir.File("sub/real.dat"), ""},
        {dir.File("dangling.dat"), dir.File("sub/new.dat"), ""},
        {dir.File("new.dat"), dir.File("new.dat"), ""},
        {dir.File("sub"), "", "a folder"},
        {"/dev/null", "", "not a regular file"},
        {"/dev/stdout", "", "not a regular file"},
        {dir.File("to-null"), "", "not a regular file"},
        {dir.File("loop1"), "", "too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string target;
        const std::string error = ResolveTarget(c.path, target);
        if (c.target.empty()) {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(error, "");
        EXPECT_EQ(std::filesystem::path(target).lexically_normal(),
                  std::filesystem::path(c.target).lexically_normal());
    }
}

TEST(TargetFileChecks, ALinksTargetIsReplacedInItsFolderAndADiscardLeavesNothing) {
    sim::test::TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    std::ofstream(dir.File("sub/real.dat")) << "old";
    ASSERT_EQ(chmod(dir.File("sub/real.dat").c_str(), 0640), 0);
    ASSERT_EQ(symlink("sub/real.dat", dir.File("link.dat").c_str()), 0);
    {
        TargetFile file;
        ASSERT_EQ(file.Open(dir.File("link.dat"), 32768), "");
        // Made before anything is read, in the folder of the file it replaces, and without a
        // name until the end: a run killed meanwhile leaves nothing there.
        EXPECT_EQ(Entries(dir.File("sub")), std::vector<std::string>{"real.dat"});
        EXPECT_EQ(file.Commit("new"), "");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.dat")));
    std::ifstream in(dir.File("sub/real.dat"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    struct stat st {};
    ASSERT_EQ(stat(dir.File("sub/real.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(dir.File("sub")), std::vector<std::string>{"real.dat"});
    {
        TargetFile file;
        ASSERT_EQ(file.Open(dir.File("sub/other.dat"), 32768), "");
        file.Discard();
    }
    EXPECT_EQ(Entries(dir.File("sub")), std::vector<std::string>{"real.dat"});
    TargetFile file;
    const std::string error = file.Open(dir.File("missing/camera.dat"), 32768);
    EXPECT_NE(error.find("cannot create a file in"), std::string::npos) << error;
}

// 0000..03FE always; 03FF only when a side carries it (a file may, and both writes send it).
TEST(SettingsFileCompare, DifferingWordsWithBothValuesAnd03FFWhenCarried) {
    WordImage a{}, b{};
    a.fill(0x1111);
    a[1023] = kNoWord;
    b = a;
    b[3] = 0x2222;
    b[0x3FE] = kNoWord;
    auto d = CompareImages(a, b);
    ASSERT_EQ(d.differ.size(), 2u);
    EXPECT_EQ(d.differ[0].address, 3);
    EXPECT_EQ(d.differ[0].first, 0x1111);
    EXPECT_EQ(d.differ[0].second, 0x2222);
    EXPECT_EQ(d.differ[1].address, 0x3FE);
    EXPECT_EQ(d.differ[1].second, kNoWord);
    EXPECT_EQ(ComparedText(d), "1023 words");
    for (const bool firstCarries : {true, false}) {
        WordImage x = a, y = a;
        (firstCarries ? x : y)[1023] = 0x3333;
        d = CompareImages(x, y);
        ASSERT_EQ(d.differ.size(), 1u);
        EXPECT_EQ(d.differ[0].address, 0x3FF);
        EXPECT_EQ(ComparedText(d), "1024 words (03FF included)");
        y[1023] = x[1023] = 0x3333;
        EXPECT_TRUE(CompareImages(x, y).differ.empty());
    }
}

} // namespace
} // namespace r8
