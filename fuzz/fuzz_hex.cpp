// SPDX-License-Identifier: MIT
// The hexadecimal parsers against a plain reference, and the formatters read back.
#include "HexText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

int Digit(char c) {
    const std::string_view digits = "0123456789abcdef";
    const char lower = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    const size_t at = digits.find(lower);
    return at == std::string_view::npos || c == '\0' ? -1 : static_cast<int>(at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool allHex = true;
    uint32_t reference = 0;
    for (char c : text) {
        Check(r8::HexDigitValue(c) == Digit(c));
        if (Digit(c) < 0) allHex = false;
        reference = reference * 16 + static_cast<uint32_t>(Digit(c) < 0 ? 0 : Digit(c));
    }

    const int32_t value = r8::ParseHex(text);
    if (allHex)
        Check(value == static_cast<int32_t>(reference));
    else
        Check(value == -1);
    const int byte = r8::ParseHexByte(text);
    Check(byte == (allHex ? static_cast<int>(reference & 0xFF) : -1));

    if (size >= 2) {
        const int pair = r8::ParsePairAt(text.data());
        const bool pairHex = Digit(text[0]) >= 0 && Digit(text[1]) >= 0;
        Check(pair == (pairHex ? Digit(text[0]) * 16 + Digit(text[1]) : -1));
    }

    // Formatters: upper case, zero padded, and read back by the parsers.
    const std::string bytes = r8::HexBytes(data, size);
    Check(bytes.size() == 2 * size);
    for (size_t i = 0; i < size; ++i) {
        char buf[2];
        r8::HexByteToBuf(data[i], buf);
        Check(bytes.compare(2 * i, 2, buf, 2) == 0);
        Check(r8::HexByte(data[i]) == bytes.substr(2 * i, 2));
        Check(r8::ParsePairAt(bytes.data() + 2 * i) == data[i]);
    }
    for (char c : bytes)
        Check((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    if (size >= 2) {
        const int word = data[0] << 8 | data[1];
        Check(r8::HexWord(word) == bytes.substr(0, 4));
        Check(r8::ParseHex(r8::HexWord(word)) == word);
        const uint16_t mask = r8::LowestBitMask(static_cast<uint16_t>(word));
        Check(word == 0
                  ? mask == 0
                  : (mask & (mask - 1)) == 0 && (word & mask) == mask && (word & (mask - 1)) == 0);
    }
    return 0;
}
