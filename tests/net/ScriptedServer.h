// SPDX-License-Identifier: MIT
#pragma once
// A loopback server that plays a part a serial device server can play badly: on each
// connection it sends a greeting, answers every piece the client sends with what reply()
// gives, and, if told, closes right after the greeting (a server that turns clients away with a
// line of text). One client at a time; stops with the object.
#include "Loopback.h"

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
                   bool closeAfterGreeting)
        : greeting_(std::move(greeting)), reply_(std::move(reply)), close_(closeAfterGreeting) {
        listen_ = BindLoopback(port_, 4);
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
            pollfd fds[3] = {{wake_, POLLIN, 0}, {listen_, POLLIN, 0}, {client_, POLLIN, 0}};
            if (::poll(fds, client_ >= 0 ? 3 : 2, -1) < 0) continue;
            if (fds[0].revents) return;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) continue;
                if (client_ >= 0) ::close(client_);
                client_ = fd;
                ++connections_;
                send(greeting_);
                if (close_) {
                    ::shutdown(client_, SHUT_WR);
                    ::close(client_);
                    client_ = -1;
                }
                continue;
            }
            if (client_ >= 0 && fds[2].revents) {
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
    uint16_t port_ = 0;
    int listen_ = -1, wake_ = -1, client_ = -1;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

} // namespace r8::net::test
