// SPDX-License-Identifier: MIT
#include "NetLink.h"

#include "Comm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace r8 {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWriteTimeout = std::chrono::milliseconds(1000);
constexpr size_t kMaxPending = 64 * 1024;
// A connection whose peer has vanished (cable, power) ends after about 10 + 3 x 5 s of silence:
// the kernel's keep-alive probes watch it, not a timer of ours.
constexpr int kKeepIdleS = 10, kKeepIntervalS = 5, kKeepCount = 3;

int msUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

void drain(int fd) {
    uint64_t count;
    while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

// Sends all bytes, waiting for room until the deadline. 0, or the errno of the failure.
int sendAll(int fd, const uint8_t* data, size_t n, Clock::time_point deadline) {
    size_t done = 0;
    while (done < n) {
        const ssize_t sent = ::send(fd, data + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
        const int ms = msUntil(deadline);
        if (ms == 0) return ETIMEDOUT;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, ms) < 0 && errno != EINTR) return errno;
    }
    return 0;
}

struct Address {
    sockaddr_storage addr{};
    socklen_t len = 0;
};

// A name lookup on a thread of its own. The thread keeps the lookup alive until it ends, so a
// port closed meanwhile just drops its share and never waits for the name server.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    int error = 0;
    std::vector<Address> addresses;
    int doneFd = -1;
    ~Lookup() {
        if (doneFd >= 0) ::close(doneFd);
    }
};

std::vector<Address> resolve(const std::string& host, uint16_t port, int flags, int& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    std::vector<Address> out;
    if (error != 0) return out;
    for (addrinfo* a = list; a; a = a->ai_next) {
        Address x;
        std::memcpy(&x.addr, a->ai_addr, a->ai_addrlen);
        x.len = a->ai_addrlen;
        out.push_back(x);
    }
    ::freeaddrinfo(list);
    return out;
}

std::mutex& resolverMutex() {
    static std::mutex m;
    return m;
}

NameResolver& injectedResolver() {
    static NameResolver r;
    return r;
}

NetPhaseTimes& phaseTimes() {
    static NetPhaseTimes t;
    return t;
}

// The system's lookup, or the injected one whose numeric answers become addresses.
std::vector<Address> lookUp(const NameResolver& resolver, const std::string& host, uint16_t port,
                            int& error) {
    if (!resolver) return resolve(host, port, AI_ADDRCONFIG, error);
    const NameAnswer answer = resolver(host);
    error = answer.error;
    std::vector<Address> out;
    for (const std::string& a : answer.addresses) {
        int e = 0;
        for (const Address& x : resolve(a, port, AI_NUMERICHOST, e))
            out.push_back(x);
    }
    if (error == 0 && out.empty()) error = EAI_NONAME;
    return out;
}

std::shared_ptr<Lookup> startLookup(const std::string& host, uint16_t port) {
    auto lookup = std::make_shared<Lookup>();
    lookup->doneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (lookup->doneFd < 0) return nullptr;
    NameResolver resolver;
    {
        std::lock_guard lock(resolverMutex());
        resolver = injectedResolver();
    }
    std::thread([lookup, host, port, resolver = std::move(resolver)] {
        int error = 0;
        auto found = lookUp(resolver, host, port, error);
        std::lock_guard lock(lookup->mutex);
        lookup->addresses = std::move(found);
        lookup->error = error;
        lookup->done = true;
        const uint64_t one = 1;
        while (::write(lookup->doneFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }).detach();
    return lookup;
}

// Waits for one of the descriptors; false when stopped. Returns poll's revents of the second
// through revents, 0 on time-out.
bool waitFor(int wakeFd, const std::atomic<bool>& stop, int fd, short events, int timeoutMs,
             short& revents) {
    for (;;) {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (fds[0].revents & POLLIN) drain(wakeFd);
        if (stop) return false;
        revents = ready > 0 ? fds[1].revents : 0;
        if (ready < 0) revents = POLLERR;
        return true;
    }
}

void tune(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on); // frames go out at once
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
}

constexpr size_t kRecentBytes = 160;

// The last line of the bytes if it is plain text a person wrote (letters and a space), else "".
std::string lastTextLine(const std::vector<uint8_t>& bytes) {
    size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n' || bytes[end - 1] == ' '))
        --end;
    size_t begin = end;
    while (begin > 0 && bytes[begin - 1] >= 0x20 && bytes[begin - 1] <= 0x7E)
        --begin;
    const std::string line(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                           bytes.begin() + static_cast<std::ptrdiff_t>(end));
    const auto letters = std::count_if(line.begin(), line.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    if (line.size() < 6 || letters < 4 || line.find(' ') == std::string::npos) return {};
    return line;
}

} // namespace

void SetNameResolver(NameResolver resolver) {
    std::lock_guard lock(resolverMutex());
    injectedResolver() = std::move(resolver);
}

void SetNetPhaseTimes(const NetPhaseTimes& times) {
    std::lock_guard lock(resolverMutex());
    phaseTimes() = times;
}

NetPhaseTimes CurrentNetPhaseTimes() {
    std::lock_guard lock(resolverMutex());
    return phaseTimes();
}

NetLink::NetLink(NetAddress address, rfc2217::LineRequest line)
    : address_(std::move(address)), line_(line), times_(CurrentNetPhaseTimes()) {
    for (auto& a : answered_)
        a = -1;
}

NetLink::~NetLink() {
    if (sock_ >= 0) ::close(sock_);
}

void NetLink::Run(int wakeFd, const std::atomic<bool>& stop, NetSink& sink) {
    if (connect(wakeFd, stop, sink)) moveBytes(wakeFd, stop, sink);
}

void NetLink::lose(NetSink& sink, int cause) {
    {
        std::lock_guard lock(writeMutex_);
        if (lost_) return;
        lost_ = true;
        cause_ = cause;
        serverText_ = lastTextLine(recent_);
    }
    sink.Lost(cause);
}

std::string NetLink::ServerText() const {
    std::lock_guard lock(writeMutex_);
    return serverText_;
}

// A server that turns a client away says why in a line of text before it closes.
void NetLink::keepRecent(const uint8_t* data, size_t n) {
    recent_.insert(recent_.end(), data, data + n);
    if (recent_.size() > kRecentBytes)
        recent_.erase(recent_.begin(), recent_.end() - static_cast<std::ptrdiff_t>(kRecentBytes));
}

bool NetLink::connect(int wakeFd, const std::atomic<bool>& stop, NetSink& sink) {
    // A literal address needs no name server.
    int error = 0;
    std::vector<Address> addresses = resolve(address_.host, address_.port, AI_NUMERICHOST, error);
    if (addresses.empty()) {
        const auto lookup = startLookup(address_.host, address_.port);
        if (!lookup) {
            lose(sink, errno);
            return false;
        }
        // A name server that does not answer is given up on; its thread ends by itself.
        const auto lookupEnd = Clock::now() + times_.lookup;
        for (;;) {
            {
                std::lock_guard lock(lookup->mutex);
                if (lookup->done) {
                    addresses = lookup->addresses;
                    error = lookup->error;
                    break;
                }
            }
            if (Clock::now() >= lookupEnd) {
                lose(sink, kNameServerNoAnswer);
                return false;
            }
            short revents = 0;
            if (!waitFor(wakeFd, stop, lookup->doneFd, POLLIN, msUntil(lookupEnd), revents))
                return false;
        }
        if (addresses.empty()) {
            lose(sink, error == EAI_AGAIN ? kNameServerNoAnswer : kNameNotResolved);
            return false;
        }
    }

    int cause = ECONNREFUSED;
    for (const Address& a : addresses) {
        const int fd = ::socket(a.addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            cause = errno;
            continue;
        }
        int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.len);
        if (result < 0 && errno == EINPROGRESS) {
            short revents = 0;
            if (!waitFor(wakeFd, stop, fd, POLLOUT, msUntil(Clock::now() + times_.connect),
                         revents)) {
                ::close(fd);
                return false;
            }
            int soError = ETIMEDOUT;
            socklen_t len = sizeof soError;
            if (revents != 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
            errno = soError;
            result = soError == 0 ? 0 : -1;
        }
        if (result == 0) {
            tune(fd);
            std::lock_guard lock(writeMutex_);
            sock_ = fd;
            if (address_.kind == NetAddress::Kind::Rfc2217) {
                const auto offer = rfc2217::Offer();
                if (const int e =
                        sendAll(fd, offer.data(), offer.size(), Clock::now() + kWriteTimeout)) {
                    cause = e;
                    sock_ = -1;
                    ::close(fd);
                    continue;
                }
                return true;
            }
            if (makeReady()) return true;
            cause = ECONNRESET;
            sock_ = -1;
            ::close(fd);
            continue;
        }
        cause = errno;
        ::close(fd);
    }
    lose(sink, cause);
    return false;
}

// Sends the line requests (rfc2217) and what was written meanwhile.
bool NetLink::makeReady() {
    const auto deadline = Clock::now() + kWriteTimeout;
    if (address_.kind == NetAddress::Kind::Rfc2217) {
        const auto requests = rfc2217::LineRequests(line_);
        if (sendAll(sock_, requests.data(), requests.size(), deadline) != 0) return false;
    }
    if (sendAll(sock_, pending_.data(), pending_.size(), deadline) != 0) return false;
    pending_.clear();
    pending_.shrink_to_fit();
    ready_ = true;
    return true;
}

void NetLink::moveBytes(int wakeFd, const std::atomic<bool>& stop, NetSink& sink) {
    const bool telnet = address_.kind == NetAddress::Kind::Rfc2217;
    const auto negotiationEnd = Clock::now() + times_.negotiation;
    uint8_t buf[1024];
    std::vector<uint8_t> data;
    std::vector<uint8_t> replies;
    for (;;) {
        bool ready;
        {
            std::lock_guard lock(writeMutex_);
            ready = ready_;
        }
        const size_t room = sink.RoomInQueue();
        short revents = 0;
        if (!waitFor(wakeFd, stop, sock_, room > 0 ? POLLIN : 0,
                     ready ? -1 : msUntil(negotiationEnd), revents))
            return;
        if (revents == 0) {
            if (!ready && Clock::now() >= negotiationEnd) {
                lose(sink, kComPortNoAnswer);
                return;
            }
            continue;
        }
        if (!(revents & POLLIN)) {
            int soError = 0;
            socklen_t len = sizeof soError;
            ::getsockopt(sock_, SOL_SOCKET, SO_ERROR, &soError, &len);
            lose(sink, soError);
            return;
        }
        const ssize_t n = ::recv(sock_, buf, std::min(sizeof buf, room), 0);
        // Every segment acknowledged at once: a server that holds small writes back until its
        // last one is acknowledged (Nagle) would otherwise wait for the delayed ACK, 40 ms, on
        // every answer that comes byte by byte. The kernel forgets this after a while, so it is
        // set again after each read.
        const int on = 1;
        ::setsockopt(sock_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            lose(sink, n == 0 ? 0 : errno);
            return;
        }
        if (!telnet) {
            keepRecent(buf, static_cast<size_t>(n));
            sink.HandOver(buf, static_cast<size_t>(n));
            continue;
        }
        data.clear();
        replies.clear();
        decoder_.Feed(buf, static_cast<size_t>(n), data, replies);
        const int modem = decoder_.ModemState();
        if (modem >= 0 && (modem & rfc2217::kModemLines)) linesSeen_ = true;
        modemState_ = modem;
        for (uint8_t r = rfc2217::kSetBaudRate; r <= rfc2217::kSetControl; ++r)
            answered_[r] = decoder_.Answered(r);
        if (decoder_.ComPortState() == rfc2217::Decoder::ComPort::Refused) {
            lose(sink, kComPortRefused);
            return;
        }
        int failed = 0;
        {
            std::lock_guard lock(writeMutex_);
            if (!replies.empty())
                failed =
                    sendAll(sock_, replies.data(), replies.size(), Clock::now() + kWriteTimeout);
            if (!failed && !ready_ &&
                decoder_.ComPortState() == rfc2217::Decoder::ComPort::Agreed && !makeReady())
                failed = ECONNRESET;
        }
        if (failed) {
            lose(sink, failed);
            return;
        }
        if (!data.empty()) {
            keepRecent(data.data(), data.size());
            sink.HandOver(data.data(), data.size());
        }
    }
}

void NetLink::Write(const uint8_t* buf, size_t n) {
    std::vector<uint8_t> bytes;
    if (address_.kind == NetAddress::Kind::Rfc2217)
        rfc2217::AppendEscaped(buf, n, bytes);
    else
        bytes.assign(buf, buf + n);

    std::lock_guard lock(writeMutex_);
    // Bytes for a connection that never came about go nowhere, as they would have gone had
    // they come a moment earlier; the failure itself is reported as the port being gone.
    if (lost_ && !ready_) return;
    if (lost_) throw ECommReadWriteError(EIO);
    if (!ready_) {
        if (pending_.size() + bytes.size() > kMaxPending) throw ECommReadWriteError(ETIMEDOUT);
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        return;
    }
    const int e = sendAll(sock_, bytes.data(), bytes.size(), Clock::now() + kWriteTimeout);
    if (e == ETIMEDOUT) throw ECommReadWriteError(ETIMEDOUT);
    if (e != 0) {
        // The watcher sees the end of the connection too and reports it with its cause.
        if (!lost_) cause_ = e;
        throw ECommReadWriteError(EIO);
    }
}

bool NetLink::Dsr() const {
    if (address_.kind == NetAddress::Kind::Raw || !linesSeen_) return true;
    return (modemState_ & rfc2217::kModemDsr) != 0;
}

int64_t NetLink::Answered(uint8_t request) const {
    if (request < rfc2217::kSetBaudRate || request > rfc2217::kSetControl) return -1;
    return answered_[request];
}

} // namespace r8
