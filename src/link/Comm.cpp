// SPDX-License-Identifier: MIT
#include "Comm.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace r8 {

const char* const kCommNotStarted = "通信が開始されていない。";
const char* const kCommSendTooLong = "送信データ長が長すぎる。";

ECommOpenError::ECommOpenError(int32_t code)
    : ECommError("オープンエラー ErrorCode = " + std::to_string(code)), ErrorCode(code) {}

ECommOpenError::ECommOpenError(int32_t code, const std::string& path, int cause, int port,
                               const std::string& said)
    : ECommError("オープンエラー ErrorCode = " + std::to_string(code) + "\n" +
                 OpenFailureText(path, cause, port, said)),
      ErrorCode(code), Path(path), Cause(cause), Said(said) {}

std::string OpenFailureText(const std::string& path, int cause, int port, const std::string& said) {
    if (path.empty())
        return port > 0 ? "No device is set for port " + std::to_string(port) + " (COM" +
                              std::to_string(port) + ")."
                        : "No device is set for this port.";
    if (IsNetworkName(path)) return NetFailureText(path, cause, said);
    switch (cause) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return path + ": no such device. Is the adapter plugged in?";
    case EBUSY:
    case EWOULDBLOCK:
        return path + ": busy. Another program is using it.";
    case EACCES:
    case EPERM:
        return path + ": not permitted for this user. Join the dialout group "
                      "(sudo usermod -aG dialout $USER) and log in again.";
    case ENOTTY:
    case EINVAL:
        return path + ": not a serial port.";
    default:
        return path + ": " + std::strerror(cause) + ".";
    }
}

ECommReadWriteError::ECommReadWriteError(int32_t code)
    : ECommError("入出力エラー ErrorCode = " + std::to_string(code)), ErrorCode(code) {}

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTotalTimeout = std::chrono::milliseconds(1000);
constexpr auto kBreakLength = std::chrono::milliseconds(500);

template <class Call> auto retryEintr(Call call) {
    for (;;) {
        auto r = call();
        if (!(r < 0 && errno == EINTR)) return r;
    }
}

// Milliseconds left until the deadline, rounded up so that a poll() ends at or after it.
int msUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

void bump(int fd) {
    const uint64_t one = 1;
    retryEintr([&] { return ::write(fd, &one, sizeof one); });
}

void drain(int fd) {
    uint64_t count;
    retryEintr([&] { return ::read(fd, &count, sizeof count); });
}

void setModemLines(int fd, unsigned long request, int lines) {
    // Devices without modem lines refuse this; there is nothing to set on them.
    retryEintr([&] { return ::ioctl(fd, request, &lines); });
}

struct Speed {
    int32_t rate;
    speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The highest termios rate not above the requested one; none below the lowest.
const Speed* speedFor(int32_t rate) {
    const Speed* found = nullptr;
    for (const Speed& s : kSpeeds)
        if (s.rate <= rate) found = &s;
    return found;
}

void applySpeed(termios& t, int32_t rate) {
    if (const Speed* s = speedFor(rate)) {
        cfsetispeed(&t, s->code);
        cfsetospeed(&t, s->code);
    }
}

void applyByteSize(termios& t, TCommByteSize size) {
    tcflag_t bits = CS8;
    switch (size) {
    case TCommByteSize::cbs4:
    case TCommByteSize::cbs5:
        bits = CS5;
        break;
    case TCommByteSize::cbs6:
        bits = CS6;
        break;
    case TCommByteSize::cbs7:
        bits = CS7;
        break;
    case TCommByteSize::cbs8:
        bits = CS8;
        break;
    }
    t.c_cflag = (t.c_cflag & ~CSIZE) | bits;
}

void applyParity(termios& t, TCommParityBits parity) {
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case TCommParityBits::cpbNone:
        break;
    case TCommParityBits::cpbOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case TCommParityBits::cpbEven:
        t.c_cflag |= PARENB;
        break;
    case TCommParityBits::cpbMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TCommParityBits::cpbSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
}

void applyStopBits(termios& t, TCommStopBits stop) {
    if (stop == TCommStopBits::csb1)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;
}

void applyFlow(termios& t, const TCommFlowControls& flow) {
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (flow.count(TCommFlowControl::cfcRtsCts)) t.c_cflag |= CRTSCTS;
    if (flow.count(TCommFlowControl::cfcXonXoff)) t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
}

void makeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

void closeDevice(int fd) {
    // A pseudo-terminal slave may stay open elsewhere and keep the exclusive flag.
    retryEintr([&] { return ::ioctl(fd, TIOCNXCL); });
    retryEintr([&] { return ::flock(fd, LOCK_UN); });
    ::close(fd);
}

std::mutex& pathMutex() {
    static std::mutex m;
    return m;
}

std::map<uint8_t, std::string>& pathMap() {
    static std::map<uint8_t, std::string> m;
    return m;
}

} // namespace

void SetPortPath(uint8_t port, const std::string& path) {
    std::lock_guard lock(pathMutex());
    pathMap()[port] = path;
}

std::string PortPath(uint8_t port) {
    {
        std::lock_guard lock(pathMutex());
        auto it = pathMap().find(port);
        if (it != pathMap().end()) return it->second;
    }
    if (port == 0) return {};
    return "/dev/ttyS" + std::to_string(port - 1);
}

TCommWatch::TCommWatch(TComm& owner, int fd, int wakeFd) : owner_(owner), fd_(fd), wakeFd_(wakeFd) {
    thread_ = std::thread([this] { Execute(); });
}

TCommWatch::~TCommWatch() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

void TCommWatch::Stop() {
    stop_ = true;
    bump(wakeFd_);
}

void TCommWatch::Execute() {
    if (owner_.net_) {
        owner_.net_->Run(wakeFd_, stop_, owner_);
        return;
    }
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
    bool watching = true;
    uint8_t buf[1024];
    for (;;) {
        // With the queue full the device is not read (only hang-ups are watched) until Read
        // makes room and wakes us.
        const size_t room = owner_.roomInQueue();
        fds[0].revents = fds[1].revents = 0;
        fds[1].events = room > 0 ? POLLIN : 0;
        const int ready = ::poll(fds, watching ? 2 : 1, owner_.breakTimeoutMs());
        if (ready < 0) {
            if (errno == EINTR) continue;
            owner_.markGone();
            return;
        }
        owner_.endBreakIfDue();
        if (fds[0].revents & POLLIN) {
            drain(wakeFd_);
            if (stop_) return;
        }
        if (!watching || fds[1].revents == 0) continue;

        const bool hangUp = fds[1].revents & (POLLHUP | POLLERR | POLLNVAL);
        bool lost = hangUp;
        if (fds[1].revents & POLLIN) {
            // Bytes that come with a hang-up are kept; the next round reads the rest.
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, room));
            if (n > 0) {
                owner_.handOver(buf, static_cast<size_t>(n));
                lost = false;
            } else if (n == 0) {
                lost = true; // end of file on a readable device
            } else if (errno != EAGAIN && errno != EINTR) {
                lost = true;
            }
        }
        if (lost) {
            watching = false;
            owner_.markGone();
        }
    }
}

TComm::TComm() {
    eventFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (eventFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TComm::~TComm() {
    Close();
    ::close(eventFd_);
}

void TComm::Open() {
    if (IsOpen()) return;

    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) throw ECommOpenError(-2);

    const std::string path = PortPath(port_);
    if (IsNetworkName(path)) {
        ::close(wake);
        openNetwork(path);
        return;
    }
    const int fd = retryEintr(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        const int cause = errno;
        ::close(wake);
        throw ECommOpenError(-1, path, cause, port_);
    }
    // TIOCEXCL does not stop root, nor a second open that came first; the lock does.
    termios t{};
    if (retryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0 ||
        retryEintr([&] { return ::tcgetattr(fd, &t); }) < 0) {
        const int cause = errno;
        ::close(fd);
        ::close(wake);
        throw ECommOpenError(-1, path, cause, port_);
    }
    retryEintr([&] { return ::ioctl(fd, TIOCEXCL); });

    makeRaw(t);
    applySpeed(t, baudRate_ == -1 ? baudRateUserDefined_ : baudRate_);
    applyByteSize(t, byteSize_);
    applyParity(t, parity_);
    applyStopBits(t, stopBits_);
    applyFlow(t, flow_);
    retryEintr([&] { return ::tcsetattr(fd, TCSANOW, &t); });
    retryEintr([&] { return ::tcflush(fd, TCIOFLUSH); });

    {
        std::lock_guard lock(mutex_);
        rxQueue_.clear();
        rxLimit_ = std::max<size_t>(inQueueSize_, 1);
        gone_ = false;
        breakUntil_.reset();
    }
    fd_ = fd;
    wakeFd_ = wake;
    try {
        watch_ = std::make_unique<TCommWatch>(*this, fd, wake);
    } catch (const std::system_error& e) {
        fd_ = -1;
        wakeFd_ = -1;
        closeDevice(fd);
        ::close(wake);
        throw ECommOpenError(-1, path, e.code().value(), port_);
    }
    setModemLines(fd, TIOCMBIS, TIOCM_DTR);
    raiseRtsIfNoHandshake();
}

void TComm::openNetwork(const std::string& path) {
    const auto address = ParseNetAddress(path);
    if (!address) throw ECommOpenError(-1, path, EINVAL);
    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) throw ECommOpenError(-2);
    {
        std::lock_guard lock(mutex_);
        rxQueue_.clear();
        rxLimit_ = std::max<size_t>(inQueueSize_, 1);
        gone_ = false;
        breakUntil_.reset();
    }
    net_ = std::make_unique<NetLink>(*address, lineRequest());
    netPath_ = path;
    netOpen_ = true;
    wakeFd_ = wake;
    try {
        watch_ = std::make_unique<TCommWatch>(*this, -1, wake);
    } catch (const std::system_error& e) {
        netOpen_ = false;
        net_.reset();
        wakeFd_ = -1;
        ::close(wake);
        throw ECommOpenError(-1, path, e.code().value());
    }
}

rfc2217::LineRequest TComm::lineRequest() const {
    rfc2217::LineRequest r;
    r.baud = static_cast<uint32_t>(baudRate_ == -1 ? baudRateUserDefined_ : baudRate_);
    r.dataSize = static_cast<uint8_t>(std::max(5, static_cast<int>(byteSize_) + 4));
    r.parity = static_cast<uint8_t>(static_cast<int>(parity_) + 1);
    r.stopSize = stopBits_ == TCommStopBits::csb1 ? 1 : stopBits_ == TCommStopBits::csb2 ? 2 : 3;
    r.control = flow_.count(TCommFlowControl::cfcRtsCts)    ? 3
                : flow_.count(TCommFlowControl::cfcXonXoff) ? 2
                                                            : 1;
    return r;
}

bool TComm::KeepsConnection(uint8_t port) const {
    return netOpen_ && !DeviceGone() && PortPath(port) == netPath_;
}

int TComm::GoneCause() const {
    return net_ ? net_->Cause() : 0;
}

void TComm::Lost(int cause) {
    {
        std::lock_guard lock(mutex_);
        ++netFailure_.count;
        netFailure_.cause = cause;
        netFailure_.said = net_->ServerText();
    }
    markGone();
}

TComm::NetFailure TComm::LastNetFailure() const {
    std::lock_guard lock(mutex_);
    return netFailure_;
}

std::string TComm::GoneServerText() const {
    return net_ ? net_->ServerText() : std::string();
}

void TComm::Close() {
    if (netOpen_) {
        watch_.reset(); // wakes the watcher and joins it
        {
            std::lock_guard lock(mutex_);
            netOpen_ = false;
            rxQueue_.clear();
            gone_ = false;
        }
        changed_.notify_all();
        net_.reset(); // closes the connection
        ::close(wakeFd_);
        wakeFd_ = -1;
        drain(eventFd_);
        return;
    }
    const int fd = fd_;
    if (fd < 0) return;

    watch_.reset(); // wakes the watcher and joins it
    {
        std::lock_guard lock(mutex_);
        if (breakUntil_) {
            retryEintr([&] { return ::ioctl(fd, TIOCCBRK); });
            breakUntil_.reset();
        }
        fd_ = -1;
        rxQueue_.clear();
        gone_ = false;
    }
    changed_.notify_all();

    setModemLines(fd, TIOCMBIC, TIOCM_DTR);
    retryEintr([&] { return ::tcflush(fd, TCIOFLUSH); });
    closeDevice(fd);
    ::close(wakeFd_);
    wakeFd_ = -1;
    drain(eventFd_);
}

void TComm::Write(const uint8_t* buf, size_t count) {
    if (!IsOpen()) throw ECommError(kCommNotStarted);
    if (count > outQueueSize_) throw ECommError(kCommSendTooLong);
    if (net_) {
        net_->Write(buf, count);
        return;
    }

    const auto deadline = Clock::now() + kTotalTimeout;
    {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, deadline, [&] { return !breakUntil_; }))
            throw ECommReadWriteError(ETIMEDOUT);
    }
    const int fd = fd_;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, buf + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) throw ECommReadWriteError(errno);

        // The device has no room: wait for some until the deadline.
        for (;;) {
            const int ms = msUntil(deadline);
            if (ms == 0) throw ECommReadWriteError(ETIMEDOUT);
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, ms);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) throw ECommReadWriteError(errno);
            if (ready == 0) continue;
            if (p.revents & POLLOUT) break;
            throw ECommReadWriteError(EIO); // hang-up or error without room
        }
    }
}

size_t TComm::Read(uint8_t* buf, size_t count) {
    if (!IsOpen()) throw ECommError(kCommNotStarted);
    if (count == 0) return 0;

    size_t n = 0;
    bool wasFull = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kTotalTimeout,
                          [&] { return !rxQueue_.empty() || gone_ || !IsOpen(); });
        if (gone_) {
            // What a dead device left is stale: an answer to it could not be sent anyway.
            rxQueue_.clear();
            return 0;
        }
        n = std::min(count, rxQueue_.size());
        wasFull = rxQueue_.size() >= rxLimit_;
        std::copy_n(rxQueue_.begin(), n, buf);
        rxQueue_.erase(rxQueue_.begin(), rxQueue_.begin() + static_cast<std::ptrdiff_t>(n));
        consumed_ += n;
    }
    if (wasFull && n > 0 && wakeFd_ >= 0) bump(wakeFd_);
    return n;
}

void TComm::SendString(const std::string& text) {
    Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void TComm::SendBreak() {
    if (net_) throw ECommReadWriteError(ENOTSUP);
    const int fd = fd_;
    if (fd < 0) throw ECommReadWriteError(EBADF);
    if (retryEintr([&] { return ::ioctl(fd, TIOCSBRK); }) < 0) throw ECommReadWriteError(errno);
    {
        std::lock_guard lock(mutex_);
        breakUntil_ = Clock::now() + kBreakLength;
    }
    bump(wakeFd_); // the watcher ends the break
}

bool TComm::DsrState() const {
    if (netOpen_) return !DeviceGone() && net_->Dsr();
    const int fd = fd_;
    if (fd < 0 || DeviceGone()) return false;
    int lines = 0;
    // A device without modem lines (a pseudo-terminal) refuses TIOCMGET; DSR counts as on
    // there, as a null-modem cable that loops DTR back would show it.
    if (retryEintr([&] { return ::ioctl(fd, TIOCMGET, &lines); }) < 0) return true;
    return (lines & TIOCM_DSR) != 0;
}

template <class Change> void TComm::changeLine(Change change) {
    const int fd = fd_;
    if (fd < 0) return;
    termios t{};
    if (retryEintr([&] { return ::tcgetattr(fd, &t); }) < 0) return;
    change(t);
    retryEintr([&] { return ::tcsetattr(fd, TCSANOW, &t); });
}

void TComm::raiseRtsIfNoHandshake() {
    const int fd = fd_;
    if (fd >= 0 && !flow_.count(TCommFlowControl::cfcRtsCts))
        setModemLines(fd, TIOCMBIS, TIOCM_RTS);
}

void TComm::SetBaudRate(int32_t baud) {
    baudRate_ = baud;
    const int32_t rate = baud == -1 ? baudRateUserDefined_ : baud;
    changeLine([&](termios& t) { applySpeed(t, rate); });
}

void TComm::SetBaudRateUserDefined(uint16_t baud) {
    baudRateUserDefined_ = baud;
    SetBaudRate(-1);
}

void TComm::SetByteSize(TCommByteSize v) {
    byteSize_ = v;
    changeLine([&](termios& t) { applyByteSize(t, v); });
}

void TComm::SetParityBits(TCommParityBits v) {
    parity_ = v;
    changeLine([&](termios& t) { applyParity(t, v); });
}

void TComm::SetStopBits(TCommStopBits v) {
    stopBits_ = v;
    changeLine([&](termios& t) { applyStopBits(t, v); });
}

void TComm::SetFlowControls(const TCommFlowControls& v) {
    flow_ = v;
    changeLine([&](termios& t) { applyFlow(t, v); });
    raiseRtsIfNoHandshake();
}

int32_t TComm::EffectiveBaud() const {
    const Speed* s = speedFor(baudRate_ == -1 ? baudRateUserDefined_ : baudRate_);
    return s ? s->rate : 0;
}

void TComm::DispatchEvents() {
    drain(eventFd_);
    if (dispatching_) return;
    dispatching_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{dispatching_};
    while (DoCommReceive()) {
    }
}

// One receive notification. True when it is worth another: bytes are still waiting and the
// handler took some or more arrived meanwhile. A handler that takes nothing is not called
// again for the same bytes.
bool TComm::DoCommReceive() {
    if (!IsOpen() || !OnCommReceive) return false;
    size_t waiting = 0;
    uint64_t received = 0;
    uint64_t consumed = 0;
    {
        std::lock_guard lock(mutex_);
        waiting = rxQueue_.size();
        received = received_;
        consumed = consumed_;
    }
    if (waiting == 0) return false;

    auto handler = OnCommReceive; // the handler may reassign OnCommReceive
    try {
        handler(*this, static_cast<uint16_t>(std::min<size_t>(waiting, 0xFFFF)));
    } catch (...) {
        // Let the owner come back for what is left once it has handled the exception.
        std::lock_guard lock(mutex_);
        if (consumed_ != consumed && !rxQueue_.empty()) signalOwner();
        throw;
    }
    std::lock_guard lock(mutex_);
    return !rxQueue_.empty() && (consumed_ != consumed || received_ != received);
}

bool TComm::DeviceGone() const {
    std::lock_guard lock(mutex_);
    return gone_;
}

size_t TComm::InQueueCount() const {
    std::lock_guard lock(mutex_);
    return rxQueue_.size();
}

void TComm::signalOwner() {
    bump(eventFd_);
}

size_t TComm::roomInQueue() const {
    std::lock_guard lock(mutex_);
    return rxQueue_.size() < rxLimit_ ? rxLimit_ - rxQueue_.size() : 0;
}

void TComm::handOver(const uint8_t* data, size_t n) {
    {
        std::lock_guard lock(mutex_);
        rxQueue_.insert(rxQueue_.end(), data, data + n);
        received_ += n;
    }
    changed_.notify_all();
    signalOwner();
}

void TComm::markGone() {
    {
        std::lock_guard lock(mutex_);
        gone_ = true;
    }
    changed_.notify_all();
    signalOwner();
}

int TComm::breakTimeoutMs() const {
    std::lock_guard lock(mutex_);
    return breakUntil_ ? msUntil(*breakUntil_) : -1;
}

void TComm::endBreakIfDue() {
    {
        std::lock_guard lock(mutex_);
        if (!breakUntil_ || Clock::now() < *breakUntil_) return;
        const int fd = fd_;
        retryEintr([&] { return ::ioctl(fd, TIOCCBRK); });
        breakUntil_.reset();
    }
    changed_.notify_all();
}

} // namespace r8
