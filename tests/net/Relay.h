// SPDX-License-Identifier: MIT
#pragma once
// A TCP relay on loopback in front of a server, as a slow or stalling network would stand
// between the tool and a serial device server: one client at a time, joined to a connection of
// its own to the server. Each direction either passes bytes on, holds them until the test
// releases them (a delay or a stall, without waiting through it), or, for benchmarks, delays
// every byte by a fixed time.
#include "Loopback.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace r8::net::test {

class Relay {
public:
    enum Dir { ToServer = 0, ToClient = 1 };
    using Clock = std::chrono::steady_clock;

    // upstreamPort: the server's port on 127.0.0.1; delay: what every byte waits each way.
    explicit Relay(uint16_t upstreamPort,
                   std::chrono::milliseconds delay = std::chrono::milliseconds(0))
        : upstream_(upstreamPort), delay_(delay) {
        listen_ = BindLoopback(port_, 4);
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        thread_ = std::thread([this] { run(); });
    }
    ~Relay() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        bump();
        thread_.join();
        for (int fd : {listen_, wake_, side_[0], side_[1]})
            if (fd >= 0) ::close(fd);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    std::string Url(const std::string& scheme = "socket") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }
    uint16_t Port() const { return port_; }

    // Keeps what comes in direction d from now on.
    void Hold(Dir d) {
        std::lock_guard lock(mutex_);
        held_[d] = true;
    }
    // Lets what was kept in direction d go, and what comes after.
    void Release(Dir d) {
        {
            std::lock_guard lock(mutex_);
            held_[d] = false;
        }
        bump();
    }
    size_t Held(Dir d) const {
        std::lock_guard lock(mutex_);
        return queue_[d].size();
    }
    // Waits (at most ms) until at least n bytes are kept in direction d; kept bytes stay, so
    // this is a state that lasts.
    bool WaitHeld(Dir d, size_t n, int ms) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [&] { return queue_[d].size() >= n; });
    }
    // Clients accepted so far.
    int Connections() const {
        std::lock_guard lock(mutex_);
        return connections_;
    }

private:
    struct Byte {
        uint8_t value;
        Clock::time_point due;
    };

    void bump() {
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) < 0) {
        }
    }
    void drop() {
        for (int& fd : side_)
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        std::lock_guard lock(mutex_);
        queue_[0].clear();
        queue_[1].clear();
    }
    // Sends what is due in direction d; the time the next byte is due, if any waits.
    int flush(int d) {
        std::vector<uint8_t> out;
        int waitMs = -1;
        {
            std::lock_guard lock(mutex_);
            if (held_[d]) return -1;
            const auto now = Clock::now();
            auto& q = queue_[d];
            while (!q.empty() && q.front().due <= now) {
                out.push_back(q.front().value);
                q.pop_front();
            }
            if (!q.empty())
                waitMs = static_cast<int>(
                    std::chrono::ceil<std::chrono::milliseconds>(q.front().due - now).count());
        }
        const int to = d == ToServer ? side_[1] : side_[0];
        size_t done = 0;
        while (done < out.size() && to >= 0) {
            const ssize_t n = ::send(to, out.data() + done, out.size() - done, MSG_NOSIGNAL);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return waitMs;
    }
    void run() {
        uint8_t buf[4096];
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stop_) return;
            }
            int timeout = -1;
            if (side_[0] >= 0)
                for (int d : {0, 1}) {
                    const int w = flush(d);
                    if (w >= 0) timeout = timeout < 0 ? w : std::min(timeout, w);
                }
            pollfd fds[4] = {{wake_, POLLIN, 0},
                             {listen_, POLLIN, 0},
                             {side_[0], POLLIN, 0},
                             {side_[1], POLLIN, 0}};
            if (::poll(fds, side_[0] >= 0 ? 4 : 2, timeout) < 0) continue;
            if (fds[0].revents & POLLIN) {
                uint64_t n;
                if (::read(wake_, &n, sizeof n) < 0) {
                }
            }
            if (fds[1].revents & POLLIN) {
                const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0) continue;
                drop(); // a new client takes the place of the old one
                const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a = LoopbackAddress(upstream_);
                if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                    ::close(server);
                    ::close(client);
                    continue;
                }
                const int on = 1;
                for (int fd : {client, server})
                    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                side_[0] = client;
                side_[1] = server;
                std::lock_guard lock(mutex_);
                ++connections_;
                continue;
            }
            for (int s : {0, 1}) {
                if (side_[0] < 0 || !(fds[2 + s].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::recv(side_[s], buf, sizeof buf, 0);
                if (n <= 0) {
                    drop(); // either end closing closes both
                    break;
                }
                const int d = s == 0 ? ToServer : ToClient;
                {
                    std::lock_guard lock(mutex_);
                    const auto due = Clock::now() + delay_;
                    for (ssize_t i = 0; i < n; ++i)
                        queue_[d].push_back({buf[i], due});
                }
                changed_.notify_all();
            }
        }
    }

    uint16_t upstream_;
    std::chrono::milliseconds delay_;
    uint16_t port_ = 0;
    int listen_ = -1;
    int wake_ = -1;
    std::array<int, 2> side_{-1, -1}; // client, server (relay thread only)
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::array<std::deque<Byte>, 2> queue_;
    std::array<bool, 2> held_{false, false};
    int connections_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace r8::net::test
