// SPDX-License-Identifier: MIT
// The Telnet COM-PORT-OPTION client: what it sends to set the line, what it answers to the
// server's negotiation, and what it takes out of the server's stream; network port names.
#include "NetAddress.h"
#include "Rfc2217.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace r8 {
namespace {

using namespace rfc2217;
using Bytes = std::vector<uint8_t>;

struct Fed {
    Bytes data, replies;
};

// Fed whole and fed one byte at a time, the decoder must give the same.
Fed FeedBoth(Decoder& whole, const Bytes& in) {
    Fed a, b;
    whole.Feed(in.data(), in.size(), a.data, a.replies);
    Decoder split;
    for (uint8_t c : in)
        split.Feed(&c, 1, b.data, b.replies);
    EXPECT_EQ(a.data, b.data);
    EXPECT_EQ(a.replies, b.replies);
    EXPECT_EQ(whole.ModemState(), split.ModemState());
    EXPECT_EQ(whole.ComPortState(), split.ComPortState());
    return a;
}

TEST(Rfc2217, TheClientSetsTheLineTo9600_8N1WithHardwareHandshakeAndAsksForTheModemLines) {
    EXPECT_EQ(Offer(), (Bytes{IAC, WILL, 44}));
    EXPECT_EQ(LineRequests(LineRequest{}),
              (Bytes{IAC, SB, 44, 1,  0,    0,   0x25, 0x80, IAC, SE, // 9600 bit/s
                     IAC, SB, 44, 2,  8,    IAC, SE,                  // 8 data bits
                     IAC, SB, 44, 3,  1,    IAC, SE,                  // no parity
                     IAC, SB, 44, 4,  1,    IAC, SE,                  // 1 stop bit
                     IAC, SB, 44, 5,  3,    IAC, SE,                  // RTS/CTS
                     IAC, SB, 44, 5,  8,    IAC, SE,                  // DTR on
                     IAC, SB, 44, 11, 0xF0, IAC, SE}));
    // A value byte 0xFF is doubled inside a request as in data.
    LineRequest odd;
    odd.baud = 0x0001C2FF;
    const Bytes r = LineRequests(odd);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 11),
              (Bytes{IAC, SB, 44, 1, 0, 1, 0xC2, IAC, IAC, IAC, SE}));

    Bytes out;
    const Bytes data{0x02, 0xFF, 0x03, 0xFF, 0xFF};
    AppendEscaped(data.data(), data.size(), out);
    EXPECT_EQ(out, (Bytes{0x02, 0xFF, 0xFF, 0x03, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Rfc2217, DataComesOutWithoutTelnetCommandsAndWithSingle0xFF) {
    struct Case {
        const char* what;
        Bytes in, data;
    };
    const Case cases[] = {
        {"plain", {0x06, 0x02, 0x41}, {0x06, 0x02, 0x41}},
        {"doubled FF", {0x03, 0xFF, 0xFF, 0x06}, {0x03, 0xFF, 0x06}},
        {"NOP and GA dropped", {0x01, IAC, 241, 0x02, IAC, 249, 0x03}, {0x01, 0x02, 0x03}},
        {"subnegotiation dropped", {0x05, IAC, SB, 44, 107, 0x30, IAC, SE, 0x06}, {0x05, 0x06}},
        {"FF inside a subnegotiation",
         {IAC, SB, 44, 101, 0, 0, IAC, IAC, 0x10, IAC, SE, 0x15},
         {0x15}},
        {"overlong subnegotiation skipped whole",
         [] {
             Bytes b(4 + 200 + 3, 0x20); // filled in place: GCC 12 misreads an insert at -O3
             const uint8_t head[] = {IAC, SB, 44, 107}, tail[] = {IAC, SE, 0x04};
             std::copy(std::begin(head), std::end(head), b.begin());
             std::copy(std::begin(tail), std::end(tail), b.end() - 3);
             return b;
         }(),
         {0x04}},
    };
    for (const Case& c : cases) {
        Decoder d;
        EXPECT_EQ(FeedBoth(d, c.in).data, c.data) << c.what;
    }
}

TEST(Rfc2217, NegotiationTakesBinaryAndGoAheadRefusesTheRestAndNeverLoops) {
    struct Case {
        const char* what;
        Bytes in, replies;
        Decoder::ComPort comPort;
    };
    const Case cases[] = {
        // What ser2net sends on connecting.
        {"server greeting",
         {IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,  IAC, DONT,
          1,   IAC,  DO, 0,   IAC, WILL, 0,   IAC,  DO, 44},
         {IAC, DO, 3, IAC, WILL, 3, IAC, DONT, 1, IAC, WILL, 0, IAC, DO, 0},
         Decoder::ComPort::Agreed},
        {"a repeated request is answered once",
         {IAC, DO, 0, IAC, DO, 0},
         {IAC, WILL, 0},
         Decoder::ComPort::Pending},
        {"unknown options refused",
         {IAC, DO, 24, IAC, WILL, 31},
         {IAC, WONT, 24, IAC, DONT, 31},
         Decoder::ComPort::Pending},
        {"refusals of what we never had get no answer",
         {IAC, WONT, 1, IAC, DONT, 3},
         {},
         Decoder::ComPort::Pending},
        {"withdrawn binary acknowledged",
         {IAC, DO, 0, IAC, DONT, 0},
         {IAC, WILL, 0, IAC, WONT, 0},
         Decoder::ComPort::Pending},
        {"COM-PORT-OPTION refused", {IAC, DONT, 44}, {}, Decoder::ComPort::Refused},
        // A command cuts a subnegotiation off: the command counts, its option byte is no data.
        {"cut-off subnegotiation",
         {IAC, SB, 44, 107, 0x30, IAC, WILL, 6},
         {IAC, DONT, 6},
         Decoder::ComPort::Pending},
    };
    for (const Case& c : cases) {
        Decoder d;
        const Fed f = FeedBoth(d, c.in);
        EXPECT_EQ(f.replies, c.replies) << c.what;
        EXPECT_TRUE(f.data.empty()) << c.what;
        EXPECT_EQ(d.ComPortState(), c.comPort) << c.what;
    }
}

TEST(Rfc2217, TheServersAnswersAndModemStateAreKept) {
    Decoder d;
    EXPECT_EQ(d.ModemState(), -1);
    EXPECT_EQ(d.Answered(kSetBaudRate), -1);
    FeedBoth(d, {IAC, SB,  44,  107, 0x00, IAC, SE,  IAC, SB,  44,  101, 0,    0,   0x25, 0x80,
                 IAC, SE,  IAC, SB,  44,   102, 8,   IAC, SE,  IAC, SB,  44,   103, 1,    IAC,
                 SE,  IAC, SB,  44,  104,  1,   IAC, SE,  IAC, SB,  44,  105,  3,   IAC,  SE,
                 IAC, SB,  44,  105, 8,    IAC, SE,  IAC, SB,  44,  107, 0x30, IAC, SE});
    EXPECT_EQ(d.Answered(kSetBaudRate), 9600);
    EXPECT_EQ(d.Answered(kSetDataSize), 8);
    EXPECT_EQ(d.Answered(kSetParity), 1);
    EXPECT_EQ(d.Answered(kSetStopSize), 1);
    EXPECT_EQ(d.Answered(kSetControl), 3); // the DTR answer does not replace the handshake
    EXPECT_EQ(d.ModemState(), 0x30);
}

TEST(NetAddress, NamesOfNetworkPorts) {
    struct Case {
        const char* name;
        bool good;
        NetAddress::Kind kind;
        const char* host;
        uint16_t port;
    };
    using K = NetAddress::Kind;
    const Case cases[] = {
        {"socket://127.0.0.1:4001", true, K::Raw, "127.0.0.1", 4001},
        {"rfc2217://serial-box.lan:2217", true, K::Rfc2217, "serial-box.lan", 2217},
        {"socket://[::1]:65535", true, K::Raw, "::1", 65535},
        {"socket://localhost:0", false, K::Raw, "", 0},
        {"socket://localhost:65536", false, K::Raw, "", 0},
        {"socket://localhost", false, K::Raw, "", 0},
        {"socket://:4001", false, K::Raw, "", 0},
        {"socket://::1:4001", false, K::Raw, "", 0},
        {"socket://host:40x1", false, K::Raw, "", 0},
        {"socket://ho st:4001", false, K::Raw, "", 0},
        {"rfc2217://host:4001?logging=debug", false, K::Rfc2217, "", 0},
        {"/dev/ttyUSB0", false, K::Raw, "", 0},
    };
    for (const Case& c : cases) {
        const auto a = ParseNetAddress(c.name);
        ASSERT_EQ(a.has_value(), c.good) << c.name;
        EXPECT_EQ(IsNetworkName(c.name), std::string(c.name).find("://") != std::string::npos);
        if (!a) continue;
        EXPECT_EQ(a->kind, c.kind) << c.name;
        EXPECT_EQ(a->host, c.host) << c.name;
        EXPECT_EQ(a->port, c.port) << c.name;
    }
    EXPECT_EQ(NetFailureText("socket://h:1", ECONNREFUSED), "socket://h:1: connection refused.");
    EXPECT_EQ(NetFailureText("socket://h:1", EHOSTUNREACH), "socket://h:1: host unreachable.");
    EXPECT_EQ(NetFailureText("socket://h:1", kNameNotResolved), "socket://h:1: name not resolved.");
}

} // namespace
} // namespace r8
