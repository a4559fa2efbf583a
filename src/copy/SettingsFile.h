#pragma once
// The settings file: the camera's EEPROM image as text, one command payload per line.
//
// Every line is 32 bytes: 30 hexadecimal digits (P1..P15 of a command frame), CR, LF. A data
// record "21 0C aaaa vvvv" followed by 18 "0" writes EEPROM word aaaa; the end record "F1" and
// 28 "0" is the camera's reset. A camera-to-PC copy writes words 0..1022 in ascending order,
// then the end record: 1024 lines, 32768 bytes.
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

// Checks a file's text whole. Lower-case digits, LF without CR and a last record without its
// line end are accepted; a 0x1A byte at the start of a line ends the text. Returns "" or
// "line N: cause".
std::string ParseSettingsText(std::string_view text, SettingsFile& out);
// Reads and checks a file; returns "" or a sentence naming the file and the cause.
std::string ReadSettingsFile(const std::string& path, SettingsFile& out);
// "" when the file gives every word that a settings block carries from a file (0..1022), else
// a sentence naming the file and the first word missing.
std::string CheckBlockImage(const SettingsFile& file, const std::string& path);

// Writes text under a temporary name in the target's folder and renames it over the target
// once it is written, flushed and closed; on failure the target is untouched. Returns "" or
// the cause.
std::string ReplaceFile(const std::string& path, std::string_view text);

struct WordDifference {
    int address;
    int32_t first; // kNoWord when that side has no value
    int32_t second;
};
// Words 0..1022 that differ, ascending.
std::vector<WordDifference> CompareImages(const WordImage& first, const WordImage& second);

} // namespace r8
