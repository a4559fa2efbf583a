// SPDX-License-Identifier: MIT
#pragma once
// The camera's title character codes. The window holds the title as Unicode; a character's byte
// value is its single-byte value in the Japanese code page (ASCII as is, half-width katakana
// U+FF61..U+FF9F as 0xA1..0xDF). The camera stores 16-bit codes, five characters per block.
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

namespace r8::ui {

constexpr uint16_t kNoTitleCode = 0xFFFF;
constexpr uint16_t kBlankTitleCode = 0x01FE; // the space; stands for every character without code
constexpr int kTitleLength = 20;
constexpr int kTitleBlockChars = 5;
constexpr int kTitleBlocks = kTitleLength / kTitleBlockChars;

using TitleCodes = std::array<uint16_t, kTitleBlockChars>;

namespace detail {
constexpr std::array<uint16_t, 256> makeTitleCodeTable() {
    std::array<uint16_t, 256> t{};
    for (auto& e : t)
        e = kNoTitleCode;
    for (int i = 0; i < 10; ++i)
        t['0' + i] = static_cast<uint16_t>(0x0000 + i);
    for (int i = 0; i < 26; ++i) {
        t['A' + i] = static_cast<uint16_t>(0x0010 + i);
        t['a' + i] = static_cast<uint16_t>(0x0030 + i);
    }
    t[' '] = kBlankTitleCode;
    const std::pair<uint8_t, uint16_t> marks[] = {
        {':', 0x0100},  {';', 0x0101}, {'\'', 0x0102}, {'"', 0x0103}, {'.', 0x0105},
        {',', 0x0106},  {'<', 0x0107}, {'>', 0x0108},  {'(', 0x0109}, {')', 0x010A},
        {'[', 0x010B},  {']', 0x010C}, {'{', 0x010D},  {'}', 0x010E}, {0xA1, 0x010F},
        {0xA2, 0x0110}, {'/', 0x0117}, {'-', 0x0120},  {'*', 0x0126},
    };
    for (const auto& [byte, code] : marks)
        t[byte] = code;
    return t;
}
} // namespace detail

// Camera code by byte value; kNoTitleCode where the camera has none.
inline constexpr std::array<uint16_t, 256> TitleCodeTable = detail::makeTitleCodeTable();

// The byte value of a window character, -1 when it has none in the code page.
constexpr int TitleByteOf(char16_t c) {
    if (c < 0x80) return c;
    if (c >= 0xFF61 && c <= 0xFF9F) return c - 0xFF61 + 0xA1;
    return -1;
}

// The window character of a byte value (the inverse of TitleByteOf; bytes the code page leaves
// unassigned here come back as a space).
constexpr char16_t TitleCharOf(uint8_t b) {
    if (b < 0x80) return b;
    if (b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(b - 0xA1 + 0xFF61);
    return u' ';
}

// The code sent for a character: its table entry, or the blank when it has none.
constexpr uint16_t EncodeTitleChar(char16_t c) {
    const int b = TitleByteOf(c);
    const uint16_t code = b < 0 ? kNoTitleCode : TitleCodeTable[static_cast<size_t>(b)];
    return code == kNoTitleCode ? kBlankTitleCode : code;
}

// The character shown for a camera code: that of the first byte whose entry equals it; a space
// for a code no entry holds (0xFFFF included: it marks bytes without a code, it is no code).
constexpr char16_t DecodeTitleCode(uint16_t code) {
    if (code == kNoTitleCode) return u' ';
    for (size_t b = 0; b < TitleCodeTable.size(); ++b)
        if (TitleCodeTable[b] == code) return TitleCharOf(static_cast<uint8_t>(b));
    return u' ';
}

// The five codes of block `block` (0..3) of the title: characters 5 block + 1 .. 5 block + 5;
// positions past the end of the text are blanks.
constexpr TitleCodes TitleBlockCodes(std::u16string_view text, int block) {
    TitleCodes codes{};
    for (size_t i = 0; i < codes.size(); ++i) {
        const size_t pos = static_cast<size_t>(block * kTitleBlockChars) + i;
        codes[i] = pos < text.size() ? EncodeTitleChar(text[pos]) : kBlankTitleCode;
    }
    return codes;
}

} // namespace r8::ui
