// SPDX-License-Identifier: MIT
#pragma once
// A typed view of the answer being handled (A1..A15) and of the command it answers (P1..P15),
// numbered from 1 as on the wire.
#include <cstdint>

namespace r8 {

class AnswerView {
public:
    AnswerView(const uint8_t* answer, const uint8_t* command) : a_(answer), p_(command) {}

    uint8_t A(int n) const { return a_[n - 1]; }
    // A(i):A(i+1), high byte first.
    uint16_t U16(int i) const { return static_cast<uint16_t>(A(i) << 8 | A(i + 1)); }
    int16_t S16(int i) const { return static_cast<int16_t>(U16(i)); }
    uint8_t P(int n) const { return p_[n - 1]; }

    bool Good() const { return A(1) == 0xA0; }
    uint8_t Group() const { return A(2); }
    uint8_t Item() const { return A(3); }
    bool AfterRead() const { return P(1) == 0x31; }
    bool AfterWrite() const { return P(1) == 0x21; }

private:
    const uint8_t* a_;
    const uint8_t* p_;
};

} // namespace r8
