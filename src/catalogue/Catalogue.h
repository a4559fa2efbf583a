// SPDX-License-Identifier: MIT
#pragma once
// The settings catalogue: every plain setting of every tab, and what a front end needs to send,
// read and show one (the payloads, the value in an answer, the value as text).
#include "AnswerView.h"
#include "SettingEntry.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r8 {

// Every entry, tab by tab in page order, each tab's entries in the order of its table.
std::span<const SettingEntry* const> Catalogue();
// The entry of that name, or nullptr.
const SettingEntry* FindSetting(std::string_view name);

// The page's tool name ("easy", "mask", "adjust", "debug", "defect", "copy", "line").
std::string_view PageName(PageGroup page);
std::optional<PageGroup> PageByName(std::string_view name);

// The command payloads P1..Pn.
std::vector<uint8_t> WritePayload(const SettingEntry& s, int value);
std::vector<uint8_t> ReadPayload(const SettingEntry& s);

// True when a good answer is the answer to the setting's read: A2.. repeat the key.
bool AnswerCarries(const SettingEntry& s, const AnswerView& a);
// The value at A(at) (and A(at+1)), signed when the entry says so.
int ValueIn(const SettingEntry& s, const AnswerView& a, int at);
inline int ReadValue(const SettingEntry& s, const AnswerView& a) {
    return ValueIn(s, a, s.ValueAt());
}

// The value as the tools show it: decimal, the item text, "on"/"off" or four hexadecimal digits.
std::string FormatValue(const SettingEntry& s, int value);
// "0..8", "OFF|ON", "on|off", "0000..FFFF"; lo and hi override the entry's range.
std::string FormatRange(const SettingEntry& s, int lo, int hi);
inline std::string FormatRange(const SettingEntry& s) {
    return FormatRange(s, s.min, s.max);
}
// The kind's tool name: "int", "choice", "bool", "hex".
std::string_view KindName(SettingKind kind);

struct ParsedValue {
    std::optional<int> value;
    std::string error; // why the text is refused, when value is empty
};
// Parses text as the entry's kind and checks it against lo..hi: decimal for a range; an item
// text (any case) for a choice, or its index unless the items are numbers; on/off or 1/0 for
// on/off; one to four hexadecimal digits for a word (a signed word takes the two's complement:
// FFFF is -1).
ParsedValue ParseValue(const SettingEntry& s, std::string_view text, int lo, int hi);
inline ParsedValue ParseValue(const SettingEntry& s, std::string_view text) {
    return ParseValue(s, text, s.min, s.max);
}

} // namespace r8
