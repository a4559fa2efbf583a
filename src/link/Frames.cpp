// SPDX-License-Identifier: MIT
#include "Frames.h"

#include "Crc.h"

#include <algorithm>

namespace r8 {

void SealCommandFrame(CommandFrame& frame, uint8_t header) {
    frame[0] = header;
    frame[16] = ETX;
    uint16_t crc = FrameCrc(frame.data() + 1, 16);
    frame[17] = static_cast<uint8_t>(crc >> 8);
    frame[18] = static_cast<uint8_t>(crc & 0xFF);
}

CommandFrame MakeStxFrame(const uint8_t* payload, size_t n) {
    CommandFrame f{};
    std::copy_n(payload, std::min(n, kPayloadSize), f.begin() + 1);
    SealCommandFrame(f);
    return f;
}

const char* ControlName(uint8_t byte) {
    switch (byte) {
    case NUL:
        return "NUL";
    case SOH:
        return "SOH";
    case STX:
        return "STX";
    case ETX:
        return "ETX";
    case EOT:
        return "EOT";
    case ENQ:
        return "ENQ";
    case ACK:
        return "ACK";
    case DC1:
        return "DC1";
    case NAK:
        return "NAK";
    case SYN:
        return "SYN";
    default:
        return nullptr;
    }
}

} // namespace r8
