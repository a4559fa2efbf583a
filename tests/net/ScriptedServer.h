// SPDX-License-Identifier: MIT
#pragma once
// A loopback server that plays a part a serial device server can play badly: on each
// connection it sends a greeting, answers every piece the client sends with what reply()
// gives, and, if told, closes right after the greeting (a server that turns clients away with a
// line of text). With a stream cap it also keeps sending what reply({}) gives while the client
// reads, up to that many bytes per connection (a line that keeps sending noise). One client at
// a time; stops with the object.
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace r8::net::test {

class ScriptedServer {
public:
    using Bytes = std::vector<uint8_t>;

    ScriptedServer(Bytes greeting, std::function<Bytes(const Bytes&)> reply,
                   bool closeAfterGreeting, size_t streamCap = 0)
        : greeting_(std::move(greeting)), reply_(std::move(reply)), close_(closeAfterGreeting),
          streamCap_(streamCap) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listen_, 4);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        wake_ = ::eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedServer() {
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) < 0) {
        }
        thread_.join();
        for (int fd : {listen_, wake_, client_})
            if (fd >= 0) ::close(fd);
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::string Url(const std::string& scheme = "socket") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }
    uint16_t Port() const { return port_; }
    int Connections() const { return connections_; }

private:
    void send(const Bytes& b) {
        if (!b.empty()) ::send(client_, b.data(), b.size(), MSG_NOSIGNAL);
    }
    void run() {
        uint8_t buf[1024];
        for (;;) {
            const bool streaming = client_ >= 0 && streamed_ < streamCap_;
            pollfd fds[3] = {{wake_, POLLIN, 0},
                             {listen_, POLLIN, 0},
                             {client_, static_cast<short>(POLLIN | (streaming ? POLLOUT : 0)), 0}};
            if (::poll(fds, client_ >= 0 ? 3 : 2, -1) < 0) continue;
            if (fds[0].revents) return;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) continue;
                if (client_ >= 0) ::close(client_);
                client_ = fd;
                ++connections_;
                streamed_ = 0;
                send(greeting_);
                if (close_) {
                    ::shutdown(client_, SHUT_WR);
                    ::close(client_);
                    client_ = -1;
                }
                continue;
            }
            if (streaming && (fds[2].revents & POLLOUT)) {
                const Bytes more = reply_({});
                const ssize_t n =
                    ::send(client_, more.data(), more.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                streamed_ += n > 0 ? static_cast<size_t>(n) : more.size();
            }
            if (client_ >= 0 && (fds[2].revents & ~POLLOUT)) {
                const ssize_t n = ::recv(client_, buf, sizeof buf, 0);
                if (n <= 0) {
                    ::close(client_);
                    client_ = -1;
                    continue;
                }
                if (reply_) send(reply_(Bytes(buf, buf + n)));
            }
        }
    }

    Bytes greeting_;
    std::function<Bytes(const Bytes&)> reply_;
    bool close_;
    size_t streamCap_;
    size_t streamed_ = 0;
    uint16_t port_ = 0;
    int listen_ = -1, wake_ = -1, client_ = -1;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

} // namespace r8::net::test
