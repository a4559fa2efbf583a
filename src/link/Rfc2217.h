// SPDX-License-Identifier: MIT
#pragma once
// The client side of Telnet with the COM-PORT-OPTION (RFC 2217), as much as a serial device
// server needs: the requests that set the line, 0xFF doubled in data, and a decoder of what the
// server sends (data, option negotiation, the answers to the requests and its modem-state
// notifications). No I/O: the network port feeds it and sends what it asks for.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace r8::rfc2217 {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;
// Client requests (the server answers with the same code + 100).
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                  kSetControl = 5, kSetModemStateMask = 11;
constexpr uint8_t kNotifyModemState = 7;
constexpr uint8_t kServerOffset = 100;
constexpr uint8_t kModemDsr = 0x20;
// Modem-state bits of the lines themselves (CD, RI, DSR, CTS); the low four are deltas.
constexpr uint8_t kModemLines = 0xF0;

struct LineRequest {
    uint32_t baud = 9600;
    uint8_t dataSize = 8;
    uint8_t parity = 1;   // 1 none, 2 odd, 3 even, 4 mark, 5 space
    uint8_t stopSize = 1; // 1 one, 2 two, 3 one and a half
    uint8_t control = 3;  // 1 none, 2 XON/XOFF, 3 hardware (RTS/CTS)
};

// Appends data with every 0xFF doubled.
void AppendEscaped(const uint8_t* data, size_t n, std::vector<uint8_t>& out);
// IAC WILL COM-PORT-OPTION: what the client sends first.
std::vector<uint8_t> Offer();
// The requests that set the line, raise DTR and ask for DSR notifications.
std::vector<uint8_t> LineRequests(const LineRequest& line);

class Decoder {
public:
    enum class ComPort { Pending, Agreed, Refused };

    // Feeds bytes received from the server: data bytes (0xFF undoubled) are appended to data;
    // what the client answers to the server's negotiation is appended to replies.
    void Feed(const uint8_t* in, size_t n, std::vector<uint8_t>& data,
              std::vector<uint8_t>& replies);

    ComPort ComPortState() const { return comPort_; }
    // The server's last modem-state notification; -1 before the first one.
    int ModemState() const { return modemState_; }
    // The server's answer to a request (kSetBaudRate .. kSetControl): the value it reports,
    // -1 before an answer. The baud rate is the 32-bit value.
    int64_t Answered(uint8_t request) const;

private:
    enum class State { Data, Iac, Option, Sub, SubIac };
    void command(uint8_t c, std::vector<uint8_t>& data);
    void option(uint8_t verb, uint8_t opt, std::vector<uint8_t>& replies);
    void subnegotiation();

    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::vector<uint8_t> sub_;
    bool subOverflow_ = false;
    ComPort comPort_ = ComPort::Pending;
    int modemState_ = -1;
    std::array<int64_t, 6> answered_{-1, -1, -1, -1, -1, -1};
    // Options agreed, so that a repeated request is not answered again (no negotiation loop).
    std::array<bool, 256> weDo_{};
    std::array<bool, 256> theyDo_{};
};

} // namespace r8::rfc2217
