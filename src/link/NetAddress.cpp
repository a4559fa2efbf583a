// SPDX-License-Identifier: MIT
#include "NetAddress.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace r8 {

namespace {

constexpr std::string_view kRawScheme = "socket://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool hostCharOk(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':' || c == '%';
}

} // namespace

bool IsNetworkName(const std::string& name) {
    return name.starts_with(kRawScheme) || name.starts_with(kRfc2217Scheme);
}

std::optional<NetAddress> ParseNetAddress(const std::string& name) {
    NetAddress a;
    std::string_view rest;
    if (name.starts_with(kRawScheme)) {
        rest = std::string_view(name).substr(kRawScheme.size());
    } else if (name.starts_with(kRfc2217Scheme)) {
        a.kind = NetAddress::Kind::Rfc2217;
        rest = std::string_view(name).substr(kRfc2217Scheme.size());
    } else {
        return std::nullopt;
    }

    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":")
            return std::nullopt;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return std::nullopt; // IPv6 needs []
    }
    if (host.empty() || host.size() > 253 || port.empty() || port.size() > 5) return std::nullopt;
    for (char c : host)
        if (!hostCharOk(c)) return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc{} || end != port.data() + port.size() || value == 0 || value > 65535)
        return std::nullopt;
    a.host = std::string(host);
    a.port = static_cast<uint16_t>(value);
    return a;
}

namespace {

std::string causeText(const std::string& name, int cause) {
    switch (cause) {
    case 0:
        return name + ": connection closed by the server.";
    case kNameNotResolved:
        return name + ": name not resolved.";
    case kNameServerNoAnswer:
        return name + ": the name server did not answer; the host name was not resolved.";
    case kComPortRefused:
        return name + ": the server refused COM-PORT-OPTION (RFC 2217). For a raw TCP port use "
                      "socket://.";
    case kComPortNoAnswer:
        return name + ": the server did not answer COM-PORT-OPTION (RFC 2217). For a raw TCP "
                      "port use socket://.";
    case EINVAL:
        return name + ": not a network port name. Use socket://HOST:PORT or "
                      "rfc2217://HOST:PORT.";
    case ECONNREFUSED:
        return name + ": connection refused.";
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
        return name + ": host unreachable.";
    case ETIMEDOUT:
        return name + ": no answer from the host (timed out).";
    case ECONNRESET:
    case EPIPE:
        return name + ": connection reset.";
    default:
        return name + ": " + std::strerror(cause) + ".";
    }
}

} // namespace

std::string NetFailureText(const std::string& name, int cause, const std::string& said) {
    std::string text = causeText(name, cause);
    if (!said.empty()) text += " The server said: \"" + said + "\".";
    return text;
}

} // namespace r8
