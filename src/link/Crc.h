// SPDX-License-Identifier: MIT
#pragma once
// CRC-16, polynomial 0x8005 in reflected form (0xA001), initial value 0, no final XOR.
#include <cstddef>
#include <cstdint>

namespace r8 {

// One register step per byte, the byte entering above the CRC bits (bits 16-23).
uint32_t CalcCrc(uint32_t reg, const uint8_t* bytes, size_t count);

// The CRC a frame carries over its covered bytes: CalcCrc over them, then over two zero bytes.
uint16_t FrameCrc(const uint8_t* covered, size_t count);

} // namespace r8
