// SPDX-License-Identifier: MIT
#pragma once
// The camera's EEPROM image (1024 words): the factory contents and the settings-file text that
// the copy functions exchange with the PC.
#include "CameraSettings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace r8::sim {

using EepromImage = std::array<uint16_t, eep::kWords>;

struct CameraIdentity {
    bool ntsc = false;
    bool hiRes = true;
};

// Words that the sensor straps decide, whatever the EEPROM holds.
uint16_t WithResolutionBit(uint16_t word, bool hiRes);
uint16_t WithTvBit(uint16_t word, bool ntsc);

// The factory image: a fixed pattern over all words with the settings, the register values,
// the title and the lens positions at their places.
EepromImage FactoryEeprom(const CameraIdentity& id);

// Applies the data records of a settings file (32-byte lines "210C" address value, 18 "0",
// CR LF; the "F1" end record and a 0x1A end-of-file mark end nothing but are skipped). Digits
// may be lower case; a line ending in LF alone is accepted. Returns "" or what is wrong.
std::string ApplySettingsText(std::string_view text, EepromImage& image);
// The file is read as the tools read theirs: a regular file only, at most 1 MiB, and a stop
// signal waiting (blocked) ends the read.
std::string LoadSettingsFile(const std::string& path, EepromImage& image);

// The file that a camera-to-PC copy writes: words 0..1022, then the end record.
std::string SettingsText(const EepromImage& image);

} // namespace r8::sim
