// SPDX-License-Identifier: MIT
#pragma once
// Asking the camera model directly, without the line.
#include "CameraModel.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace r8::sim::test {

inline Payload P(std::initializer_list<uint8_t> bytes) {
    Payload p{};
    std::copy(bytes.begin(), bytes.end(), p.begin());
    return p;
}

// The answer to a command that must have one; an empty payload (A1 = 0) when it has none.
inline Payload Ask(CameraModel& m, std::initializer_list<uint8_t> bytes) {
    auto a = m.Command(P(bytes));
    EXPECT_TRUE(a.has_value()) << "no answer frame";
    return a.value_or(Payload{});
}

// A(n) and A(n):A(n+1), counted from 1.
inline int A(const Payload& a, int n) {
    return a[n - 1];
}
inline int W(const Payload& a, int n) {
    return a[n - 1] * 256 + a[n];
}
inline int SW(const Payload& a, int n) {
    return static_cast<int16_t>(W(a, n));
}

} // namespace r8::sim::test
