// SPDX-License-Identifier: MIT
#pragma once
// The connection behind a network port (socket:// or rfc2217://). Its Run is the body of the
// serial component's watcher thread for such a port: it resolves the host name (on a thread of
// its own, so that a slow name server never holds up closing the port), connects without
// blocking, speaks the COM-PORT-OPTION for rfc2217://, and then moves received data into the
// component's queue until it is stopped or the connection is lost. The owner writes through
// Write; bytes written before the connection is ready wait in the connection and go out first.
#include "NetAddress.h"
#include "Rfc2217.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace r8 {

// The answer of a name lookup: numeric addresses ("127.0.0.1", "::1"), or a getaddrinfo error
// (EAI_NONAME, EAI_AGAIN, ...).
struct NameAnswer {
    int error = 0;
    std::vector<std::string> addresses;
};
using NameResolver = std::function<NameAnswer(const std::string& host)>;
// Every later lookup asks resolver instead of the system's (getaddrinfo); an empty one gives
// the system's back. For tests, which must not depend on a real name server.
void SetNameResolver(NameResolver resolver);

// How long a connection may take in each of its phases before it fails with that phase's
// cause. Taken when a connection starts; tests shorten them.
struct NetPhaseTimes {
    std::chrono::milliseconds lookup{10000};     // the name server's answer
    std::chrono::milliseconds connect{10000};    // the TCP connection
    std::chrono::milliseconds negotiation{5000}; // the server's agreement to COM-PORT-OPTION
};
void SetNetPhaseTimes(const NetPhaseTimes& times);
NetPhaseTimes CurrentNetPhaseTimes();

// What the connection hands to the serial component.
class NetSink {
public:
    virtual ~NetSink() = default;
    virtual size_t RoomInQueue() const = 0;
    virtual void HandOver(const uint8_t* data, size_t n) = 0;
    // The connection failed or ended; cause as in NetFailureText.
    virtual void Lost(int cause) = 0;
};

class NetLink {
public:
    NetLink(NetAddress address, rfc2217::LineRequest line);
    ~NetLink();
    NetLink(const NetLink&) = delete;
    NetLink& operator=(const NetLink&) = delete;

    // Watcher thread. Returns when stop is set (and wakeFd signalled) or the connection is lost.
    void Run(int wakeFd, const std::atomic<bool>& stop, NetSink& sink);

    // Owner's thread. Sends every byte within 1000 ms, or keeps them until the connection is
    // ready; drops them when the connection failed before it was ready. Throws
    // ECommReadWriteError: EIO once an established connection is lost, ETIMEDOUT when the
    // server takes nothing for 1000 ms or too much waits for the connection.
    void Write(const uint8_t* buf, size_t n);

    // DSR: on for a raw port while connected; for rfc2217 the server's last notification, on
    // as long as the server has shown no modem line on at all (a line without modem wires).
    bool Dsr() const;
    // Why the connection ended (NetFailureText); meaningful once it has.
    int Cause() const { return cause_; }
    // The line of text the server sent last before the connection ended ("Port already in
    // use"), or "" when what came last was no such text (camera bytes); meaningful once lost.
    std::string ServerText() const;
    // The server's answer to a line request (rfc2217::Decoder::Answered), for tests.
    int64_t Answered(uint8_t request) const;

private:
    bool connect(int wakeFd, const std::atomic<bool>& stop, NetSink& sink);
    void moveBytes(int wakeFd, const std::atomic<bool>& stop, NetSink& sink);
    bool makeReady(); // under writeMutex_
    void lose(NetSink& sink, int cause);
    void keepRecent(const uint8_t* data, size_t n);

    const NetAddress address_;
    const rfc2217::LineRequest line_;
    const NetPhaseTimes times_;
    rfc2217::Decoder decoder_; // watcher only
    std::atomic<int> modemState_{-1};
    std::atomic<bool> linesSeen_{false};
    std::atomic<int> cause_{0};
    std::array<std::atomic<int64_t>, 6> answered_{};
    std::vector<uint8_t> recent_; // the last data bytes received (watcher only)

    mutable std::mutex writeMutex_; // the socket's writing side, pending_, ready_ and lost_
    int sock_ = -1;
    bool ready_ = false;
    bool lost_ = false;
    std::string serverText_;
    std::vector<uint8_t> pending_;
};

} // namespace r8
