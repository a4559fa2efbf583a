// SPDX-License-Identifier: MIT
#include "SettingsFile.h"

#include "HexText.h"

#include <algorithm>
#include <cstring>

namespace r8 {

namespace {

constexpr uint8_t kDataCommand = 0x21, kEepromGroup = 0x0C, kResetCommand = 0xF1;

void PutRecord(char* line, uint8_t p1, uint8_t p2, int address, int value) {
    std::memset(line, '0', 30);
    HexByteToBuf(p1, line);
    HexByteToBuf(p2, line + 2);
    HexByteToBuf(static_cast<uint8_t>(address >> 8), line + 4);
    HexByteToBuf(static_cast<uint8_t>(address), line + 6);
    HexByteToBuf(static_cast<uint8_t>(value >> 8), line + 8);
    HexByteToBuf(static_cast<uint8_t>(value), line + 10);
    line[30] = '\r';
    line[31] = '\n';
}

} // namespace

std::string SettingsFileText(const int32_t* words) {
    std::string text(kRecordSize * (kDataRecords + 1), '0');
    char* line = text.data();
    for (int i = 0; i < kDataRecords; ++i, line += kRecordSize)
        PutRecord(line, kDataCommand, kEepromGroup, i, words[i]);
    PutRecord(line, kResetCommand, 0x00, 0, 0);
    return text;
}

int SettingsFile::FirstMissingWord() const {
    for (int i = 0; i < kDataRecords; ++i)
        if (words[static_cast<size_t>(i)] == kNoWord) return i;
    return -1;
}

std::string QuotedLine(std::string_view line) {
    // A record has 30 characters; a line far longer is shown cut.
    constexpr size_t kShown = 40;
    const bool cut = line.size() > kShown;
    if (cut) line = line.substr(0, kShown);
    std::string out = "\"";
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b > 0x7E) {
            out += "\\x" + HexByte(b);
        } else {
            out += c;
        }
    }
    return out + (cut ? "\"..." : "\"");
}

std::string ParseSettingsText(std::string_view text, SettingsFile& out) {
    out = SettingsFile{};
    if (text.empty()) return "the file is empty";
    // The line that gave each word first, for a word that comes again.
    std::array<int, kEepromWords> givenOn{};
    int lineNo = 0;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view{} : text.substr(lf + 1);
        ++lineNo;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (!line.empty() && line.front() == '\x1A') {
            if (out.hasEnd) break; // the end-of-file mark of an old editor
            return where + "an end-of-file mark (1A) before the end record (F1): the file is cut";
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty())
            return where + (out.hasEnd ? "a blank line after the end record (F1)"
                                       : "a blank line; every line is one record");
        if (out.hasEnd) return where + "a record after the end record (F1)";
        if (line.size() != 2 * kPayloadSize)
            return where + "a record has 30 hexadecimal digits, this line has " +
                   std::to_string(line.size()) + " characters: " + QuotedLine(line);
        RecordPayload p{};
        for (size_t i = 0; i < kPayloadSize; ++i) {
            const int v = ParsePairAt(line.data() + 2 * i);
            if (v < 0) return where + "not a hexadecimal digit in " + QuotedLine(line);
            p[i] = static_cast<uint8_t>(v);
        }
        // Bytes after the payload: P2 on of the end record, P7 on of a data record.
        size_t filler = 0;
        if (p[0] == kResetCommand) {
            out.hasEnd = true;
            filler = 1;
        } else if (p[0] == kDataCommand && p[1] == kEepromGroup) {
            const int address = p[2] << 8 | p[3];
            if (address >= kEepromWords)
                return where + "address " + HexWord(address) + " is above 03FF";
            const auto k = static_cast<size_t>(address);
            if (givenOn[k] != 0)
                return where + "word " + HexWord(address) + " again; line " +
                       std::to_string(givenOn[k]) + " gave it already";
            givenOn[k] = lineNo;
            out.words[k] = p[4] << 8 | p[5];
            filler = 6;
        } else {
            return where + "neither an EEPROM word record (210C) nor the end record (F1): " +
                   QuotedLine(line);
        }
        if (std::any_of(p.begin() + static_cast<long>(filler), p.end(),
                        [](uint8_t b) { return b != 0; }))
            return where + "the digits after the " +
                   (filler == 1 ? std::string("end record's F1") : std::string("word's value")) +
                   " must all be \"0\": " + QuotedLine(line);
        out.records.push_back(p);
    }
    if (out.records.empty()) return "no records before the end-of-file mark (1A)";
    if (!out.hasEnd)
        return "line " + std::to_string(lineNo) +
               ": the file is cut: its last line is not the end record (F1)";
    return {};
}

const FileKind& SettingsFileKind() {
    static const FileKind kind{"a settings file", kMaxSettingsFileSize,
                               " (a whole image has 32768)"};
    return kind;
}

std::string ReadSettingsBytes(const std::string& path, std::string& text,
                              const StopRequested& stop) {
    return ReadRegularFile(path, SettingsFileKind(), text, stop);
}

std::string ReadSettingsFile(const std::string& path, SettingsFile& out,
                             const StopRequested& stop) {
    std::string text;
    if (std::string error = ReadSettingsBytes(path, text, stop); !error.empty()) return error;
    std::string error = ParseSettingsText(text, out);
    return error.empty() ? error : path + ": " + error;
}

std::string CheckBlockImage(const SettingsFile& file, const std::string& path) {
    const int missing = file.FirstMissingWord();
    if (missing < 0) return {};
    return path + ": word " + HexWord(missing) +
           " has no record; a whole image has every word from 0000 to 03FE";
}

std::string CheckWritable(const SettingsFile& file, const std::string& path, bool batch) {
    // A block carries every word: one the file lacks would go out as whatever the table
    // happened to hold.
    if (batch) {
        if (std::string error = CheckBlockImage(file, path); !error.empty()) return error;
    } else if (std::none_of(file.records.begin(), file.records.end(),
                            [](const RecordPayload& p) { return p[0] != kResetCommand; })) {
        return path + ": no EEPROM word record; only the end record (F1)";
    }
    if (!file.hasEnd) return path + ": the file is cut: its last line is not the end record (F1)";
    return {};
}

ImageComparison CompareImages(const WordImage& first, const WordImage& second) {
    ImageComparison c;
    const auto kept = static_cast<size_t>(kEepromWords - 1);
    c.keptWord = first[kept] != kNoWord || second[kept] != kNoWord;
    c.compared = c.keptWord ? kEepromWords : kDataRecords;
    for (int i = 0; i < c.compared; ++i) {
        const auto k = static_cast<size_t>(i);
        if (first[k] != second[k]) c.differ.push_back({i, first[k], second[k]});
    }
    return c;
}

std::string ComparedText(const ImageComparison& c) {
    return std::to_string(c.compared) + " words" + (c.keptWord ? " (03FF included)" : "");
}

} // namespace r8
