// SPDX-License-Identifier: MIT
#pragma once
// Byte-level receive state machine: recognises single control bytes and checks answer frames.
#include "Frames.h"

#include <array>
#include <cstdint>
#include <functional>

namespace r8 {

class FrameReceiver {
public:
    // What r_data reports besides control bytes and the byte after a frame.
    static constexpr int kNothing = -1;
    static constexpr int kGoodFrame = ETX;

    // Feeds one received byte, taken sign-extended from the received character. Returns -1
    // (nothing to report), a control byte, 3 for a good frame just completed, or the byte
    // that follows a good frame (negative, so nothing, for bytes 0x80 and above).
    int r_data(int b);

    int8_t RxState = 0;
    // The last good frame: header at 0, A1..A15 (or A1, A2) from 1, then ETX. A frame is
    // gathered apart (Partial) and copied here once its CRC is good, so that a broken frame
    // or line noise never shows as an answer (an ACK that stands for one reads this).
    std::array<uint8_t, 1 + kStxAnswerPayload + 1> RecvFrame{};
    std::array<uint8_t, 1 + kStxAnswerPayload + 1> Partial{};
    int32_t ReceivedLength = 0; // bytes in Partial
    uint16_t ReceivedCrc = 0;
    int8_t EtxCopy = 0;
    // Frames counted as they end: good ones, and broken ones (no ETX, CRC differs).
    uint64_t GoodFrames = 0;
    uint64_t BadFrames = 0;

    std::function<void()> OnFramingError; // the byte after the payload is not ETX
    std::function<void()> OnBadCrc;       // a complete frame failed its CRC check

    const uint8_t* Answer() const { return RecvFrame.data() + 1; } // A1..
};

} // namespace r8
