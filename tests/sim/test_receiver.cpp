// SPDX-License-Identifier: MIT
// The camera's receiver, driven with made-up arrival times, and the program's options.
#include "Crc.h"
#include "FrameParser.h"
#include "Frames.h"
#include "SimOptions.h"

#include <gtest/gtest.h>

namespace r8::sim::test {
namespace {

using namespace std::chrono_literals;
using K = RxUnit::Kind;

struct Fed {
    FrameParser parser;
    Clock::time_point t{};
    std::vector<RxUnit> out;
    void Feed(const std::vector<uint8_t>& bytes, Clock::duration gap = 1ms) {
        for (uint8_t b : bytes) {
            t += gap;
            parser.Feed(b, t, out);
        }
    }
};

std::vector<uint8_t> Frame(std::vector<uint8_t> payload) {
    CommandFrame f = MakeStxFrame(payload.data(), payload.size());
    return {f.begin(), f.end()};
}

TEST(Receiver, ControlBytesFramesAndNoise) {
    Fed f;
    auto cmd = Frame({0x31, 0x0C, 0x00, 0x00});
    f.Feed({ENQ, 0x07, 0x41, 0x9F, ETX});
    f.Feed(cmd);
    f.Feed({ACK, NAK, EOT});
    ASSERT_EQ(f.out.size(), 9u);
    EXPECT_EQ(f.out[0].kind, K::Control);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(f.out[i].kind, K::Ignored);
    EXPECT_EQ(f.out[5].kind, K::Command);
    EXPECT_TRUE(f.out[5].crcOk);
    EXPECT_EQ(f.out[5].bytes, cmd);
    EXPECT_EQ(f.out[8].bytes, std::vector<uint8_t>{EOT});
    // A paced camera answers from the time the unit's last byte arrived.
    EXPECT_EQ(f.out[0].at, Clock::time_point{} + 1ms);
    EXPECT_EQ(f.out[5].at, Clock::time_point{} + 5ms + 1ms * cmd.size());
}

TEST(Receiver, CrcIsChecked) {
    Fed f;
    auto cmd = Frame({0x21, 0x20, 0x00});
    ASSERT_EQ(cmd[17], 0x51);
    ASSERT_EQ(cmd[18], 0xB8);
    cmd[18] ^= 0x80;
    f.Feed(cmd);
    ASSERT_EQ(f.out.size(), 1u);
    EXPECT_EQ(f.out[0].kind, K::Command);
    EXPECT_FALSE(f.out[0].crcOk);
}

TEST(Receiver, BlockFramesOfEachKind) {
    for (uint8_t kind : {0x75, 0x73, 0x74}) {
        std::vector<uint8_t> block = {SOH, kind};
        for (size_t i = 0; i < BlockDataLength(kind); ++i)
            block.push_back(static_cast<uint8_t>(i * 3));
        block.push_back(ETX);
        uint16_t crc = FrameCrc(block.data() + 1, block.size() - 1);
        block.push_back(static_cast<uint8_t>(crc >> 8));
        block.push_back(static_cast<uint8_t>(crc));
        Fed f;
        f.Feed(block, 1us);
        ASSERT_EQ(f.out.size(), 1u);
        EXPECT_EQ(f.out[0].kind, K::Block);
        EXPECT_TRUE(f.out[0].crcOk);
        EXPECT_EQ(f.out[0].bytes.size(), BlockDataLength(kind) + 5);
    }
}

TEST(Receiver, AFrameWithoutEtxIsLostAndAFrameStartInItsPlaceBegins) {
    Fed f;
    auto cmd = Frame({0x31, 0x42});
    std::vector<uint8_t> broken(cmd.begin(), cmd.begin() + 16); // STX and 15 payload bytes
    f.Feed(broken);
    f.Feed(cmd);
    ASSERT_EQ(f.out.size(), 2u);
    EXPECT_EQ(f.out[0].kind, K::Broken);
    EXPECT_EQ(f.out[1].kind, K::Command);
    EXPECT_TRUE(f.out[1].crcOk);
}

TEST(Receiver, AFrameThatStallsIsGivenUpAfterTheGap) {
    Fed f;
    auto cmd = Frame({0x31, 0x0A, 0x01});
    f.Feed({cmd.begin(), cmd.begin() + 5});
    ASSERT_TRUE(f.parser.Deadline());
    EXPECT_EQ(*f.parser.Deadline(), f.t + FrameParser::kGap);
    EXPECT_FALSE(f.parser.Expire(f.t + FrameParser::kGap - 1ms));
    auto gone = f.parser.Expire(f.t + FrameParser::kGap);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->kind, K::Abandoned);
    EXPECT_EQ(gone->bytes.size(), 5u);
    EXPECT_FALSE(f.parser.Deadline());

    // A late byte ends the stalled frame too, and is then taken on its own.
    Fed g;
    g.Feed({cmd.begin(), cmd.begin() + 5});
    g.Feed({ENQ}, FrameParser::kGap + 1ms);
    ASSERT_EQ(g.out.size(), 2u);
    EXPECT_EQ(g.out[0].kind, K::Abandoned);
    EXPECT_EQ(g.out[1].kind, K::Control);
    // A pause just within the gap keeps the frame.
    Fed h;
    h.Feed({cmd.begin(), cmd.begin() + 5});
    h.Feed({cmd.begin() + 5, cmd.end()}, FrameParser::kGap - 1ms);
    ASSERT_EQ(h.out.size(), 1u);
    EXPECT_EQ(h.out[0].kind, K::Command);
}

TEST(Options, AllOptions) {
    SimArgs a = ParseSimArgs({"--tv", "ntsc", "--resolution=lo", "--pace", "--trace",
                              "--corrupt-every", "3", "--drop-every=4", "--noise-every", "5",
                              "--silent-start", "--eeprom", "x.dat", "--trailer", "0x5a", "--link",
                              "/tmp/cam", "--save-eeprom", "y.dat"});
    ASSERT_EQ(a.error, "");
    EXPECT_TRUE(a.options.ntsc);
    EXPECT_FALSE(a.options.hiRes);
    EXPECT_TRUE(a.options.pace && a.options.trace && a.options.silentStart);
    EXPECT_EQ(a.options.corruptEvery, 3);
    EXPECT_EQ(a.options.dropEvery, 4);
    EXPECT_EQ(a.options.noiseEvery, 5);
    EXPECT_EQ(a.options.eepromFile, "x.dat");
    EXPECT_EQ(a.options.saveEepromFile, "y.dat");
    EXPECT_EQ(a.options.trailer, 0x5A);
    EXPECT_EQ(a.options.linkPath, "/tmp/cam");
    EXPECT_TRUE(ParseSimArgs({"--help"}).help);
    SimArgs d = ParseSimArgs({});
    EXPECT_FALSE(d.options.ntsc);
    EXPECT_TRUE(d.options.hiRes);
    EXPECT_EQ(d.options.trailer, 0xFF);
    EXPECT_EQ(d.options.lensAdjustZeros, 2);
    EXPECT_EQ(ParseSimArgs({"--lens-adjust-zeros", "4"}).options.lensAdjustZeros, 4);
}

TEST(Options, BadArgumentsAreNamed) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"--tv", "secam"},
                                         {"--resolution"},
                                         {"--corrupt-every", "-1"},
                                         {"--drop-every", "2x"},
                                         {"--trailer", "100"},
                                         {"--trailer", "zz"},
                                         {"--pace=1"},
                                         {"--frobnicate"}}) {
        SimArgs a = ParseSimArgs(bad);
        EXPECT_NE(a.error, "") << bad[0];
    }
}

} // namespace
} // namespace r8::sim::test
