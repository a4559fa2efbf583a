// SPDX-License-Identifier: MIT
// Setting values as text: what the tools print and what they accept.
#include "Catalogue.h"

#include "HexText.h"

#include <cctype>
#include <charconv>

namespace r8 {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<int> Decimal(std::string_view t) {
    int v = 0;
    if (t.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc{} || end != t.data() + t.size()) return std::nullopt;
    return v;
}

std::optional<int> HexWordText(std::string_view t, bool isSigned, size_t digits) {
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
    if (t.empty() || t.size() > digits) return std::nullopt;
    for (char c : t)
        if (HexDigitValue(c) < 0) return std::nullopt;
    const int v = ParseHex(t);
    return isSigned ? static_cast<int16_t>(v) : v;
}

bool NumberedItems(const SettingEntry& s) {
    for (const auto& item : s.items)
        if (Decimal(item)) return true;
    return false;
}

} // namespace

std::string_view KindName(SettingKind kind) {
    switch (kind) {
    case SettingKind::Range:
        return "int";
    case SettingKind::Choice:
        return "choice";
    case SettingKind::OnOff:
        return "bool";
    case SettingKind::HexWord:
        return "hex";
    }
    return "";
}

std::string FormatValue(const SettingEntry& s, int value) {
    switch (s.kind) {
    case SettingKind::Choice:
        if (value >= 0 && static_cast<size_t>(value) < s.items.size())
            return std::string(s.items[static_cast<size_t>(value)]);
        return std::to_string(value); // an index the window has no item for
    case SettingKind::OnOff:
        return value != 0 ? "on" : "off";
    case SettingKind::HexWord:
        return s.width == 1 ? HexByte(static_cast<uint8_t>(value)) : HexWord(value);
    case SettingKind::Range:
        break;
    }
    return std::to_string(value);
}

std::string FormatRange(const SettingEntry& s, int lo, int hi) {
    switch (s.kind) {
    case SettingKind::Choice: {
        std::string r;
        for (const auto& item : s.items)
            r += (r.empty() ? "" : "|") + std::string(item);
        return r;
    }
    case SettingKind::OnOff:
        return "off|on";
    case SettingKind::HexWord:
        return FormatValue(s, lo) + ".." + FormatValue(s, hi);
    case SettingKind::Range:
        break;
    }
    return std::to_string(lo) + ".." + std::to_string(hi);
}

ParsedValue ParseValue(const SettingEntry& s, std::string_view text, int lo, int hi) {
    std::optional<int> v;
    switch (s.kind) {
    case SettingKind::Range:
        v = Decimal(text);
        break;
    case SettingKind::Choice:
        for (size_t i = 0; i < s.items.size() && !v; ++i)
            if (SameText(text, s.items[i])) v = static_cast<int>(i);
        // An index only where no item text is a number ("1" of the IR levels is index 0).
        if (!v && !NumberedItems(s)) v = Decimal(text);
        break;
    case SettingKind::OnOff:
        if (SameText(text, "on") || text == "1") v = 1;
        if (SameText(text, "off") || text == "0") v = 0;
        break;
    case SettingKind::HexWord:
        v = HexWordText(text, s.isSigned, 2u * s.width);
        break;
    }
    // Before the camera is asked, a setting whose range only the camera knows names its form,
    // not the widest range its bytes could hold.
    const bool cameraKnows = s.cameraRange.key.size != 0 && lo == s.min && hi == s.max;
    const std::string expected =
        cameraKnows ? (s.kind == SettingKind::HexWord ? "up to four hexadecimal digits"
                                                      : "a whole number") +
                          std::string(", within the range the camera reports")
                    : FormatRange(s, lo, hi);
    if (!v)
        return {std::nullopt, "\"" + std::string(text) + "\" is not a value of " +
                                  std::string(s.name) + " (" + expected + ")"};
    if (*v < lo || *v > hi)
        return {std::nullopt, "\"" + std::string(text) + "\" is outside the range of " +
                                  std::string(s.name) + " (" + expected + ")"};
    return {v, {}};
}

} // namespace r8
