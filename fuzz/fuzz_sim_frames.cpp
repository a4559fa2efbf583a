// SPDX-License-Identifier: MIT
// The simulated camera's receiver: any bytes at any pace split into well-formed units, and
// nothing is lost but the one byte that breaks a frame.
//
// Input: byte 0 seeds the pauses between bytes (most short, some beyond the gap); the rest are
// the bytes on the line.
#include "Crc.h"
#include "FrameParser.h"
#include "Frames.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using r8::sim::RxUnit;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

bool IsControl(uint8_t b) {
    return b == r8::NUL || b == r8::EOT || b == r8::ENQ || b == r8::ACK || b == r8::DC1 ||
           b == r8::NAK || b == r8::SYN;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint32_t seed = data[0] * 2654435761u + 1;
    ++data;
    --size;

    r8::sim::FrameParser parser;
    std::vector<RxUnit> units;
    auto now = r8::sim::Clock::time_point{} + std::chrono::hours(1);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t r = seed >> 16;
        // One pause in 32 is beyond the gap; the others are a byte time or so.
        now += r % 32 == 0 ? r8::sim::FrameParser::kGap + std::chrono::milliseconds(r % 7)
                           : std::chrono::microseconds(r % 2000);
        parser.Feed(data[i], now, units);
        if (const auto deadline = parser.Deadline()) Check(*deadline > now);
    }
    if (parser.Deadline()) {
        const auto end = *parser.Deadline();
        Check(!parser.Expire(end - std::chrono::nanoseconds(1)));
        const auto gone = parser.Expire(end);
        Check(gone && gone->kind == RxUnit::Kind::Abandoned);
        units.push_back(*gone);
    }
    Check(!parser.Deadline());

    size_t accounted = 0, broken = 0;
    for (const RxUnit& u : units) {
        Check(!u.bytes.empty());
        accounted += u.bytes.size();
        const uint8_t head = u.bytes[0];
        switch (u.kind) {
        case RxUnit::Kind::Control:
            Check(u.bytes.size() == 1 && IsControl(head));
            break;
        case RxUnit::Kind::Ignored:
            Check(u.bytes.size() == 1 && !IsControl(head) && head != r8::STX && head != r8::SOH);
            break;
        case RxUnit::Kind::Command:
            Check(head == r8::STX && u.bytes.size() == r8::kCommandFrameSize);
            Check(u.bytes[16] == r8::ETX);
            break;
        case RxUnit::Kind::Block:
            Check(head == r8::SOH && u.bytes.size() >= 2);
            Check(u.bytes.size() == r8::BlockDataLength(u.bytes[1]) + 5);
            Check(u.bytes[u.bytes.size() - 3] == r8::ETX);
            break;
        case RxUnit::Kind::Broken:
            ++broken;
            Check(head == r8::STX || head == r8::SOH);
            break;
        case RxUnit::Kind::Abandoned:
            Check(head == r8::STX || head == r8::SOH);
            break;
        }
        if (u.kind == RxUnit::Kind::Command || u.kind == RxUnit::Kind::Block) {
            const size_t n = u.bytes.size();
            Check(u.crcOk == (r8::FrameCrc(u.bytes.data() + 1, n - 3) ==
                              (u.bytes[n - 2] << 8 | u.bytes[n - 1])));
        }
    }
    // Every byte is in a unit, except the byte in the ETX place of a broken frame.
    Check(accounted <= size && accounted + broken >= size);
    return 0;
}
