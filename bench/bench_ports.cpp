// SPDX-License-Identifier: MIT
// `r8v5mc-ctl ports` on a machine with 20 serial ports: a scratch scan root with 18 silent
// pseudo-terminals, one that another program holds and one simulated camera, each linked under
// a ttyUSB name. Every port is probed at once, so the command should take about one probe
// time (500 ms) however many ports there are; the target is 2 s.
//
//   bench_ports PATH-OF-r8v5mc-ctl [--runs N]
#include "Comm.h"
#include "PortProbe.h"
#include "SimPeer.h"
#include "Table.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_ports PATH-OF-r8v5mc-ctl [--runs N]\n");
        return 2;
    }
    const std::string ctl = argv[1];
    int runs = 5;
    if (argc > 3 && std::string(argv[2]) == "--runs") runs = std::max(1, std::atoi(argv[3]));

    char pattern[] = "/tmp/r8bench-ports-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::filesystem::path root = pattern;
    std::filesystem::create_directories(root / "dev");
    std::vector<int> masters;
    constexpr int kPorts = 20;
    for (int i = 0; i < kPorts - 1; ++i) {
        const int m = posix_openpt(O_RDWR | O_NOCTTY);
        if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) return 1;
        masters.push_back(m);
        std::filesystem::create_symlink(ptsname(m), root / "dev" / ("ttyUSB" + std::to_string(i)));
    }
    r8::sim::SimOptions o;
    o.linkPath = (root / "dev" / ("ttyUSB" + std::to_string(kPorts - 1))).string();
    r8::sim::CameraSim camera(o);
    camera.Start();
    r8::SetPortPath(9, (root / "dev/ttyUSB7").string());
    r8::TComm program; // another program has one of them
    program.SetPort(9);
    program.Open();

    const std::string command = "R8V5MC_SCAN_ROOT=" + root.string() +
                                " XDG_CONFIG_HOME=" + (root / "config").string() + " '" + ctl +
                                "' ports >/dev/null";
    double worst = 0;
    bool ok = true;
    for (int k = 0; k < runs; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double ms =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() * 1e3;
        ok = ok && status == 0; // the camera answered
        worst = std::max(worst, ms);
    }
    program.Close();
    camera.Stop();
    for (int m : masters)
        close(m);
    std::error_code ec;
    std::filesystem::remove_all(root, ec);

    bench::Row("r8v5mc-ctl ports, 20 ports (worst of " + std::to_string(runs) + ")",
               ok ? bench::Fixed(worst, 0, "ms") : "failed",
               "one probe: " + bench::Fixed(r8::kProbeMs, 0, "ms"),
               bench::Fixed(worst / r8::kProbeMs, 2, "x"), "< 2000 ms",
               bench::Verdict(ok && worst < 2000));
    return 0;
}
