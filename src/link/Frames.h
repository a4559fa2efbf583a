// SPDX-License-Identifier: MIT
#pragma once
// Byte layouts on the camera line.
#include <array>
#include <cstddef>
#include <cstdint>

namespace r8 {

enum : uint8_t {
    NUL = 0x00,
    SOH = 0x01,
    STX = 0x02,
    ETX = 0x03,
    EOT = 0x04,
    ENQ = 0x05,
    ACK = 0x06,
    DC1 = 0x11,
    NAK = 0x15,
    SYN = 0x16,
};

// STX, P1..P15, ETX, CRC high, CRC low. The CRC covers P1..P15 and ETX.
constexpr size_t kCommandFrameSize = 19;
constexpr size_t kPayloadSize = 15;
using CommandFrame = std::array<uint8_t, kCommandFrameSize>;

// SOH, kind, 2048 data bytes, ETX, CRC high, CRC low. The CRC covers kind, data and ETX.
constexpr size_t kBlockDataSize = 2048;
constexpr size_t kBlockFrameSize = kBlockDataSize + 5;
constexpr uint8_t kBlockKind2048 = 0x75;
using BlockFrameBytes = std::array<uint8_t, kBlockFrameSize>;

// Data length a block kind announces: 0x73 1024, 0x74 1536, anything else 2048.
constexpr size_t BlockDataLength(uint8_t kind) {
    return kind == 0x73 ? 1024 : kind == 0x74 ? 1536 : 2048;
}

// Answer frames: STX, A1..A15, ETX, CRC (19 bytes) or SOH, A1, A2, ETX, CRC (6 bytes).
constexpr size_t kStxAnswerPayload = 15;
constexpr size_t kSohAnswerPayload = 2;

// Fills position 0 with `header`, position 16 with ETX and 17, 18 with the CRC of 1..16.
void SealCommandFrame(CommandFrame& frame, uint8_t header = STX);

// The name of a control or framing byte (NUL, SOH, STX, ETX, EOT, ENQ, ACK, DC1, NAK, SYN),
// nullptr for any other byte.
const char* ControlName(uint8_t byte);

// A complete answer or command frame for the payload (shorter payloads are zero padded).
CommandFrame MakeStxFrame(const uint8_t* payload, size_t n);

} // namespace r8
