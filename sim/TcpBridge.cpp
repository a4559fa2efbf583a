// SPDX-License-Identifier: MIT
#include "TcpBridge.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace r8::sim {

namespace {

constexpr size_t kMaxBuffered = 64 * 1024;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// Writes what it can of buf without waiting and drops that part.
bool flush(int fd, std::vector<uint8_t>& buf, bool socket) {
    while (!buf.empty()) {
        const ssize_t n = socket ? ::send(fd, buf.data(), buf.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : ::write(fd, buf.data(), buf.size());
        if (n > 0) {
            buf.erase(buf.begin(), buf.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

} // namespace

bool ParseListen(const std::string& text, std::string& host, uint16_t& port) {
    std::string_view portText = text;
    host = "127.0.0.1";
    if (text.starts_with('[')) {
        const size_t close = text.find("]:");
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        portText = std::string_view(text).substr(close + 2);
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        portText = std::string_view(text).substr(colon + 1);
    }
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), v);
    if (host.empty() || portText.empty() || ec != std::errc{} ||
        end != portText.data() + portText.size() || v > 65535)
        return false;
    port = static_cast<uint16_t>(v);
    return true;
}

TcpBridge::TcpBridge(std::string terminalPath, std::string host, uint16_t port)
    : terminalPath_(std::move(terminalPath)), host_(std::move(host)), port_(port) {}

TcpBridge::~TcpBridge() {
    Stop();
}

// The terminal is opened and locked as the tool locks a serial port, so that the network client
// and a tool on the terminal never share the line.
bool TcpBridge::openTerminal() {
    terminal_ = ::open(terminalPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal_ < 0) return false;
    termios t{};
    if (::flock(terminal_, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(terminal_, &t) != 0) {
        ::close(terminal_);
        terminal_ = -1;
        return false;
    }
    cfmakeraw(&t);
    ::tcsetattr(terminal_, TCSANOW, &t);
    ::tcflush(terminal_, TCIOFLUSH);
    return true;
}

void TcpBridge::Start() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    if (const int e = ::getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &list))
        throw std::runtime_error("listen on " + host_ + ": " + ::gai_strerror(e));
    std::string failure = "listen on " + host_;
    for (addrinfo* a = list; a && listen_ < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 4) == 0) {
            listen_ = fd;
            ipv6_ = a->ai_family == AF_INET6;
        } else {
            failure += std::string(": ") + std::strerror(errno);
            ::close(fd);
        }
    }
    ::freeaddrinfo(list);
    if (listen_ < 0) throw std::runtime_error(failure);
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&bound), &len);
    port_ = ntohs(ipv6_ ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);

    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0) throw systemError("eventfd");
    thread_ = std::thread([this] { Run(); });
}

void TcpBridge::Stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) < 0) std::perror("r8v5mc-sim: eventfd write");
        thread_.join();
    }
    for (int* fd : {&client_, &listen_, &terminal_, &wake_})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

std::string TcpBridge::Url() const {
    return "socket://" + (ipv6_ ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

void TcpBridge::dropClient() {
    ::close(client_);
    client_ = -1;
    ::close(terminal_);
    terminal_ = -1;
    toClient_.clear();
    toTerminal_.clear();
}

void TcpBridge::Run() {
    uint8_t buf[4096];
    for (;;) {
        pollfd fds[4] = {
            {wake_, POLLIN, 0}, {listen_, POLLIN, 0}, {terminal_, 0, 0}, {client_, 0, 0}};
        if (client_ >= 0) {
            if (toClient_.size() < kMaxBuffered) fds[2].events |= POLLIN;
            if (!toTerminal_.empty()) fds[2].events |= POLLOUT;
            if (toTerminal_.size() < kMaxBuffered) fds[3].events |= POLLIN;
            if (!toClient_.empty()) fds[3].events |= POLLOUT;
        }
        if (::poll(fds, client_ >= 0 ? 4 : 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("r8v5mc-sim: poll");
            return;
        }
        if (fds[0].revents) return;
        if (client_ >= 0) {
            if (fds[2].revents & POLLIN) {
                const ssize_t n = ::read(terminal_, buf, sizeof buf);
                if (n > 0) toClient_.insert(toClient_.end(), buf, buf + n);
            }
            if (fds[3].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
                if (n > 0) {
                    toTerminal_.insert(toTerminal_.end(), buf, buf + n);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    dropClient();
                }
            }
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            // A new client takes the line over: the old one has most likely gone without
            // saying so (a tool that reconnects, a network that failed).
            if (fd >= 0 && client_ >= 0) dropClient();
            if (fd >= 0 && !openTerminal()) {
                ::close(fd); // a tool has the terminal
            } else if (fd >= 0) {
                client_ = fd;
                const int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
        }
        if (client_ >= 0 && !flush(terminal_, toTerminal_, false)) toTerminal_.clear();
        if (client_ >= 0 && !flush(client_, toClient_, true)) dropClient();
    }
}

} // namespace r8::sim
