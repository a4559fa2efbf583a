// SPDX-License-Identifier: MIT
#include "HexText.h"

namespace r8 {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string HexByte(uint8_t v) {
    return {kDigits[v >> 4], kDigits[v & 0x0F]};
}

std::string HexWord(int v) {
    auto w = static_cast<uint16_t>(v);
    return HexByte(static_cast<uint8_t>(w >> 8)) + HexByte(static_cast<uint8_t>(w & 0xFF));
}

void HexByteToBuf(uint8_t v, char* buf) {
    buf[0] = kDigits[v >> 4];
    buf[1] = kDigits[v & 0x0F];
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int ParsePairAt(const char* p) {
    int hi = HexDigitValue(p[0]);
    if (hi < 0) return -1;
    int lo = HexDigitValue(p[1]);
    if (lo < 0) return -1;
    return hi * 16 + lo;
}

int32_t ParseHex(std::string_view text) {
    // Accumulate in unsigned arithmetic: more than eight digits wrap instead of overflowing.
    uint32_t value = 0;
    for (char c : text) {
        int d = HexDigitValue(c);
        if (d < 0) return -1;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
}

int ParseHexByte(std::string_view text) {
    for (char c : text)
        if (HexDigitValue(c) < 0) return -1;
    return ParseHex(text) & 0xFF;
}

uint16_t LowestBitMask(uint16_t v) {
    return static_cast<uint16_t>(v & (0x10000 - v));
}

std::string HexBytes(const uint8_t* p, size_t n) {
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 0x0F];
    }
    return s;
}

} // namespace r8
