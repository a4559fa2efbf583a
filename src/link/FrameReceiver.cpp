// SPDX-License-Identifier: MIT
#include "FrameReceiver.h"

#include "Crc.h"

#include <algorithm>

namespace r8 {

int FrameReceiver::r_data(int b) {
    int result = kNothing;
    const auto byte = static_cast<uint8_t>(b);
    switch (RxState) {
    case 0:
        switch (byte) {
        case NUL:
        case EOT:
        case ENQ:
        case ACK:
        case DC1:
        case NAK:
        case SYN:
            result = byte;
            break;
        case SOH:
        case STX:
            ReceivedLength = 0;
            Partial[ReceivedLength++] = byte;
            RxState = 1;
            break;
        default:
            break;
        }
        break;
    case 1: {
        Partial[ReceivedLength++] = byte;
        const int payloadEnd = Partial[0] == SOH ? 1 + kSohAnswerPayload : 1 + kStxAnswerPayload;
        if (ReceivedLength == payloadEnd) RxState = 2;
        break;
    }
    case 2:
        if (byte == ETX) {
            Partial[ReceivedLength++] = byte;
            EtxCopy = static_cast<int8_t>(byte);
            RxState = 3;
        } else {
            RxState = 0; // the frame is dropped; the next header starts afresh
            ++BadFrames;
            if (OnFramingError) OnFramingError();
        }
        break;
    case 3:
        ReceivedCrc = static_cast<uint16_t>(byte << 8);
        RxState = 4;
        break;
    case 4: {
        ReceivedCrc |= byte;
        const size_t covered = Partial[0] == SOH ? kSohAnswerPayload + 1 : kStxAnswerPayload + 1;
        if (FrameCrc(Partial.data() + 1, covered) == ReceivedCrc) {
            std::copy_n(Partial.begin(), covered + 1, RecvFrame.begin());
            ++GoodFrames;
            result = EtxCopy;
            RxState = 5;
        } else {
            RxState = 0;
            ++BadFrames;
            if (OnBadCrc) OnBadCrc();
        }
        break;
    }
    case 5:
        result = b;
        RxState = 0;
        break;
    default:
        break;
    }
    return result;
}

} // namespace r8
