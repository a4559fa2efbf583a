// SPDX-License-Identifier: MIT
// How long an operator's command waits for the line while a window chain keeps it busy: the
// Debug tab's RAM dump runs with "Repeat" on a paced camera, and register reads are asked for
// at moments spread over the dump's exchanges. Each wait is from the handler to the frame's
// write on the port (the traffic trace sees it), beside one read exchange's wire time.
//
//   bench_window --port PATH [--asks N]      (PATH: a running r8v5mc-sim --pace)
#include "Comm.h"
#include "HexText.h"
#include "MainWindow.h"
#include "Table.h"
#include "tabs/DebugTab.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// One read exchange at 9600 bit/s: command 19, ACK 1, answer 19, trailing byte 1.
constexpr double kWireMs = 40 * 10 * 1000.0 / 9600;

bool RunUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    int asks = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--asks" && i + 1 < argc)
            asks = std::max(5, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: %s --port PATH [--asks N]\n", argv[0]);
            return 2;
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "%s: --port PATH (a running r8v5mc-sim --pace) is needed\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    r8::SetPortPath(1, port);
    r8::ui::TFR8V2 w;
    w.FormCreate();
    for (const char* t : {"t", "tm", "tmw", "tmwr"})
        w.pwl->SetText(t);
    const auto idle = [&] {
        return w.Loader().TransStep == 0 && w.Link().LINK_STATUS == 1 && w.Link().AnswerCount < 0;
    };
    if (!RunUntil(idle, 30000)) {
        std::fprintf(stderr, "bench_window: the camera did not answer on %s\n", port.c_str());
        return 1;
    }
    w.PageControl1->setCurrentIndex(r8::kDebugGroup);
    RunUntil(idle, 10000);
    auto& d = *w.Debug;

    // The trace sees each frame as it is written: "... -> STX 31 0A xx ...".
    using Clock = std::chrono::steady_clock;
    std::string awaited;
    Clock::time_point asked{}, sent{};
    bool seen = false;
    int dumpReads = 0;
    const bool verbose = std::getenv("R8_BENCH_VERBOSE") != nullptr;
    const Clock::time_point t0 = Clock::now();
    w.Traffic().AddSink([&](const std::string& line) {
        if (verbose)
            std::fprintf(stderr, "%8.1f %s\n",
                         std::chrono::duration<double, std::milli>(Clock::now() - t0).count(),
                         line.c_str() + 13);
        if (line.find("-> STX 31 0D ") != std::string::npos) ++dumpReads;
        if (!seen && !awaited.empty() && line.find(awaited) != std::string::npos) {
            sent = Clock::now();
            seen = true;
        }
    });

    d.RamRepeat->SetChecked(true);
    d.ramAdr->SetText("EE04"); // the dump from EE00, again and again
    std::vector<double> waits;
    for (int i = 0; i < asks; ++i) {
        // Only the dump on the wire: from the write of its next read, a moment spread over that
        // exchange (its 41.7 ms and a little after).
        const int before = dumpReads;
        RunUntil([&] { return dumpReads > before; }, 5000);
        const int reg = 0x10 + i % 0xB0;
        bool fired = false;
        QTimer::singleShot((i * 17) % 45, [&] {
            awaited = "-> STX 31 0A " + r8::HexByte(static_cast<uint8_t>(reg)) + " ";
            seen = false;
            fired = true;
            asked = Clock::now();
            if (verbose)
                std::fprintf(stderr, "%8.1f ask %s\n",
                             std::chrono::duration<double, std::milli>(asked - t0).count(),
                             awaited.c_str());
            d.DspAdr->SetItemIndex(reg); // DspAdrChange: read the register
        });
        RunUntil([&] { return fired; }, 5000);
        if (!RunUntil([&] { return seen; }, 5000)) {
            std::fprintf(stderr, "bench_window: the register read never went out\n");
            return 1;
        }
        waits.push_back(std::chrono::duration<double, std::milli>(sent - asked).count());
    }
    d.RamRepeat->SetChecked(false);
    RunUntil(idle, 10000);

    std::sort(waits.begin(), waits.end());
    const double median = waits[waits.size() / 2], worst = waits.back();
    const std::string wire = bench::Fixed(kWireMs, 3, "ms") + " one exchange";
    bench::Row("Command asked during a RAM dump, wait (median)", bench::Fixed(median, 1, "ms"),
               wire, bench::Fixed(median / kWireMs, 2, ""), "", "");
    bench::Row("Command asked during a RAM dump, wait (worst)", bench::Fixed(worst, 1, "ms"), wire,
               bench::Fixed(worst / kWireMs, 2, ""), "<= 1.25",
               bench::Verdict(worst <= 1.25 * kWireMs));
    return 0;
}
