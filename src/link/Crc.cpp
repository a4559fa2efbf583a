// SPDX-License-Identifier: MIT
#include "Crc.h"

namespace r8 {

uint32_t CalcCrc(uint32_t reg, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        reg += static_cast<uint32_t>(bytes[i]) << 16;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ 0xA001 : reg >> 1;
    }
    return reg;
}

uint16_t FrameCrc(const uint8_t* covered, size_t count) {
    static constexpr uint8_t kFlush[2] = {0, 0};
    return static_cast<uint16_t>(CalcCrc(CalcCrc(0, covered, count), kFlush, 2));
}

} // namespace r8
