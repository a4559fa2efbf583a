// SPDX-License-Identifier: MIT
#include "PortProbe.h"

#include "KindTable.h"

#include "Comm.h"
#include "NetAddress.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace r8 {

namespace {

using State = ProbeResult::State;
using Clock = std::chrono::steady_clock;
constexpr uint8_t kEnq = 0x05, kAck = 0x06;

State stateOf(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return State::Missing;
    case EBUSY:
    case EWOULDBLOCK:
        return State::Busy;
    case EACCES:
    case EPERM:
        return State::Denied;
    case ENOTTY:
    case EINVAL:
        return State::NotSerial;
    default:
        return State::Failed;
    }
}

struct Probe {
    int fd = -1;
    termios saved{};
    bool restore = false;
    ProbeResult result;
    bool done = false;
};

// Opened as the serial component opens a port: a port that another program has open
// exclusively or locked is busy and is not touched further.
void open(Probe& p, const std::string& path) {
    const auto fail = [&](int error) {
        p.result = {stateOf(error), OpenFailureText(path, error)};
        p.done = true;
    };
    p.fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (p.fd < 0) return fail(errno);
    if (::flock(p.fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(p.fd, &p.saved) != 0) {
        const int error = errno;
        ::close(p.fd);
        p.fd = -1;
        return fail(error);
    }
    p.restore = true;
    ::ioctl(p.fd, TIOCEXCL);
    termios t = p.saved;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD | CRTSCTS;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(p.fd, TCSANOW, &t);
    ::tcflush(p.fd, TCIOFLUSH);
    int dtr = TIOCM_DTR;
    ::ioctl(p.fd, TIOCMBIS, &dtr);
    if (::write(p.fd, &kEnq, 1) != 1) fail(errno == EAGAIN ? EBUSY : errno);
    p.result = {State::NoAnswer, path + ": no answer to the enquiry."};
}

void close(Probe& p) {
    if (p.fd < 0) return;
    // Nothing left to send may hold the close (a line whose CTS is down).
    ::tcflush(p.fd, TCIOFLUSH);
    if (p.restore) ::tcsetattr(p.fd, TCSANOW, &p.saved);
    ::ioctl(p.fd, TIOCNXCL);
    ::close(p.fd);
    p.fd = -1;
}

std::string configHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

} // namespace

const char* ProbeStateName(State s) {
    static constexpr KindText<State> kNames[] = {
        {State::Answered, "answered"},
        {State::NoAnswer, "no answer"},
        {State::Busy, "busy"},
        {State::Missing, "missing"},
        {State::Denied, "permission"},
        {State::NotSerial, "not a serial port"},
        {State::Network, "network (not probed)"},
    };
    return TextOf(kNames, s, "failed");
}

std::vector<ProbeResult> ProbePorts(const std::vector<std::string>& paths, int timeoutMs,
                                    bool firstOnly) {
    std::vector<Probe> probes(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (IsNetworkName(paths[i])) {
            probes[i].result = {State::Network, paths[i] + ": a network port, not probed."};
            probes[i].done = true;
            continue;
        }
        open(probes[i], paths[i]);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto settled = [&] {
        for (const Probe& p : probes) {
            if (!p.done) return false;
            if (firstOnly && p.result.state == State::Answered) return true;
        }
        return true;
    };
    while (!settled()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        std::vector<pollfd> fds;
        std::vector<size_t> which;
        for (size_t i = 0; i < probes.size(); ++i)
            if (!probes[i].done) {
                fds.push_back({probes[i].fd, POLLIN, 0});
                which.push_back(i);
            }
        const int n = ::poll(fds.data(), fds.size(), static_cast<int>(left));
        if (n < 0 && errno != EINTR) break;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (!fds[k].revents) continue;
            Probe& p = probes[which[k]];
            uint8_t buf[64];
            const ssize_t got = ::read(p.fd, buf, sizeof buf);
            if (got > 0 && std::find(buf, buf + got, kAck) != buf + got) {
                p.result = {State::Answered, paths[which[k]] + ": the camera answered."};
                p.done = true;
            } else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                p.done = true; // hung up: stays without an answer
            } else if (fds[k].revents & (POLLHUP | POLLERR)) {
                p.done = true;
            }
        }
    }
    std::vector<ProbeResult> results;
    for (Probe& p : probes) {
        close(p);
        results.push_back(p.result);
    }
    return results;
}

std::string ToolPortFile() {
    return configHome() + "/r8v5mc/port";
}

std::string RememberedToolPort() {
    std::ifstream in(ToolPortFile());
    std::string line;
    std::getline(in, line);
    return line;
}

bool RememberToolPort(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(ToolPortFile()).parent_path(), ec);
    std::ofstream out(ToolPortFile(), std::ios::trunc);
    out << path << "\n";
    return static_cast<bool>(out.flush());
}

AutoPortSearch::AutoPortSearch(std::string root, int probeMs)
    : root_(std::move(root)), probeMs_(probeMs), remembered_(RememberedToolPort()) {}

std::string AutoPortSearch::Tick() {
    last_ = ListPortCandidates(remembered_, root_, false);
    std::vector<std::string> paths;
    for (const PortCandidate& c : last_)
        paths.push_back(c.path);
    const std::vector<ProbeResult> results = ProbePorts(paths, probeMs_, true);
    std::string found;
    for (size_t i = 0; i < paths.size(); ++i) {
        const ProbeResult& r = results[i];
        auto it = std::find_if(tried_.begin(), tried_.end(),
                               [&](const auto& t) { return t.first == paths[i]; });
        if (it == tried_.end())
            tried_.emplace_back(paths[i], r);
        else
            it->second = r;
        if (r.state == State::Answered) {
            found = paths[i];
            break; // the ports after it were not waited for
        }
        const bool quiet = r.state == State::NoAnswer || r.state == State::Network;
        if (!quiet && std::find(noted_.begin(), noted_.end(), paths[i]) == noted_.end()) {
            noted_.push_back(paths[i]);
            notes_.push_back(r.text);
        }
    }
    return found;
}

std::vector<ProbeResult> AutoPortSearch::Tried() const {
    std::vector<ProbeResult> out;
    for (const auto& t : tried_)
        out.push_back(t.second);
    return out;
}

std::vector<std::string> AutoPortSearch::TakeNotes() {
    std::vector<std::string> out = std::move(notes_);
    notes_.clear();
    return out;
}

std::string AutoPortSearch::DeviceOf(const std::string& path) const {
    for (const PortCandidate& c : last_)
        if (c.path == path && c.device != path) return c.device;
    return {};
}

} // namespace r8
