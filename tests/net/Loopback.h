// SPDX-License-Identifier: MIT
#pragma once
// Loopback TCP sockets for the network tests' servers.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace r8::net::test {

inline sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A TCP socket bound to a free port of 127.0.0.1, listening for `backlog` clients unless it is
// 0 (then connections to it are refused); port gets the port's number.
inline int BindLoopback(uint16_t& port, int backlog, int flags = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    sockaddr_in a = LoopbackAddress(0);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    if (backlog > 0) ::listen(fd, backlog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace r8::net::test
