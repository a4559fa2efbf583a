// SPDX-License-Identifier: MIT
#pragma once
// One declaration per plain camera setting. A plain setting is a value that one command writes
// (21 key value) and one read (31 key) returns. Its entry says everything the program knows of
// it: the name the tools use, the window's caption, the kind of value and its range or item
// texts, the command key, where the value sits in the read answer and in the page load of its
// tab. The window binds its controls to entries (ui/patterns/Bind.h), r8v5mc-ctl lists, reads
// and sets them, and the simulated camera answers every one.
//
// Declaring a setting: add one line to its tab's table (EasySettings.h is the model), and the
// table to Catalogue.cpp when the tab is new. Entries are built with the constexpr helpers
// below and refined with the chained modifiers (InPage, At, PageOnly, CameraRange).
//
// Not plain, and so not declared here: the title (twenty characters in four blocks), the BLC
// areas (48 bits in one command), the mark position (moves within limits the camera reports),
// lens targets, moves and stored positions, the privacy mask rectangles (one command carries a
// whole rectangle), register, EEPROM and RAM access, and the chains and processes (automatic
// white balance, save, keep adjustments, push switches, defect search, lens adjustment).
#include "PageTable.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace r8 {

// P2.. of both commands of a setting: the write is 21 key value, the read 31 key.
struct CommandKey {
    std::array<uint8_t, 4> bytes{};
    uint8_t size = 0;

    constexpr CommandKey() = default;
    constexpr CommandKey(std::initializer_list<uint8_t> b) {
        for (uint8_t x : b)
            bytes[size++] = x;
    }
    constexpr uint8_t Function() const { return bytes[0]; }
};

enum class SettingKind : uint8_t {
    Range,   // an integer from min to max, shown in decimal
    Choice,  // an item index; shown as the window's item text
    OnOff,   // a check box: 0 off, 1 on
    HexWord, // hexadecimal, two digits a byte: four for a 16-bit value (two's complement when
             // signed), two for a byte (width 1), as the window shows it
};

// Where a page load shows the value: answer (group, item), byte A(at) (and A(at+1)).
struct PagePlace {
    uint8_t group = 0;
    uint8_t item = 0;
    uint8_t at = 0; // 0: the page does not show it
};

// A range that only the camera knows: the read 31 key answers the maximum at A(maxAt):A(maxAt+1)
// and the minimum at A(minAt):A(minAt+1), signed 16-bit each.
struct RangeRead {
    CommandKey key; // size 0: the range is min..max of the entry
    uint8_t maxAt = 0;
    uint8_t minAt = 0;
};

struct SettingEntry {
    std::string_view name;    // stable, lower case; what the tools and profiles use
    std::string_view caption; // the window's caption or label
    PageGroup page = kEasyGroup;
    SettingKind kind = SettingKind::Range;
    int min = 0; // Choice: 0; OnOff: 0
    int max = 0; // Choice: items - 1; OnOff: 1
    std::span<const std::string_view> items{};
    CommandKey key;
    uint8_t width = 1;       // value bytes: 1, or 2 sent and answered high byte first
    bool isSigned = false;   // a 2-byte value read as signed 16-bit
    uint8_t at = 0;          // A(at) of the read answer; 0: right after the key, A(2 + key size)
    bool shownOnRead = true; // the window shows the answer to the read (false: the page only)
    PagePlace inPage{};
    RangeRead cameraRange{};
    CommandKey tail{}; // bytes the write sends after the value: 21 key value tail
    // The window's control that shows the setting, by its object name in the tab's form, and
    // for a track bar the name of the timer that debounces it.
    std::string_view control{};
    std::string_view timer{};

    constexpr int ValueAt() const { return at != 0 ? at : 2 + key.size; }

    // Modifiers for the tables.
    constexpr SettingEntry InPage(uint8_t group, uint8_t item, uint8_t byte) const {
        SettingEntry e = *this;
        e.inPage = {group, item, byte};
        return e;
    }
    constexpr SettingEntry At(uint8_t byte) const {
        SettingEntry e = *this;
        e.at = byte;
        return e;
    }
    // The window shows the value from its page load only, not from the answer to its read.
    constexpr SettingEntry PageOnly() const {
        SettingEntry e = *this;
        e.shownOnRead = false;
        return e;
    }
    // The write ends with these bytes after the value.
    constexpr SettingEntry Then(CommandKey t) const {
        SettingEntry e = *this;
        e.tail = t;
        return e;
    }
    constexpr SettingEntry Control(std::string_view name, std::string_view timerName = {}) const {
        SettingEntry e = *this;
        e.control = name;
        e.timer = timerName;
        return e;
    }
    constexpr SettingEntry CameraRange(CommandKey k, uint8_t maxAt, uint8_t minAt) const {
        SettingEntry e = *this;
        e.cameraRange = {k, maxAt, minAt};
        return e;
    }
};

constexpr SettingEntry RangeSetting(PageGroup page, std::string_view name, std::string_view caption,
                                    CommandKey key, int min, int max) {
    return {.name = name,
            .caption = caption,
            .page = page,
            .kind = SettingKind::Range,
            .min = min,
            .max = max,
            .key = key};
}

constexpr SettingEntry ChoiceSetting(PageGroup page, std::string_view name,
                                     std::string_view caption, CommandKey key,
                                     std::span<const std::string_view> items) {
    return {.name = name,
            .caption = caption,
            .page = page,
            .kind = SettingKind::Choice,
            .min = 0,
            .max = static_cast<int>(items.size()) - 1,
            .items = items,
            .key = key};
}

constexpr SettingEntry OnOffSetting(PageGroup page, std::string_view name, std::string_view caption,
                                    CommandKey key) {
    return {.name = name,
            .caption = caption,
            .page = page,
            .kind = SettingKind::OnOff,
            .min = 0,
            .max = 1,
            .key = key};
}

// A 16-bit word; signed words range over -32768..32767 unless the camera reports the range.
constexpr SettingEntry HexWordSetting(PageGroup page, std::string_view name,
                                      std::string_view caption, CommandKey key, bool isSigned) {
    return {.name = name,
            .caption = caption,
            .page = page,
            .kind = SettingKind::HexWord,
            .min = isSigned ? -32768 : 0,
            .max = isSigned ? 32767 : 0xFFFF,
            .key = key,
            .width = 2,
            .isSigned = isSigned};
}

// A byte shown and typed as two hexadecimal digits, as the window's edit shows it.
constexpr SettingEntry HexByteSetting(PageGroup page, std::string_view name,
                                      std::string_view caption, CommandKey key) {
    return {.name = name,
            .caption = caption,
            .page = page,
            .kind = SettingKind::HexWord,
            .min = 0,
            .max = 0xFF,
            .key = key};
}

// The page load's read of a plain setting: 31 key, as a page table row. Keys of up to three
// bytes fit a row.
constexpr PageRequest ReadRequest(const SettingEntry& s) {
    if (s.key.size < 1 || s.key.size > 3) throw "a page row holds a key of one to three bytes";
    return {s.key.bytes[0], s.key.size > 1 ? s.key.bytes[1] : uint8_t{0},
            s.key.size > 2 ? s.key.bytes[2] : uint8_t{0}, static_cast<uint8_t>(1 + s.key.size)};
}

// Item lists shared by many radio groups.
inline constexpr std::string_view kOffOnItems[] = {"OFF", "ON"};
inline constexpr std::string_view kAutoFixItems[] = {"AUTO", "FIX"};

} // namespace r8
