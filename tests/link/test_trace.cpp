// SPDX-License-Identifier: MIT
// The traffic trace as text: what a service engineer reads for each unit on the line.
#include "Crc.h"
#include "FakePort.h"
#include "Frames.h"
#include "HexBytes.h"
#include "HexText.h"
#include "Trace.h"
#include "TracingPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace r8;

namespace {

using test::Bytes;

const std::string kZeros13 = "00 00 00 00 00 00 00 00 00 00 00 00 00";

// A trace whose clock stands at 1.234 s past a whole minute and whose lines are collected
// without the time of day.
struct Collected {
    std::vector<std::string> lines;
    Trace trace{
        [] { return std::chrono::system_clock::time_point(std::chrono::milliseconds(1234)); }};
    Collected() {
        trace.AddSink([this](const std::string& line) {
            EXPECT_EQ(line.substr(5, 8), ":01.234 ") << line;
            lines.push_back(line.substr(13));
        });
    }
};

struct Step {
    enum Kind { Sent, Received, ReceiveEnded, Flush } kind;
    std::string hex;
};

TEST(Trace, OneLinePerUnitBothWays) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> lines;
    } cases[] = {
        {"control bytes by name",
         {{Step::Sent, "05"}, {Step::Received, "06 15 11"}, {Step::Sent, "04"}},
         {"-> ENQ", "<- ACK", "<- NAK", "<- DC1", "-> EOT"}},
        {"command frame with a good CRC",
         {{Step::Sent, "02 21 20 " + kZeros13 + " 03 51 B8"}},
         {"-> STX 21 20 " + kZeros13 + " ETX CRC 51B8 good"}},
        {"answer in pieces, good CRC, then the byte after it",
         {{Step::Received, "02 21 20 00"},
          {Step::ReceiveEnded, ""},
          {Step::Received, "00 00 00 00 00 00 00 00 00 00 00 00 03 51"},
          {Step::Received, "B8"},
          {Step::Sent, "06"},
          {Step::Received, "FF"}},
         {"<- STX 21 20 " + kZeros13 + " ETX CRC 51B8 good", "-> ACK", "<- trailer FF"}},
        {"answer with a bad CRC: the byte after it is noise",
         {{Step::Received, "02 21 20 " + kZeros13 + " 03 51 47 FF"}, {Step::ReceiveEnded, ""}},
         {"<- STX 21 20 " + kZeros13 + " ETX CRC 5147 bad, expected 51B8", "<- noise FF"}},
        {"noise ends at a control byte, at a frame and at the end of a receive",
         {{Step::Received, "07 41 9F 06 80 02 21 20 " + kZeros13 + " 03 51 B8 FF 7E"},
          {Step::ReceiveEnded, ""}},
         {"<- noise 07 41 9F", "<- ACK", "<- noise 80",
          "<- STX 21 20 " + kZeros13 + " ETX CRC 51B8 good", "<- trailer FF", "<- noise 7E"}},
        {"a frame without its ETX ends there",
         {{Step::Received, "02 A0 " + kZeros13 + " 00 7F 06"}},
         {"<- STX A0 " + kZeros13 + " 00 7F instead of ETX", "<- ACK"}},
        {"short answer frame",
         {{Step::Received, "01 A0 1E 03 00 00"}},
         {"<- SOH A0 1E ETX CRC 0000 bad, expected " +
          HexWord(FrameCrc(Bytes("A0 1E 03").data(), 3))}},
        {"a frame cut short by the port closing",
         {{Step::Received, "02 A0 0A"}, {Step::ReceiveEnded, ""}, {Step::Flush, ""}},
         {"<- STX A0 0A cut short after 3 bytes"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Collected t;
        for (const Step& s : c.steps) {
            const auto b = Bytes(s.hex);
            switch (s.kind) {
            case Step::Sent:
                t.trace.Sent(b.data(), b.size());
                break;
            case Step::Received:
                t.trace.Received(b.data(), b.size());
                break;
            case Step::ReceiveEnded:
                t.trace.ReceiveEnded();
                break;
            case Step::Flush:
                t.trace.Flush();
                break;
            }
        }
        EXPECT_EQ(t.lines, c.lines);
    }
}

TEST(Trace, BlockFrameWrittenInPiecesIsOneLineWithEveryByte) {
    Collected t;
    BlockFrameBytes block{};
    block[0] = SOH;
    block[1] = kBlockKind2048;
    for (size_t i = 0; i < kBlockDataSize; ++i)
        block[2 + i] = static_cast<uint8_t>(i);
    block[kBlockFrameSize - 3] = ETX;
    const uint16_t crc = FrameCrc(block.data() + 1, kBlockDataSize + 2);
    block[kBlockFrameSize - 2] = static_cast<uint8_t>(crc >> 8);
    block[kBlockFrameSize - 1] = static_cast<uint8_t>(crc);
    t.trace.Sent(block.data(), 2);
    for (size_t at = 2; at < kBlockFrameSize - 3; at += 512)
        t.trace.Sent(block.data() + at, 512);
    t.trace.Sent(block.data() + kBlockFrameSize - 3, 3);
    ASSERT_EQ(t.lines.size(), 1u);
    const std::string& line = t.lines[0];
    EXPECT_EQ(line.substr(0, 21), "-> SOH 75 00 01 02 03");
    EXPECT_EQ(line.size(), std::string("-> SOH 75").size() + 3 * kBlockDataSize +
                               std::string(" ETX CRC 0000 good").size());
    const std::string end = "FE FF ETX CRC " + HexWord(crc) + " good";
    EXPECT_EQ(line.substr(line.size() - end.size()), end);
}

TEST(Trace, TracingPortShowsBothWaysAndThePortsLife) {
    test::FakePort fake;
    Collected t;
    TracingPort port(fake, t.trace);
    int handled = 0;
    port.OnCommReceive = [&](SerialPort& p, uint16_t size) {
        EXPECT_EQ(&p, &port);
        uint8_t b[8];
        handled += static_cast<int>(p.Read(b, size));
    };
    SetPortPath(7, "/dev/r8-trace-test");
    fake.port = 7;
    port.Open();
    const uint8_t enq = ENQ;
    port.Write(&enq, 1);
    fake.Deliver({ACK, 0x55});
    fake.failWrite = true;
    EXPECT_THROW(port.Write(&enq, 1), ECommError);
    fake.Deliver({STX, 0xA0});
    port.Close();
    EXPECT_EQ(handled, 4);
    EXPECT_EQ(t.lines,
              (std::vector<std::string>{
                  "== open /dev/r8-trace-test", "-> ENQ", "<- ACK", "<- noise 55", "-> ENQ",
                  std::string("== write failed: ") + ECommReadWriteError(-4).what(),
                  "<- STX A0 cut short after 2 bytes", "== close"}));
}

} // namespace
