// SPDX-License-Identifier: MIT
// Read exchanges (EEPROM word reads, each sent with its reply callback as the tools send them)
// through the termios component, the receive state machine and the link rules against the
// simulated camera.
//
//   bench_exchange [N] [--pace] [--port PATH] [--table]
//
// Unpaced it prints the tool's own cost per exchange: the CPU time of the thread that runs the
// link (the window thread in the program) and the wall time per exchange, which also holds the
// simulator's work and the pseudo-terminal's latency. Paced, the simulator moves bytes at
// 9600 bit/s both ways and the wall time per exchange is compared with the physical minimum of
// 40 byte-times (41.7 ms): command 19, ACK 1, answer 19, trailing byte 1.
//
// --port uses the camera already serving PATH (r8v5mc-sim) instead of one in this process, so
// the process CPU time is the tool's alone (link thread and serial watcher). --table, which
// needs --port, runs the tool and a minimal raw termios loop over the same line in turn, eleven
// rounds of N exchanges each, and prints the medians of the rounds' ratios as rows of the
// bench/run table; with --pace (a camera on PATH that paces its line) three rounds, the best.
#include "CameraLink.h"
#include "Comm.h"
#include "Frames.h"
#include "SimPeer.h"
#include "Table.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class BenchHost : public r8::LinkHost {
public:
    void SetStatusText(int, const std::string&) override {}
    void ShowMessage(const std::string& text, const std::string&, int) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        failed = true;
    }
    void SetPageControlEnabled(bool) override {}
    void SetScreenCursor(bool) override {}
    void SetCursorTimerEnabled(bool) override {}
    void SetSendTimerEnabled(bool) override {}
    void CopyProgressToMax() override {}
    void ReLoadClick() override { up = true; }
    void AnswerArrived() override { ++answers; }
    void CloseCopyFile() override {}
    void Terminate() override { failed = true; }

    bool up = false;
    bool failed = false;
    int answers = 0;
};

// Runs the receive side until pred holds; false on a stall of more than ten seconds.
template <typename Pred> bool Pump(r8::TComm& comm, Pred pred) {
    while (!pred()) {
        pollfd p{comm.EventFd(), POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) return false;
        comm.DispatchEvents();
    }
    return true;
}

// Per exchange, in milliseconds.
struct Cost {
    double wall = 0, linkCpu = 0, processCpu = 0;
    bool ok = false;
};

Cost Best(const Cost& a, const Cost& b) {
    if (!a.ok) return b;
    return {std::min(a.wall, b.wall), std::min(a.linkCpu, b.linkCpu),
            std::min(a.processCpu, b.processCpu), true};
}

// n read exchanges through the tool's link on port 1.
Cost RunTool(int n) {
    r8::TComm comm;
    BenchHost host;
    r8::CameraLink link(comm, host);
    link.Trans_Create();
    if (!Pump(comm, [&] { return host.up; })) {
        std::fprintf(stderr, "no answer to the start-up enquiry\n");
        return {};
    }

    // Each read is an exchange with its reply, as the copy and r8v5mc-ctl send them; with
    // nothing in flight it goes out at once, so the queue costs nothing here.
    int replies = 0;
    bool replyOk = true;
    auto sendRead = [&](int k) {
        r8::Request r;
        r.p[0] = 0x31;
        r.p[1] = 0x0C;
        r.p[2] = static_cast<uint8_t>((k >> 8) & 0x03);
        r.p[3] = static_cast<uint8_t>(k & 0xFF);
        r.n = 4;
        link.Submit(r, [&, k](const r8::Reply& reply) {
            ++replies;
            replyOk = replyOk && reply.Ok() && reply.answer[2] == r.p[2] &&
                      reply.answer[3] == static_cast<uint8_t>(k & 0xFF);
        });
    };

    const double wall0 = Now();
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double proc0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int k = 0; k < n; ++k) {
        sendRead(k);
        if (!Pump(comm, [&] { return replies == k + 1 || host.failed; }) || host.failed ||
            !replyOk) {
            std::fprintf(stderr, "exchange %d failed\n", k);
            return {};
        }
    }
    Cost c;
    c.linkCpu = (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) * 1e3 / n;
    c.processCpu = (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - proc0) * 1e3 / n;
    c.wall = (Now() - wall0) * 1e3 / n;
    c.ok = true;
    comm.Close();
    return c;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t w = write(fd, bytes, count);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        bytes += w;
        count -= static_cast<size_t>(w);
    }
    return true;
}

// The reference: the same exchanges as a bare loop on the terminal, no link logic. Writes the
// 19-byte read command, reads the ACK, the 19-byte answer and the trailing byte, writes ACK.
Cost RunRaw(const std::string& path, int n) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        return {};
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    // On a paced line the trailing byte of the tool's last exchange may still be on its way.
    usleep(20000);
    tcflush(fd, TCIOFLUSH);

    // Per exchange the camera sends ACK, the answer frame and a trailing byte. The loop
    // acknowledges once the answer frame is in, as the tool does; the trailing byte is read with
    // the next exchange's reply.
    constexpr size_t kReply = 1 + r8::kCommandFrameSize + 1;
    const uint8_t ack = r8::ACK;
    std::vector<uint8_t> stream(kReply * static_cast<size_t>(n));
    size_t got = 0;
    const auto readUpTo = [&](size_t want) {
        while (got < want) {
            const ssize_t r = read(fd, stream.data() + got, stream.size() - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        return true;
    };
    const double wall0 = Now();
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int k = 0; k < n; ++k) {
        const uint8_t payload[] = {0x31, 0x0C, static_cast<uint8_t>((k >> 8) & 0x03),
                                   static_cast<uint8_t>(k & 0xFF)};
        const r8::CommandFrame frame = r8::MakeStxFrame(payload, sizeof payload);
        if (!WriteAll(fd, frame.data(), frame.size()) ||
            !readUpTo(kReply * static_cast<size_t>(k) + kReply - 1) || !WriteAll(fd, &ack, 1)) {
            std::fprintf(stderr, "raw loop: exchange %d failed\n", k);
            close(fd);
            return {};
        }
    }
    Cost c;
    c.linkCpu = c.processCpu = (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) * 1e3 / n;
    c.wall = (Now() - wall0) * 1e3 / n;
    c.ok = readUpTo(stream.size());
    for (size_t k = 0; c.ok && k < stream.size(); k += kReply)
        c.ok = stream[k] == r8::ACK && stream[k + 1] == r8::STX;
    if (!c.ok) std::fprintf(stderr, "raw loop: unexpected reply\n");
    close(fd);
    return c;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Table(const std::string& path, int n, bool paced) {
    r8::SetPortPath(1, path);
    using bench::Fixed;
    if (paced) {
        Cost tool, raw;
        for (int round = 0; round < 3; ++round) {
            const Cost t = RunTool(n);
            const Cost r = RunRaw(path, n);
            if (!t.ok || !r.ok) return 1;
            tool = Best(tool, t);
            raw = Best(raw, r);
        }
        // What the simulator and the pseudo-terminal allow on a paced line, and the tool's share.
        const double minimumMs = 40.0 * 10.0 / 9600.0 * 1e3;
        bench::Row("Read exchange, paced: raw loop (reference)", Fixed(raw.wall, 3, "ms"),
                   Fixed(minimumMs, 3, "ms") + " wire min",
                   Fixed(100.0 * minimumMs / raw.wall, 2, "%"), "", "");
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.4f", tool.wall / raw.wall);
        const double r = tool.wall / raw.wall;
        bench::Row("Read exchange, paced: the tool's link", Fixed(tool.wall, 3, "ms"),
                   Fixed(raw.wall, 3, "ms") + " raw loop", ratio, "<= 1.05",
                   bench::Verdict(r <= 1.05));
        return 0;
    }

    // The speed of a virtual machine drifts from one second to the next, so each round runs
    // the tool and the raw loop back to back (taking turns at going first) and the figure is
    // the median of the rounds' ratios.
    struct Round {
        Cost tool, raw;
    };
    std::vector<Round> rounds;
    for (int round = 0; round < 11; ++round) {
        Round r;
        if (round % 2 == 0) {
            r.tool = RunTool(n);
            r.raw = RunRaw(path, n);
        } else {
            r.raw = RunRaw(path, n);
            r.tool = RunTool(n);
        }
        if (!r.tool.ok || !r.raw.ok) return 1;
        rounds.push_back(r);
    }
    const auto median = [&](auto of) {
        std::vector<double> v;
        for (const Round& r : rounds)
            v.push_back(of(r));
        return Median(std::move(v));
    };

    // The overhead is the time an exchange takes, what the operator waits for. The CPU rows
    // show where it goes; the raw loop is one thread, its thread CPU is all it costs.
    const auto row = [&](const char* measure, double Cost::*ours, double Cost::*reference,
                         bool target) {
        const double ratio =
            median([&](const Round& r) { return r.tool.*ours / r.raw.*reference; });
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", ratio);
        bench::Row(measure, Fixed(median([&](const Round& r) { return r.tool.*ours; }), 4, "ms"),
                   Fixed(median([&](const Round& r) { return r.raw.*reference; }), 4, "ms") +
                       " raw loop",
                   text, target ? "<= 1.25" : "", target ? bench::Verdict(ratio <= 1.25) : "");
    };
    row("Read exchange, wall time", &Cost::wall, &Cost::wall, true);
    row("Read exchange, CPU of the link thread", &Cost::linkCpu, &Cost::processCpu, false);
    row("Read exchange, CPU of link + watcher threads", &Cost::processCpu, &Cost::processCpu,
        false);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int n = 2000;
    bool pace = false;
    bool table = false;
    std::string port;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pace") == 0)
            pace = true;
        else if (std::strcmp(argv[i], "--table") == 0)
            table = true;
        else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = argv[++i];
        else
            n = std::atoi(argv[i]);
    }
    if (n <= 0) n = 1;
    if (table) {
        if (port.empty()) {
            std::fprintf(stderr, "--table needs --port PATH (a running r8v5mc-sim)\n");
            return 2;
        }
        return Table(port, n, pace);
    }

    std::unique_ptr<r8::sim::CameraSim> camera;
    if (port.empty()) {
        r8::sim::SimOptions options;
        options.pace = pace;
        camera = std::make_unique<r8::sim::CameraSim>(options);
        camera->Start();
        port = camera->SlavePath();
    }
    r8::SetPortPath(1, port);
    const Cost c = RunTool(n);
    if (!c.ok) return 1;

    std::printf("exchanges: %d (%s)\n", n, pace ? "paced at 9600 bit/s" : "unpaced");
    std::printf("wall time per exchange: %.4f ms\n", c.wall);
    std::printf("link thread CPU per exchange: %.4f ms\n", c.linkCpu);
    if (pace) {
        const double minimumMs = 40.0 * 10.0 / 9600.0 * 1e3;
        std::printf("physical minimum per exchange: %.2f ms\n", minimumMs);
        std::printf("wire efficiency: %.2f %%\n", 100.0 * minimumMs / c.wall);
    }
    return 0;
}
