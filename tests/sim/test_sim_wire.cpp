// SPDX-License-Identifier: MIT
// The camera on its pseudo-terminal, byte for byte, as the tool's serial port sees it.
#include "Crc.h"
#include "LineClient.h"
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>

namespace r8::sim::test {
namespace {

constexpr int kShortQuietMs = 200;

struct Line {
    explicit Line(SimOptions o = {}) : sim(std::move(o)) {
        sim.Start();
        client = std::make_unique<LineClient>(sim.SlavePath());
    }
    CameraSim sim;
    std::unique_ptr<LineClient> client;
};

// Checks an answer frame with its trailing byte and returns A1..A15.
std::vector<uint8_t> AnswerOf(const Bytes& bytes, uint8_t trailer = 0xFF) {
    EXPECT_EQ(bytes.size(), kCommandFrameSize + 1);
    if (bytes.size() != kCommandFrameSize + 1) return {};
    EXPECT_EQ(bytes[0], STX);
    EXPECT_EQ(bytes[16], ETX);
    EXPECT_EQ(FrameCrc(bytes.data() + 1, 16), bytes[17] << 8 | bytes[18]) << "answer CRC";
    EXPECT_EQ(bytes[19], trailer);
    return {bytes.begin() + 1, bytes.begin() + 16};
}

Bytes Block(uint8_t fill) {
    Bytes b = {SOH, kBlockKind2048};
    for (size_t i = 0; i < kBlockDataSize; ++i)
        b.push_back(static_cast<uint8_t>(i % 2 ? fill : i / 2));
    b.push_back(ETX);
    uint16_t crc = FrameCrc(b.data() + 1, b.size() - 1);
    b.push_back(static_cast<uint8_t>(crc >> 8));
    b.push_back(static_cast<uint8_t>(crc));
    return b;
}

TEST(Wire, EnqIsAcknowledged) {
    Line l;
    l.client->Send({ENQ});
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    l.client->Send({EOT});
    EXPECT_TRUE(l.sim.WaitReceived(2, kPatienceMs));
    EXPECT_EQ(l.sim.Received(), (std::vector<Bytes>{{ENQ}, {EOT}}));
}

TEST(Wire, ReadOfEepromWordZero) {
    Line l;
    Bytes cmd = Cmd({0x31, 0x0C, 0x00, 0x00});
    l.client->Send(cmd);
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    auto a = AnswerOf(l.client->Read(20));
    ASSERT_EQ(a.size(), 15u);
    EXPECT_EQ(a[0], 0xA0);
    EXPECT_EQ(a[1], 0x0C);
    EXPECT_EQ(a[2] << 8 | a[3], 0x0000);
    l.sim.WithModel([&](CameraModel& m) { EXPECT_EQ(a[4] << 8 | a[5], m.EepromWord(0)); });
    l.client->Send({ACK});
    EXPECT_TRUE(l.sim.WaitReceived(2, kPatienceMs));
    EXPECT_EQ(l.sim.Received().front(), cmd);
    ASSERT_EQ(l.sim.Commands().size(), 1u);
    EXPECT_EQ(l.sim.Commands()[0][1], 0x0C);
    EXPECT_TRUE(l.client->QuietFor(kShortQuietMs)) << "nothing answers the tool's ACK";
}

TEST(Wire, PresetEnterAndPlainResetGetOnlyTheAck) {
    Line l;
    for (Bytes cmd : {Cmd({0x21, 0x20, 0x00}), Cmd({0xF1})}) {
        l.client->Send(cmd);
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_TRUE(l.client->QuietFor(kShortQuietMs));
    }
    // 21 20 01 is a different command and is answered.
    l.client->Send(Cmd({0x21, 0x20, 0x01}));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    EXPECT_EQ(AnswerOf(l.client->Read(20)).at(0), 0xA0);
}

TEST(Wire, BlockThenReset) {
    Line l;
    l.client->Send(Block(0x3C));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    auto a = AnswerOf(l.client->Read(20));
    ASSERT_EQ(a.size(), 15u);
    EXPECT_EQ(a[0], 0xA0);
    l.client->Send({ACK});
    l.client->Send(Cmd({0xF1}));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    EXPECT_EQ(AnswerOf(l.client->Read(20)).at(0), 0xA0);
    ASSERT_TRUE(l.sim.WaitReceived(3, kPatienceMs));
    EXPECT_EQ(l.sim.Received()[0].size(), kBlockFrameSize);
    l.sim.WithModel([](CameraModel& m) {
        EXPECT_EQ(m.EepromWord(0x123), 0x3C00 | 0x23);
        EXPECT_EQ(m.Register(0x23), 0x3C23);
    });
}

TEST(Wire, BadFramesAreRefusedWithNak) {
    Line l;
    Bytes cmd = Cmd({0x31, 0x0A, 0x01});
    cmd[17] ^= 0x01;
    l.client->Send(cmd);
    EXPECT_EQ(l.client->Read(1), Bytes{NAK});
    EXPECT_TRUE(l.client->QuietFor(kShortQuietMs));
    Bytes block = Block(0);
    block.back() ^= 0x40;
    l.client->Send(block);
    EXPECT_EQ(l.client->Read(1), Bytes{NAK});
    Bytes noEtx = Cmd({0x31, 0x0A, 0x01});
    noEtx[16] = 0x00;
    l.client->Send(noEtx);
    EXPECT_EQ(l.client->Read(1), Bytes{NAK});
    // The line recovers: the next good frame is served.
    l.client->Send(Cmd({0x31, 0x0A, 0x01}));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    EXPECT_EQ(AnswerOf(l.client->Read(20)).at(0), 0xA0);
}

TEST(Wire, NakFromTheToolRepeatsTheLastAnswer) {
    Line l;
    l.client->Send(Cmd({0x31, 0x1A, 0x01}));
    ASSERT_EQ(l.client->Read(1), Bytes{ACK});
    Bytes first = l.client->Read(20);
    AnswerOf(first);
    l.client->Send({NAK});
    EXPECT_EQ(l.client->Read(20), first);
    l.client->Send({NAK});
    EXPECT_EQ(l.client->Read(20), first);
}

TEST(Wire, InjectedFaults) {
    SimOptions o;
    o.corruptEvery = 2;
    o.dropEvery = 3;
    o.noiseEvery = 5;
    Line l(o);
    auto ask = [&] {
        l.client->Send(Cmd({0x31, 0x0A, 0x01}));
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    };
    ask(); // 1: good
    AnswerOf(l.client->Read(20));
    ask(); // 2: CRC corrupted
    Bytes bad = l.client->Read(20);
    ASSERT_EQ(bad.size(), 20u);
    EXPECT_NE(FrameCrc(bad.data() + 1, 16), bad[17] << 8 | bad[18]);
    l.client->Send({NAK}); // the repeat is good
    AnswerOf(l.client->Read(20));
    ask(); // 3: dropped
    EXPECT_TRUE(l.client->QuietFor(kShortQuietMs));
    ask(); // 4: corrupted again
    l.client->Read(20);
    ask(); // 5: noise, then the answer
    Bytes noisy = l.client->Read(23);
    ASSERT_EQ(noisy.size(), 23u);
    // Bytes that the tool's receiver would take as a frame start or report as control bytes.
    const std::set<uint8_t> seen = {NUL, SOH, STX, EOT, ENQ, ACK, DC1, NAK, SYN};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(seen.count(noisy[i]), 0u) << int(noisy[i]);
    AnswerOf(Bytes(noisy.begin() + 3, noisy.end()));
}

TEST(Wire, SilentStartIgnoresTheFirstEnq) {
    SimOptions o;
    o.silentStart = true;
    Line l(o);
    l.client->Send({ENQ});
    ASSERT_TRUE(l.sim.WaitReceived(1, kPatienceMs));
    EXPECT_TRUE(l.client->QuietFor(kShortQuietMs));
    l.client->Send({ENQ});
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
}

TEST(Wire, TrailerAndIdentityOptions) {
    SimOptions o;
    o.trailer = 0x5A;
    o.ntsc = true;
    o.hiRes = false;
    Line l(o);
    l.client->Send(Cmd({0x31, 0x60, 0x01}));
    ASSERT_EQ(l.client->Read(1), Bytes{ACK});
    auto a = AnswerOf(l.client->Read(20), 0x5A);
    ASSERT_EQ(a.size(), 15u);
    EXPECT_EQ(a[14] & 1, 0) << "NTSC";
}

TEST(Wire, TheToolMayCloseAndReopenThePort) {
    Line l;
    l.client.reset();
    l.client = std::make_unique<LineClient>(l.sim.SlavePath());
    l.client->Send({ENQ});
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    l.client.reset();
    l.client = std::make_unique<LineClient>(l.sim.SlavePath());
    l.client->Send(Cmd({0x31, 0x53}));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    EXPECT_EQ(AnswerOf(l.client->Read(20)).at(1), 0x53);
}

TEST(Wire, PacedLineStillServesEveryExchange) {
    SimOptions o;
    o.pace = true;
    Line l(o);
    l.client->Send({ENQ});
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    for (uint8_t k = 0; k < 3; ++k) {
        l.client->Send(Cmd({0x31, 0x60, k}));
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_EQ(AnswerOf(l.client->Read(20)).at(2), k);
        l.client->Send({ACK});
    }
    l.client->Send(Block(1));
    EXPECT_EQ(l.client->Read(1), Bytes{ACK});
    EXPECT_EQ(AnswerOf(l.client->Read(20)).at(0), 0xA0);
}

// Held replies: the camera carries every unit out at once, but sends nothing for it until the
// test releases it, unit by unit and in order, with or without pacing.
TEST(Wire, HeldRepliesWaitForTheirRelease) {
    for (bool pace : {false, true}) {
        SCOPED_TRACE(pace ? "paced" : "unpaced");
        SimOptions o;
        o.pace = pace;
        Line l(o);
        l.sim.Hold();
        Bytes broken = Cmd({0x31, 0x0A, 0x01});
        broken[17] ^= 0x01;
        l.client->Send({ENQ});
        l.client->Send(Cmd({0x31, 0x60, 0x00}));
        l.client->Send({ACK}); // gets no reply, so nothing is held for it
        l.client->Send(Cmd({0x21, 0x1A, 0x01, 0x05}));
        l.client->Send(broken);
        ASSERT_TRUE(l.sim.WaitHeld(4, kPatienceMs));
        EXPECT_EQ(l.sim.Received().size(), 5u);
        l.sim.WithModel([](CameraModel& m) { EXPECT_EQ(m.Get(Setting::Agc), 5); });
        EXPECT_TRUE(l.client->QuietFor(kShortQuietMs)) << "nothing before the release";

        l.sim.Release(1);
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_TRUE(l.client->QuietFor(kShortQuietMs)) << "one unit's reply only";
        EXPECT_EQ(l.sim.Held(), 3u);
        l.sim.Release();
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_EQ(AnswerOf(l.client->Read(20)).at(1), 0x60);

        l.sim.Resume();
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_EQ(AnswerOf(l.client->Read(20)).at(3), 5);
        EXPECT_EQ(l.client->Read(1), Bytes{NAK});
        EXPECT_EQ(l.sim.Held(), 0u);
        // No longer holding: served at once.
        l.client->Send({ENQ});
        EXPECT_EQ(l.client->Read(1), Bytes{ACK});
        EXPECT_EQ(l.sim.Held(), 0u);
    }
}

TEST(Wire, LinkPointsToTheSlaveUntilStop) {
    TempDir dir;
    SimOptions o;
    o.linkPath = dir.File("camera");
    {
        CameraSim sim(o);
        sim.Start();
        LineClient c(o.linkPath);
        c.Send({ENQ});
        EXPECT_EQ(c.Read(1), Bytes{ACK});
        sim.Stop();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(o.linkPath)));
    }
}

} // namespace
} // namespace r8::sim::test
