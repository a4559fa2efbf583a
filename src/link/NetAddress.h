// SPDX-License-Identifier: MIT
#pragma once
// Network ports: a device name "socket://HOST:PORT" is a raw TCP connection to a serial device
// server (the server sets the line); "rfc2217://HOST:PORT" speaks Telnet with the COM-PORT
// option, so the program sets the line itself. HOST is a name, an IPv4 address or an IPv6
// address in brackets ("[::1]").
#include <cstdint>
#include <optional>
#include <string>

namespace r8 {

struct NetAddress {
    enum class Kind { Raw, Rfc2217 };
    Kind kind = Kind::Raw;
    std::string host; // without brackets
    uint16_t port = 0;
};

// True when the name asks for a network port (it starts with "socket://" or "rfc2217://"),
// whether or not the rest is good.
bool IsNetworkName(const std::string& name);
// The address of a good network port name; nothing for anything else.
std::optional<NetAddress> ParseNetAddress(const std::string& name);

// Causes of a failed network connection beside the errno values of connect() and recv():
// the name server knows no address for the host name; the server refused COM-PORT-OPTION; the
// server never answered the offer of it; the name server did not answer in time.
constexpr int kNameNotResolved = -1001;
constexpr int kComPortRefused = -1002;
constexpr int kComPortNoAnswer = -1003;
constexpr int kNameServerNoAnswer = -1004;

// "NAME: what is wrong." for a network port that cannot be opened or was lost; cause is an
// errno, one of the constants above, or 0 for a connection the server closed. said: the line
// the server sent before it closed, if any, quoted after the cause.
std::string NetFailureText(const std::string& name, int cause, const std::string& said = {});

} // namespace r8
