// SPDX-License-Identifier: MIT
#pragma once
// The settings file: the camera's EEPROM image as text, one command payload per line.
//
// Every line is 32 bytes: 30 hexadecimal digits (P1..P15 of a command frame), CR, LF. A data
// record "21 0C aaaa vvvv" followed by 18 "0" writes EEPROM word aaaa; the end record "F1" and
// 28 "0" is the camera's reset. A camera-to-PC copy writes words 0..1022 in ascending order,
// then the end record: 1024 lines, 32768 bytes.
#include "BoundedRead.h"
#include "Frames.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace r8 {

constexpr int kEepromWords = 1024;
constexpr int kDataRecords = kEepromWords - 1; // word 1023 is read but not written to the file
constexpr size_t kRecordSize = 32;
constexpr int32_t kNoWord = -1;
// The most a settings file may hold: far above a whole image's 32768 bytes, far below what
// would keep the tool busy.
constexpr size_t kMaxSettingsFileSize = 1 << 20;

using RecordPayload = std::array<uint8_t, kPayloadSize>;
using WordImage = std::array<int32_t, kEepromWords>; // kNoWord where nothing is known

// The whole file for words[0..1022] (bits 15-0 of each).
std::string SettingsFileText(const int32_t* words);

struct SettingsFile {
    std::vector<RecordPayload> records; // in file order; the end record, if any, is last
    WordImage words;                    // the value each data record gives, the last one wins
    bool hasEnd = false;

    SettingsFile() { words.fill(kNoWord); }
    // The first of words 0..1022 that no record gives, or -1 when all are there.
    int FirstMissingWord() const;
};

// Checks a file's text whole. The last line must be the end record, so that a file cut short
// is never taken for a whole one; a shorter file that ends with it is a valid patch. Each word
// may appear once, and the filler digits after a record's payload must be "0". Lower-case
// digits, LF without CR and an end record without its line end are accepted; a 0x1A byte at
// the start of a line after the end record ends the text. Returns "" or "line N: cause", with
// the line quoted and its control characters escaped.
std::string ParseSettingsText(std::string_view text, SettingsFile& out);

// The text of a settings file, read once: only a regular file, at most kMaxSettingsFileSize
// bytes; a pipe, a device or a folder is refused without waiting for it. Returns "" or a
// sentence naming the file and the cause ("stopped" when stop asked for it).
// The kind of file for ReadRegularFile: the messages and the cap of a settings file.
const FileKind& SettingsFileKind();
std::string ReadSettingsBytes(const std::string& path, std::string& text,
                              const StopRequested& stop = {});
// Reads and checks a file; returns "" or a sentence naming the file and the cause.
std::string ReadSettingsFile(const std::string& path, SettingsFile& out,
                             const StopRequested& stop = {});
// "" when the file gives every word that a settings block carries from a file (0..1022), else
// a sentence naming the file and the first word missing.
std::string CheckBlockImage(const SettingsFile& file, const std::string& path);

// Text for a message: the line in double quotes, control characters, quotes, backslashes and
// bytes above 0x7E escaped, so that nothing in it can cut the message or reach a terminal; a
// line longer than a record is shown cut, followed by "...".
std::string QuotedLine(std::string_view line);

// "" when a write in that mode may send the file, else a sentence naming it and why: a block
// needs every word 0000..03FE, a record-by-record write at least one word, both the end record.
std::string CheckWritable(const SettingsFile& file, const std::string& path, bool batch);

struct WordDifference {
    int address;
    int32_t first; // kNoWord when that side has no value
    int32_t second;
};
struct ImageComparison {
    std::vector<WordDifference> differ; // ascending
    int compared = 0;                   // words compared: 1023, or 1024 with 03FF
    bool keptWord = false;              // 03FF was compared
};
// Words 0..1022, and 03FF when either side carries it (a file may, both writes send it).
ImageComparison CompareImages(const WordImage& first, const WordImage& second);
// The count as the tools and the window say it: "1023 words" or "1024 words (03FF included)".
std::string ComparedText(const ImageComparison& c);

} // namespace r8
