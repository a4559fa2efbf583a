// SPDX-License-Identifier: MIT
#pragma once
// The tool's end of the simulated line in tests: the slave side of the pseudo-terminal opened
// as a plain raw serial port. Every wait is a poll() with an upper bound, never a sleep.
#include "Frames.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace r8::sim::test {

using Bytes = std::vector<uint8_t>;

// A generous bound for anything the camera should do at once.
constexpr int kPatienceMs = 5000;

class LineClient {
public:
    explicit LineClient(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~LineClient() { close(fd_); }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    void Send(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0) throw std::runtime_error("write to the line failed");
            done += static_cast<size_t>(n);
        }
    }

    // Up to n bytes: returns early only when the time is up.
    Bytes Read(size_t n, int timeoutMs = kPatienceMs) {
        Bytes out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            uint8_t buf[4096];
            ssize_t got = read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

    // True when no byte arrives within ms.
    bool QuietFor(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, ms) == 0;
    }

private:
    int fd_ = -1;
};

// The 19-byte command frame for payload bytes P1..Pn.
inline Bytes Cmd(std::initializer_list<uint8_t> payload) {
    Bytes p(payload);
    CommandFrame f = MakeStxFrame(p.data(), p.size());
    return Bytes(f.begin(), f.end());
}

} // namespace r8::sim::test
