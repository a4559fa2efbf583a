// SPDX-License-Identifier: MIT
#include "SimPeer.h"

#include "Frames.h"
#include "HexText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace r8::sim {

namespace {

// One byte on the line: start bit, 8 data bits, stop bit at 9600 bit/s.
constexpr auto kByteTime = std::chrono::nanoseconds(10'000'000'000LL / 9600);
// How long a hung-up master is left alone before it is polled again.
constexpr auto kHangupPause = std::chrono::milliseconds(100);
constexpr uint8_t kNoise[] = {0x07, 0x41, 0x9F};

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

EepromImage StartImage(const SimOptions& o) {
    CameraIdentity id{o.ntsc, o.hiRes};
    EepromImage image = FactoryEeprom(id);
    if (!o.eepromFile.empty()) {
        std::string error = LoadSettingsFile(o.eepromFile, image);
        if (!error.empty()) throw std::runtime_error(error);
    }
    return image;
}

void RawLine(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) throw SystemError("tcgetattr");
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VSTART] = _POSIX_VDISABLE;
    t.c_cc[VSTOP] = _POSIX_VDISABLE;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (tcsetattr(fd, TCSANOW, &t) != 0) throw SystemError("tcsetattr");
}

} // namespace

CameraSim::CameraSim(SimOptions o)
    : options_(std::move(o)),
      model_(CameraIdentity{options_.ntsc, options_.hiRes}, StartImage(options_)) {
    model_.SetLensAdjustZeros(options_.lensAdjustZeros);
}

CameraSim::~CameraSim() {
    Stop();
}

void CameraSim::Start() {
    if (thread_.joinable()) throw std::runtime_error("the camera is already running");
    try {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) throw SystemError("posix_openpt");
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) throw SystemError("unlockpt");
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0) throw SystemError("ptsname_r");
        slavePath_ = name;
        slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) throw SystemError("open " + slavePath_);
        RawLine(slave_);
        if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0)
            throw SystemError("fcntl");
        wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) throw SystemError("eventfd");
        if (!options_.linkPath.empty()) {
            struct stat st {};
            if (lstat(options_.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
                unlink(options_.linkPath.c_str());
            if (symlink(slavePath_.c_str(), options_.linkPath.c_str()) != 0)
                throw SystemError("symlink " + options_.linkPath);
            linked_ = true;
        }
    } catch (...) {
        CloseAll();
        throw;
    }
    started_ = Clock::now();
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { Run(); });
}

void CameraSim::Stop() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        Wake();
        thread_.join();
    }
    CloseAll();
}

void CameraSim::Wake() {
    uint64_t one = 1;
    if (wake_ >= 0 && write(wake_, &one, sizeof one) != sizeof one) std::perror("eventfd write");
}

void CameraSim::CloseAll() {
    if (linked_) {
        // Only the link we made: a path that another camera took over stays.
        char target[256] = {};
        ssize_t n = readlink(options_.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && slavePath_ == std::string(target, static_cast<size_t>(n)))
            unlink(options_.linkPath.c_str());
        linked_ = false;
    }
    for (int* fd : {&master_, &slave_, &wake_})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
}

std::string CameraSim::SlavePath() const {
    return slavePath_;
}

std::vector<std::vector<uint8_t>> CameraSim::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool CameraSim::WaitReceived(size_t n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return receivedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return received_.size() >= n; });
}

std::vector<std::array<uint8_t, 15>> CameraSim::Commands() const {
    std::vector<std::array<uint8_t, 15>> out;
    std::lock_guard lock(mutex_);
    for (const auto& u : received_)
        if (u.size() == kCommandFrameSize && u[0] == STX) {
            std::array<uint8_t, 15> p{};
            std::copy_n(u.begin() + 1, p.size(), p.begin());
            out.push_back(p);
        }
    return out;
}

void CameraSim::WithModel(const std::function<void(CameraModel&)>& fn) {
    std::lock_guard lock(mutex_);
    fn(model_);
}

void CameraSim::Hold() {
    std::lock_guard lock(mutex_);
    holding_ = true;
}

void CameraSim::Release(size_t units) {
    {
        std::lock_guard lock(mutex_);
        for (; units > 0 && !held_.empty(); --units) {
            released_.push_back(std::move(held_.front()));
            held_.pop_front();
        }
    }
    Wake();
}

void CameraSim::ReleaseBytes(size_t bytes) {
    {
        std::lock_guard lock(mutex_);
        if (held_.empty()) return;
        Reply& front = held_.front();
        Reply part;
        while (bytes > 0 && !front.empty()) {
            Out& out = front.front();
            if (out.bytes.size() <= bytes) {
                bytes -= out.bytes.size();
                part.push_back(std::move(out));
                front.erase(front.begin());
                continue;
            }
            part.push_back(
                {{out.bytes.begin(), out.bytes.begin() + static_cast<long>(bytes)}, out.what});
            out.bytes.erase(out.bytes.begin(), out.bytes.begin() + static_cast<long>(bytes));
            bytes = 0;
        }
        if (front.empty()) held_.pop_front();
        released_.push_back(std::move(part));
    }
    Wake();
}

void CameraSim::Resume() {
    {
        std::lock_guard lock(mutex_);
        holding_ = false;
        for (auto& r : held_)
            released_.push_back(std::move(r));
        held_.clear();
    }
    Wake();
}

size_t CameraSim::Held() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

bool CameraSim::WaitHeld(size_t n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return receivedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return held_.size() >= n; });
}

size_t CameraSim::Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

bool CameraSim::WaitSent(size_t n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return receivedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return sent_ >= n; });
}

void CameraSim::Run() {
    // A paced line keeps each byte to its own time: the default slack of 50 us on every timed
    // sleep would add up to a byte time in a frame.
    if (options_.pace) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (;;) {
        Clock::time_point now = Clock::now();
        std::vector<RxUnit> units;
        while (arrivingHead_ < arriving_.size() && arriving_[arrivingHead_].at <= now) {
            parser_.Feed(arriving_[arrivingHead_].byte, arriving_[arrivingHead_].at, units);
            ++arrivingHead_;
        }
        if (arrivingHead_ == arriving_.size()) {
            arriving_.clear();
            arrivingHead_ = 0;
        }
        if (auto gone = parser_.Expire(now)) units.push_back(std::move(*gone));
        for (auto& u : units)
            Handle(u);
        // The camera reacts at the end of what it received, not when this thread got round to
        // it: a late wake-up does not stretch the exchange (up to a byte time late).
        SendReleased(units.empty() ? now : std::max(units.back().at, now - kByteTime));
        Transmit(now);

        // Sleep until the next thing due: a byte arriving, a frame's gap running out, the next
        // byte to send, or the master coming back after a hang-up.
        std::optional<Clock::time_point> due;
        auto consider = [&](Clock::time_point t) { due = due ? std::min(*due, t) : t; };
        if (arrivingHead_ < arriving_.size()) consider(arriving_[arrivingHead_].at);
        if (auto d = parser_.Deadline()) consider(*d);
        const bool sending = txHead_ < tx_.size();
        if (sending && options_.pace && !txBlocked_) consider(nextTx_);
        const bool lineDown = now < lineBackAt_;
        if (lineDown) consider(lineBackAt_);

        pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, 0, 0}};
        if (!lineDown) fds[1].events = static_cast<short>(POLLIN | (txBlocked_ ? POLLOUT : 0));
        timespec ts{};
        timespec* timeout = nullptr;
        if (due) {
            auto wait = std::max(*due - Clock::now(), Clock::duration::zero());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeout = &ts;
        }
        int n = ppoll(fds, lineDown ? 1 : 2, timeout, nullptr);
        if (n < 0 && errno != EINTR) {
            std::perror("r8v5mc-sim: ppoll");
            return;
        }
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) {
            // Stop, or replies released: those are taken on the next round.
            uint64_t count = 0;
            if (read(wake_, &count, sizeof count) < 0 && errno != EAGAIN)
                std::perror("r8v5mc-sim: eventfd read");
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        if (fds[1].revents & POLLOUT) {
            txBlocked_ = false;
            nextTx_ = std::max(nextTx_, Clock::now()); // no burst to make up for the stall
        }
        if (fds[1].revents & POLLIN)
            ReadLine(Clock::now());
        else if (fds[1].revents & (POLLHUP | POLLERR))
            lineBackAt_ = Clock::now() + kHangupPause;
    }
}

void CameraSim::ReadLine(Clock::time_point now) {
    uint8_t buf[4096];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n < 0) {
        if (errno == EIO) lineBackAt_ = now + kHangupPause; // no slave side open
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        Clock::time_point at = now;
        if (options_.pace) {
            // A byte is complete one byte time after it started, and starts no earlier than
            // the end of the byte before it.
            at = std::max(now, lastArrival_) + kByteTime;
            lastArrival_ = at;
        }
        arriving_.push_back({buf[i], at});
    }
}

void CameraSim::Handle(RxUnit& u) {
    using K = RxUnit::Kind;
    switch (u.kind) {
    case K::Ignored:
        Trace("<-", u.bytes, "ignored");
        return;
    case K::Abandoned:
        Trace("<-", u.bytes, "incomplete frame, dropped after the gap");
        return;
    case K::Broken:
        Trace("<-", u.bytes, "no ETX after the data");
        break;
    case K::Control: {
        const char* name = ControlName(u.bytes[0]);
        Trace("<-", u.bytes, name ? name : "");
        break;
    }
    case K::Command:
    case K::Block:
        Trace("<-", u.bytes, u.crcOk ? nullptr : "bad CRC");
        break;
    }
    {
        // Recording, carrying out and holding in one step: a test that sees the unit in
        // Received() also sees its reply in Held().
        std::lock_guard lock(mutex_);
        if (u.kind != K::Broken) received_.push_back(u.bytes);
        Reply reply = React(u);
        if (!reply.empty()) (holding_ ? held_ : released_).push_back(std::move(reply));
    }
    receivedCv_.notify_all();
}

// What the camera sends for a unit; runs under the lock, since it drives the model.
CameraSim::Reply CameraSim::React(const RxUnit& u) {
    using K = RxUnit::Kind;
    Reply reply;
    if (u.kind == K::Control) {
        const uint8_t b = u.bytes[0];
        if (b == ENQ) {
            const bool first = !enqSeen_;
            enqSeen_ = true;
            if (first && options_.silentStart)
                Trace("--", {}, "start-up ENQ left unanswered");
            else
                reply.push_back({{ACK}, "ACK"});
        } else if (b == NAK && !lastAnswer_.empty()) {
            reply.push_back({lastAnswer_, "answer repeated"});
        }
        return reply;
    }
    if (!u.crcOk || (u.kind != K::Command && u.kind != K::Block)) {
        reply.push_back({{NAK}, "NAK"});
        return reply;
    }
    std::optional<Payload> answer;
    if (u.kind == K::Command) {
        Payload p{};
        std::copy_n(u.bytes.begin() + 1, p.size(), p.begin());
        answer = model_.Command(p);
    } else {
        answer = model_.Block(u.bytes[1], u.bytes.data() + 2, u.bytes.size() - 5);
    }
    reply.push_back({{ACK}, "ACK"});
    if (answer) AddAnswer(*answer, reply);
    return reply;
}

void CameraSim::AddAnswer(const Payload& answer, Reply& reply) {
    CommandFrame frame = MakeStxFrame(answer.data(), answer.size());
    std::vector<uint8_t> bytes(frame.begin(), frame.end());
    bytes.push_back(options_.trailer);
    lastAnswer_ = bytes;
    const long n = ++answers_;
    auto every = [n](int k) { return k > 0 && n % k == 0; };
    if (every(options_.noiseEvery))
        reply.push_back({std::vector<uint8_t>(std::begin(kNoise), std::end(kNoise)), "noise"});
    if (every(options_.dropEvery)) {
        Trace("--", bytes, "answer dropped");
        return;
    }
    if (every(options_.corruptEvery)) {
        bytes[kCommandFrameSize - 1] ^= 0xFF;
        reply.push_back({bytes, "answer, CRC corrupted"});
        return;
    }
    reply.push_back({bytes, "answer"});
}

// Queues the replies cleared to go, in the order they were cleared.
void CameraSim::SendReleased(Clock::time_point from) {
    std::deque<Reply> ready;
    {
        std::lock_guard lock(mutex_);
        ready.swap(released_);
    }
    for (const Reply& reply : ready)
        for (const Out& out : reply)
            Queue(out.bytes, out.what, from);
}

void CameraSim::Queue(const std::vector<uint8_t>& bytes, const char* what, Clock::time_point from) {
    Trace("->", bytes, what);
    if (txHead_ == tx_.size()) {
        tx_.clear();
        txHead_ = 0;
        // A byte is written when it has fully crossed the line: one byte time after its start.
        nextTx_ = std::max(nextTx_, from + kByteTime);
    }
    tx_.insert(tx_.end(), bytes.begin(), bytes.end());
}

// Writes what is due: everything at once, or with pacing one byte per byte time, each at its
// own absolute time.
void CameraSim::Transmit(Clock::time_point now) {
    while (txHead_ < tx_.size() && !txBlocked_ && now >= lineBackAt_) {
        size_t count = tx_.size() - txHead_;
        if (options_.pace) {
            if (now < nextTx_) return;
            count = 1;
        }
        ssize_t n = write(master_, tx_.data() + txHead_, count);
        if (n < 0) {
            if (errno == EAGAIN)
                txBlocked_ = true;
            else if (errno == EIO)
                lineBackAt_ = now + kHangupPause;
            else if (errno != EINTR)
                std::perror("r8v5mc-sim: write");
            return;
        }
        txHead_ += static_cast<size_t>(n);
        {
            std::lock_guard lock(mutex_);
            sent_ += static_cast<size_t>(n);
        }
        receivedCv_.notify_all();
        if (options_.pace) nextTx_ += kByteTime;
    }
}

void CameraSim::Trace(const char* direction, const std::vector<uint8_t>& bytes,
                      const char* what) const {
    if (!options_.trace) return;
    std::string line;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%10.3f] %s",
                  std::chrono::duration<double>(Clock::now() - started_).count(), direction);
    line = stamp;
    for (uint8_t b : bytes)
        line += ' ' + HexByte(b);
    if (what && *what) line += std::string("  (") + what + ")";
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

} // namespace r8::sim
