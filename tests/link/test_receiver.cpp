// SPDX-License-Identifier: MIT
// The byte-level receive state machine, row by row.
#include "Crc.h"
#include "FrameReceiver.h"
#include "Frames.h"

#include <gtest/gtest.h>

#include <vector>

using namespace r8;

namespace {

std::vector<int> Feed(FrameReceiver& rx, const std::vector<uint8_t>& bytes) {
    std::vector<int> events;
    for (uint8_t b : bytes)
        events.push_back(rx.r_data(static_cast<int8_t>(b)));
    return events;
}

std::vector<uint8_t> Answer(std::vector<uint8_t> payload) {
    payload.resize(kStxAnswerPayload);
    auto f = MakeStxFrame(payload.data(), payload.size());
    return {f.begin(), f.end()};
}

// An SOH answer: SOH A1 A2 ETX CRC.
std::vector<uint8_t> ShortAnswer(uint8_t a1, uint8_t a2) {
    const uint8_t covered[] = {a1, a2, ETX};
    uint16_t crc = FrameCrc(covered, 3);
    return {SOH, a1, a2, ETX, static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
}

} // namespace

TEST(Receiver, ControlBytesReportedSingly) {
    FrameReceiver rx;
    for (uint8_t b : {NUL, EOT, ENQ, ACK, DC1, NAK, SYN}) {
        EXPECT_EQ(rx.r_data(b), b);
        EXPECT_EQ(rx.RxState, 0);
    }
}

TEST(Receiver, OtherBytesIgnoredInIdle) {
    FrameReceiver rx;
    for (int b : {0x03, 0x07, 0x41, 0x7F, 0x80, 0xFF}) {
        EXPECT_EQ(rx.r_data(static_cast<int8_t>(b)), -1) << b;
        EXPECT_EQ(rx.RxState, 0);
    }
}

TEST(Receiver, GoodStxFrameThenTrailingByte) {
    FrameReceiver rx;
    auto frame = Answer({0xA0, 0x0C, 0x00, 0x00, 0x12, 0x34});
    auto events = Feed(rx, frame);
    for (size_t i = 0; i + 1 < events.size(); ++i)
        EXPECT_EQ(events[i], -1) << i;
    EXPECT_EQ(events.back(), 3);
    EXPECT_EQ(rx.RecvFrame[1], 0xA0);
    EXPECT_EQ(rx.RecvFrame[5], 0x12);
    EXPECT_EQ(rx.RecvFrame[16], ETX);
    // The byte after a good frame is reported as itself, whatever it is...
    EXPECT_EQ(rx.r_data(0x41), 0x41);
    EXPECT_EQ(rx.RxState, 0);
    // ...except that bytes 0x80 and above come out negative and so report nothing.
    Feed(rx, frame);
    EXPECT_LT(rx.r_data(static_cast<int8_t>(0xFF)), 0);
    Feed(rx, frame);
    EXPECT_EQ(rx.r_data(ACK), ACK);
}

TEST(Receiver, ShortSohFrame) {
    FrameReceiver rx;
    auto events = Feed(rx, ShortAnswer(0xA0, 0x75));
    EXPECT_EQ(events.back(), 3);
    EXPECT_EQ(rx.RecvFrame[0], SOH);
    EXPECT_EQ(rx.RecvFrame[2], 0x75);
}

TEST(Receiver, HighCrcBytesComparedUnsigned) {
    // Find payloads whose CRC has a high byte and a low byte of 0x80 or more.
    FrameReceiver rx;
    int checked = 0;
    for (int v = 0; v < 256 && checked < 4; ++v) {
        auto frame = Answer({0xA0, 0x0A, 0x01, static_cast<uint8_t>(v)});
        if (frame[17] < 0x80 && frame[18] < 0x80) continue;
        EXPECT_EQ(Feed(rx, frame).back(), 3) << v;
        rx.r_data(0); // trailing byte
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(Receiver, BadCrcSendsNakAndResets) {
    FrameReceiver rx;
    int naks = 0;
    rx.OnBadCrc = [&] { ++naks; };
    auto frame = Answer({0xA0, 0x0A, 0x01});
    frame[18] ^= 0x01;
    auto events = Feed(rx, frame);
    EXPECT_EQ(events.back(), -1);
    EXPECT_EQ(naks, 1);
    EXPECT_EQ(rx.RxState, 0);
    // The next frame is received normally.
    EXPECT_EQ(Feed(rx, Answer({0xA0})).back(), 3);
}

TEST(Receiver, MissingEtxReportsFramingErrorAndRecovers) {
    FrameReceiver rx;
    int errors = 0;
    rx.OnFramingError = [&] { ++errors; };
    std::vector<uint8_t> broken(16, 0x11);
    broken[0] = STX;
    broken.push_back(0x55); // not ETX
    auto events = Feed(rx, broken);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(rx.RxState, 0);
    for (int e : events)
        EXPECT_EQ(e, -1);
    EXPECT_EQ(Feed(rx, Answer({0xA0})).back(), 3);
}

TEST(Receiver, ControlBytesInsideAFrameAreData) {
    FrameReceiver rx;
    auto frame = Answer({0xA0, ACK, NAK, ETX, EOT, STX, SOH});
    auto events = Feed(rx, frame);
    for (size_t i = 0; i + 1 < events.size(); ++i)
        EXPECT_EQ(events[i], -1) << i;
    EXPECT_EQ(events.back(), 3);
}
