// SPDX-License-Identifier: MIT
#include "EepromImage.h"

#include "BoundedRead.h"
#include "HexText.h"

#include <csignal>

namespace r8::sim {

namespace {

constexpr char kFactoryTitle[] = "CCD CAMERA";

// Register values the signal chain needs to look sane; the rest follow the fill pattern.
void PutRegisters(EepromImage& w, const CameraIdentity& id) {
    w[eep::kResolutionWord] = id.hiRes ? 0x4320 : 0x0220; // low bits: active width
    w[eep::kTvWord] = id.ntsc ? 0x0106 : 0x0139;          // low bits: lines per field
    w[0x2B] = 0x8080;                                     // B-Y gain, R-Y gain
    w[0x2C] = 0x0410;                                     // hue RY+
    w[0x2D] = 0x040C;                                     // hue BY+
    w[0x2E] = 0x0508;                                     // hue RY-, negative
    w[0x2F] = 0x0400;                                     // hue BY-
    for (uint16_t k = 0; k < 12; ++k)                     // AGC table
        w[0xC0 + k] = static_cast<uint16_t>(0x0100 + k * 0x0155);
}

// The program takes its stop signals by a signalfd with them blocked: one that is waiting
// stops a load.
bool StopSignalPending() {
    sigset_t pending;
    if (sigpending(&pending) != 0) return false;
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1 ||
           sigismember(&pending, SIGHUP) == 1;
}

int ParseRecordPair(std::string_view line, size_t at) {
    return ParsePairAt(line.data() + at);
}

} // namespace

uint16_t WithResolutionBit(uint16_t word, bool hiRes) {
    return static_cast<uint16_t>((word & ~0x4000) | (hiRes ? 0x4000 : 0));
}

uint16_t WithTvBit(uint16_t word, bool ntsc) {
    return static_cast<uint16_t>((word & ~0x0001) | (ntsc ? 0 : 1));
}

EepromImage FactoryEeprom(const CameraIdentity& id) {
    EepromImage w{};
    for (uint32_t a = 0; a < w.size(); ++a)
        w[a] = static_cast<uint16_t>((a * 0x9E37u) ^ (a << 5) ^ 0x5A3Cu);
    PutRegisters(w, id);
    w[eep::kWbLock] = 0x0042;
    for (size_t s = 0; s < kSettingCount; ++s)
        w[eep::kSettings + s] = static_cast<uint16_t>(InfoOf(static_cast<Setting>(s)).initial);
    for (size_t i = 0; i < std::size(kPresetSettings); ++i)
        w[eep::kPreset + i] = static_cast<uint16_t>(InfoOf(kPresetSettings[i]).initial);
    std::string_view title = kFactoryTitle;
    for (int i = 0; i < eep::kTitleLength; ++i)
        w[eep::kTitle + i] = i < static_cast<int>(title.size())
                                 ? TitleCodeOf(static_cast<uint8_t>(title[i]))
                                 : kBlankCode;
    for (int p = 0; p < eep::kPositionCount; ++p) {
        w[eep::kPositions + 2 * p] = static_cast<uint16_t>(0x1000 + p * 0x20);
        w[eep::kPositions + 2 * p + 1] = static_cast<uint16_t>(0x0500 + p * 0x08);
    }
    return w;
}

std::string ApplySettingsText(std::string_view text, EepromImage& image) {
    size_t lineNo = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNo;
        if (!line.empty() && line.front() == '\x1A') break;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.size() != 30) return where + "a record has 30 hexadecimal digits";
        for (char c : line)
            if (HexDigitValue(c) < 0) return where + "not a hexadecimal digit";
        int command = ParseRecordPair(line, 0);
        if (command == 0xF1) continue;
        if (command != 0x21 || ParseRecordPair(line, 2) != 0x0C)
            return where + "neither an EEPROM word record (210C) nor the end record (F1)";
        int address = ParseRecordPair(line, 4) * 256 + ParseRecordPair(line, 6);
        if (address >= eep::kWords) return where + "address " + HexWord(address) + " past 03FF";
        image[address] =
            static_cast<uint16_t>(ParseRecordPair(line, 8) * 256 + ParseRecordPair(line, 10));
    }
    return {};
}

std::string LoadSettingsFile(const std::string& path, EepromImage& image) {
    // A whole image is 32768 bytes; the cap keeps a device such as /dev/zero from being read
    // for ever.
    static const FileKind kind{"a settings file", 1 << 20, " (a whole image has 32768)"};
    std::string text;
    if (std::string error = ReadRegularFile(path, kind, text, StopSignalPending); !error.empty())
        return error;
    std::string error = ApplySettingsText(text, image);
    return error.empty() ? error : path + ": " + error;
}

std::string SettingsText(const EepromImage& image) {
    std::string out;
    out.reserve(eep::kWords * 32);
    const std::string zeros(18, '0');
    for (int a = 0; a < eep::kWords - 1; ++a)
        out += "210C" + HexWord(a) + HexWord(image[a]) + zeros + "\r\n";
    out += "F1" + std::string(28, '0') + "\r\n";
    return out;
}

} // namespace r8::sim
