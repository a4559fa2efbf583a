// SPDX-License-Identifier: MIT
#pragma once
// Hexadecimal text helpers shared by the window, the settings file and the simulator.
// Output is upper case and zero padded; parsers report bad input as -1.
#include <cstdint>
#include <string>
#include <string_view>

namespace r8 {

std::string HexByte(uint8_t v);
std::string HexWord(int v); // bits 15-0 of v, high byte first
void HexByteToBuf(uint8_t v, char* buf);
int HexDigitValue(char c);
int ParsePairAt(const char* p);          // exactly two characters
int32_t ParseHex(std::string_view text); // empty text gives 0
int ParseHexByte(std::string_view text);
uint16_t LowestBitMask(uint16_t v);
// The high and the low byte of a 16-bit value.
constexpr uint8_t HiByte(int v) {
    return static_cast<uint8_t>((v >> 8) & 0xFF);
}
constexpr uint8_t LoByte(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}

// Bytes as concatenated HexByte pairs, no separators.
std::string HexBytes(const uint8_t* p, size_t n);

} // namespace r8
