// SPDX-License-Identifier: MIT
#pragma once
// Bytes written as hexadecimal pairs, spaces allowed between them: "02 31 0C" or "02310C".
#include "HexText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace r8::test {

inline std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(ParsePairAt(&hex[i])));
        i += 2;
    }
    return out;
}

} // namespace r8::test
