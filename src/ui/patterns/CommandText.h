// SPDX-License-Identifier: MIT
#pragma once
// The raw command field: text typed by the operator turned into the payload P1..P15 of one
// command frame. A pure function without Qt, so that it can be tested and fuzzed alone.
//
// Tokens are separated by blanks, tabs or commas. A token is hexadecimal digits only; its digits
// pair up from the left into bytes, and a last single digit is a byte of its own, so "21 1E",
// "211E" and "21,1E" all give 21 1E, and "2 1E" gives 02 1E. A token with any other character,
// or more than 15 bytes in all, gives nothing to send.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace r8::ui {

struct CommandText {
    enum class Result {
        Ok,
        Empty,   // no token at all
        NotHex,  // `token` is not hexadecimal
        TooLong, // `token` is the first that does not fit into 15 bytes
    };
    Result result = Result::Empty;
    std::array<uint8_t, 15> payload{}; // P1..P15; unused bytes zero
    int count = 0;                     // bytes taken from the text (valid when Ok)
    std::string token;                 // the token at fault

    bool Ok() const { return result == Result::Ok; }
    // One line for the operator: what is wrong and where ("" when Ok).
    std::string Problem() const;
};

CommandText ParseCommandText(std::string_view text);

} // namespace r8::ui
