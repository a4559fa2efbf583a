// SPDX-License-Identifier: MIT
#pragma once
// The payload A1..A15 of an answer frame, built the way the camera fills it.
#include <array>
#include <cstdint>

namespace r8::sim {

using Payload = std::array<uint8_t, 15>;

// A1 of an answer.
enum : uint8_t {
    kDone = 0xA0,           // the command was carried out
    kUnknownCommand = 0xA1, // no such command class or function
    kBadParameter = 0xA2,   // the function exists, the item, address or value does not fit
};

class Answer {
public:
    // A1 = status, A2 = P2, A3 = P3 of the command, the rest zero.
    explicit Answer(const Payload& command, uint8_t status = kDone) {
        a_[0] = status;
        a_[1] = command[1];
        a_[2] = command[2];
    }
    // A(n) = bits 7-0 of v, n counted from 1 as in the answer notation.
    Answer& A(int n, int v) {
        a_[n - 1] = static_cast<uint8_t>(v & 0xFF);
        return *this;
    }
    // A(n):A(n+1) = bits 15-0 of v, high byte first.
    Answer& Word(int n, int v) {
        A(n, (v >> 8) & 0xFF);
        return A(n + 1, v);
    }
    operator Payload() const { return a_; }

private:
    Payload a_{};
};

// P(n):P(n+1) of a command as an unsigned 16-bit value.
inline int WordAt(const Payload& p, int n) {
    return p[n - 1] * 256 + p[n];
}

} // namespace r8::sim
