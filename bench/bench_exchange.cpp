// Read exchanges (EEPROM word reads) through the termios component, the receive state machine
// and the link rules against the in-process simulated camera.
//
//   bench_exchange [N] [--pace]
//
// Unpaced it prints the tool's own cost per exchange: the CPU time of the thread that runs the
// link (the window thread in the program) and the wall time per exchange, which also holds the
// simulator's work and the pseudo-terminal's latency. Paced, the simulator moves bytes at
// 9600 bit/s both ways and the wall time per exchange is compared with the physical minimum of
// 40 byte-times (41.7 ms): command 19, ACK 1, answer 19, trailing byte 1.
#include "CameraLink.h"
#include "Comm.h"
#include "SimPeer.h"

#include <poll.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
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

} // namespace

int main(int argc, char** argv) {
    int n = 2000;
    bool pace = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pace") == 0)
            pace = true;
        else
            n = std::atoi(argv[i]);
    }
    if (n <= 0) n = 1;

    r8::sim::SimOptions options;
    options.pace = pace;
    r8::sim::CameraSim camera(options);
    camera.Start();
    r8::SetPortPath(1, camera.SlavePath());

    r8::TComm comm;
    BenchHost host;
    r8::CameraLink link(comm, host);
    link.Trans_Create();
    if (!Pump(comm, [&] { return host.up; })) {
        std::fprintf(stderr, "no answer to the start-up enquiry\n");
        return 1;
    }

    auto sendRead = [&](int k) {
        auto& f = link.SendFrame;
        f[1] = 0x31;
        f[2] = 0x0C;
        f[3] = static_cast<uint8_t>((k >> 8) & 0x03);
        f[4] = static_cast<uint8_t>(k & 0xFF);
        link.StxCommand(f, 4);
    };

    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = ThreadCpuSeconds();
    for (int k = 0; k < n; ++k) {
        sendRead(k);
        if (!Pump(comm, [&] { return host.answers == k + 1 || host.failed; }) || host.failed) {
            std::fprintf(stderr, "exchange %d failed\n", k);
            return 1;
        }
    }
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();

    const double wallMs = wall * 1e3 / n;
    const double cpuMs = cpu * 1e3 / n;
    std::printf("exchanges: %d (%s)\n", n, pace ? "paced at 9600 bit/s" : "unpaced");
    std::printf("wall time per exchange: %.4f ms\n", wallMs);
    std::printf("link thread CPU per exchange: %.4f ms\n", cpuMs);
    if (pace) {
        const double minimumMs = 40.0 * 10.0 / 9600.0 * 1e3;
        std::printf("physical minimum per exchange: %.2f ms\n", minimumMs);
        std::printf("wire efficiency: %.2f %%\n", 100.0 * minimumMs / wallMs);
    }
    comm.Close();
    return 0;
}
