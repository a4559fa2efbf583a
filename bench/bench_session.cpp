// SPDX-License-Identifier: MIT
// Page loads and settings copies through the whole session core (termios component, link,
// loader, read decoder, copy engine) on a plain poll loop, against a running simulated camera.
//
//   bench_session --port PATH [--paced] [--loads N] [--copies N] [--copy-only NAME] [--ser2net]
//                 [--relay MS]
//
// Prints rows of the bench/run table: an Easy page load (ten Easy blocks and camera register
// 0x0151, 11 read exchanges; the best of N loads) and a Camera->PC copy (1024 EEPROM word
// reads; the best of N), each beside the wire minimum of 40 byte-times per read exchange at
// 9600 bit/s; and a PC->Camera batch write (the read of word 03FF, the block, the reset; the
// best of N) beside its own wire minimum. --paced says that the camera on PATH paces its line
// (r8v5mc-sim --pace): the efficiency target then applies, and a row shows the exchanges of the
// copy that the machine stalled. --copy-only prints the copy row alone, under NAME. --ser2net
// puts Debian's ser2net between (raw TCP on loopback, without its character delay): the session
// opens socket://127.0.0.1:PORT, ser2net the terminal PATH. --copies 0 leaves the copy out.
// --relay MS puts the simulated camera on TCP behind a relay that delays each direction by MS
// (a camera across a slow network) and prints the Easy page row alone, beside the wire minimum
// plus one round trip per exchange.
#include "Comm.h"
#include "CopyEngine.h"
#include "EasyPage.h"
#include "PollLoop.h"
#include "Relay.h"
#include "Ser2net.h"
#include "Session.h"
#include "Table.h"
#include "TcpBridge.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace r8;
constexpr int kPatienceMs = 120000;
constexpr double kByteMs = 10.0 / 9600.0 * 1e3;
constexpr double kExchangeMs = 40.0 * kByteMs;
// A batch write on the wire: the read of word 03FF (one read exchange); the block, the camera's
// ACK and its answer with the byte after it; the reset and its ACK. Our own ACKs go out while
// the camera sends the byte after its answer.
constexpr double kBatchMs =
    kExchangeMs + (kBlockFrameSize + 1 + kCommandFrameSize + 1 + kCommandFrameSize + 1) * kByteMs;
// Lateness beyond this is a stall of the machine, not the work of an exchange.
constexpr double kStallMs = 2.0;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Front : SessionObserver, CopyReport {
    explicit Front(int shown) : page(shown) {}
    int ActivePage() const override { return page; }
    void Message(const std::string& text, const std::string& caption, int) override {
        std::fprintf(stderr, "message: %s: %s\n", caption.c_str(), text.c_str());
        failed = true;
    }
    void PanelsEnabled(bool on) override { loads += on; }
    void AnswerArrived() override { answers.push_back(Now()); }
    void LinkLost() override { failed = true; }
    // The reset that ends a batch write.
    void ResetAcknowledged() override {
        if (engine) engine->CloseCopyFile();
    }
    void CopyProgress(int, int) override {}
    void CopyDone() override { ++copies; }
    void CopyFailed(const CopyFailure& f) override {
        std::fprintf(stderr, "copy failed: %s %s\n", f.text.c_str(), f.detail.c_str());
        failed = true;
    }

    int page;
    CopyEngine* engine = nullptr;
    std::vector<double> answers; // when each answer came, in seconds
    int loads = 0;
    int copies = 0;
    bool failed = false;
};

// The Easy tab's page.
struct EasyPage : Room {
    PageTable Page() const override { return kEasyPage; }
};

struct Rig {
    explicit Rig(int page) : front(page) {
        loop.OnException = [this](const std::exception& e) {
            std::fprintf(stderr, "exception: %s\n", e.what());
            front.failed = true;
        };
    }
    ~Rig() { session.Close(); }
    bool Run(const std::function<bool()>& done) {
        return loop.RunUntil([&] { return done() || front.failed; }, kPatienceMs) && !front.failed;
    }
    PollLoop loop;
    Front front;
    Session session{loop, front};
};

// Milliseconds per Easy page load: the best of `loads` loads after the one at connection (a
// stall of the machine only ever adds time).
double EasyLoad(int loads) {
    EasyPage page;
    Rig rig(kEasyGroup);
    rig.session.SetRoom(kEasyGroup, &page);
    rig.session.Start();
    if (!rig.Run([&] { return rig.front.loads == 1; })) return -1;
    std::vector<double> ms;
    for (int k = 0; k < loads; ++k) {
        const double t0 = Now();
        rig.session.ReLoadClick();
        if (!rig.Run([&] { return rig.front.loads == k + 2; })) return -1;
        ms.push_back((Now() - t0) * 1e3);
    }
    return *std::min_element(ms.begin(), ms.end());
}

// Exchanges of a copy that took over 2 ms longer than the wire needs, and the time they lost:
// on a paced line these are stalls of the machine (a late timer in the simulated camera, a
// thread kept from its core), which a line that the host does not pace would not see.
struct Stalls {
    int count = 0;
    double lostMs = 0;
};

Stalls StallsOf(const std::vector<double>& answers) {
    Stalls s;
    for (size_t k = 1; k < answers.size(); ++k) {
        const double over = (answers[k] - answers[k - 1]) * 1e3 - kExchangeMs;
        if (over > kStallMs) {
            ++s.count;
            s.lostMs += over;
        }
    }
    return s;
}

struct CopyTime {
    double ms = -1;
    Stalls stalls;
};

// One Camera->PC copy into a file, the best of `copies`.
CopyTime CopyToPc(int copies) {
    Rig rig(kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    rig.session.Start();
    if (!rig.Run([&] { return rig.front.loads == 1; })) return {};
    char dir[] = "/tmp/r8bench-XXXXXX";
    if (!mkdtemp(dir)) return {};
    const std::string file = std::string(dir) + "/camera.dat";
    CopyTime best;
    for (int k = 0; k < copies; ++k) {
        rig.front.answers.clear();
        const double t0 = Now();
        if (!engine.CtopOK2Click(file) || !rig.Run([&] { return rig.front.copies == k + 1; }))
            return {};
        const double ms = (Now() - t0) * 1e3;
        if (best.ms < 0 || ms < best.ms) best = {ms, StallsOf(rig.front.answers)};
    }
    unlink(file.c_str());
    rmdir(dir);
    return best;
}

// One PC->Camera batch write of a whole image, the best of `copies`, in milliseconds.
double BatchWrite(int copies) {
    Rig rig(kCopyGroup);
    CopyEngine engine(
        rig.session, [&](const int32_t* table) { rig.session.Link().SohCommand(table); },
        rig.front);
    rig.session.SetRoom(kCopyGroup, &engine);
    rig.front.engine = &engine;
    rig.session.Start();
    if (!rig.Run([&] { return rig.front.loads == 1; })) return -1;
    WordImage words{};
    for (int k = 0; k < kEepromWords; ++k)
        words[static_cast<size_t>(k)] = (k * 0x9E37 + 0xAB) & 0xFFFF;
    SettingsFile file;
    if (!ParseSettingsText(SettingsFileText(words.data()), file).empty()) return -1;
    double best = -1;
    for (int k = 0; k < copies; ++k) {
        const double t0 = Now();
        if (!engine.ptocOk2Click("bench image", file) ||
            !rig.Run([&] { return rig.front.copies == k + 1; }))
            return -1;
        const double ms = (Now() - t0) * 1e3;
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

// The machine alone: how often a plain 1 ms sleep wakes more than 2 ms late over `seconds`,
// with none of our programs involved. A paced exchange waits on a dozen such wake-ups.
void StallProbe(double seconds) {
    int sleeps = 0, late = 0;
    double worst = 0;
    const double end = Now() + seconds;
    for (double t = Now(); t < end; t = Now()) {
        usleep(1000);
        const double over = (Now() - t) * 1e3 - 1.0;
        ++sleeps;
        late += over > kStallMs;
        worst = std::max(worst, over);
    }
    char measured[32], reference[40];
    std::snprintf(measured, sizeof measured, "%d of %d", late, sleeps);
    std::snprintf(reference, sizeof reference, "worst %.1f ms late", worst);
    bench::Row("Machine: 1 ms sleeps over 2 ms late (10 s)", measured, reference, "", "", "");
}

void Print(const char* what, double ms, double minimum, bool paced) {
    using bench::Fixed;
    const int decimals = ms < 10 ? 3 : ms < 1000 ? 1 : 0;
    const std::string measured = Fixed(ms, decimals, "ms");
    const std::string reference = Fixed(minimum, minimum < 1000 ? 1 : 0, "ms") + " wire min";
    if (paced) {
        const double efficiency = 100.0 * minimum / ms;
        bench::Row(what, measured, reference, Fixed(efficiency, 2, "%"), ">= 99 %",
                   bench::Verdict(efficiency >= 99.0));
    } else {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.4f", ms / minimum);
        bench::Row(what, measured, reference, ratio, "", "");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string port;
    bool paced = false;
    int loads = 100, copies = 3;
    std::string copyOnly; // the copy row alone, under this name
    bool viaSer2net = false;
    int relayMs = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--paced")
            paced = true;
        else if (a == "--loads" && i + 1 < argc)
            loads = std::max(1, std::atoi(argv[++i]));
        else if (a == "--copies" && i + 1 < argc)
            copies = std::max(0, std::atoi(argv[++i]));
        else if (a == "--copy-only" && i + 1 < argc)
            copyOnly = argv[++i];
        else if (a == "--ser2net")
            viaSer2net = true;
        else if (a == "--relay" && i + 1 < argc)
            relayMs = std::max(0, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr,
                         "usage: %s --port PATH [--paced] [--loads N] [--copies N] "
                         "[--copy-only NAME] [--ser2net] [--relay MS]\n",
                         argv[0]);
            return 2;
        }
    }
    if (port.empty()) {
        std::fprintf(stderr, "%s: --port PATH (a running r8v5mc-sim) is needed\n", argv[0]);
        return 2;
    }
    std::unique_ptr<net::test::Ser2net> server;
    if (viaSer2net) {
        const std::string program = net::test::FindSer2net();
        if (program.empty()) {
            std::fprintf(stderr, "%s: ser2net is not installed\n", argv[0]);
            return 1;
        }
        const std::string log = "/tmp/r8bench-ser2net-" + std::to_string(getpid()) + ".log";
        server = std::make_unique<net::test::Ser2net>(program, port, net::test::Ser2net::Mode::Raw,
                                                      "9600n81", log, false);
        const bool started = server->Start();
        if (!started)
            std::fprintf(stderr, "%s: ser2net did not start:\n%s", argv[0], server->Log().c_str());
        unlink(log.c_str());
        unlink((log + ".pid").c_str());
        if (!started) return 1;
        port = server->Url();
    }
    if (relayMs >= 0) {
        sim::TcpBridge bridge(port, "127.0.0.1", 0);
        bridge.Start();
        net::test::Relay relay(bridge.Port(), std::chrono::milliseconds(relayMs));
        SetPortPath(1, relay.Url());
        const double easy = EasyLoad(loads);
        if (easy < 0) return 1;
        const double exchanges = static_cast<double>(std::size(kEasyPage));
        const double minimum = exchanges * (kExchangeMs + 2.0 * relayMs);
        char what[96];
        std::snprintf(what, sizeof what, "Easy page load (best), %s, %d ms relay",
                      paced ? "paced" : "unpaced", relayMs);
        const std::string reference = bench::Fixed(exchanges * kExchangeMs, 1, "ms") + " + " +
                                      std::to_string(static_cast<int>(exchanges)) + " x " +
                                      std::to_string(2 * relayMs) + " ms";
        const double efficiency = 100.0 * minimum / easy;
        bench::Row(what, bench::Fixed(easy, 1, "ms"), reference, bench::Fixed(efficiency, 2, "%"),
                   ">= 97 %", bench::Verdict(efficiency >= 97.0));
        return 0;
    }
    SetPortPath(1, port);
    const char* how = viaSer2net ? (paced ? "paced, ser2net raw" : "unpaced, ser2net raw")
                      : paced    ? "paced 9600 bit/s"
                                 : "unpaced";
    if (!copyOnly.empty()) {
        const CopyTime copy = CopyToPc(copies);
        if (copy.ms < 0) return 1;
        Print(copyOnly.c_str(), copy.ms, kEepromWords * kExchangeMs, paced);
        return 0;
    }

    const double easy = EasyLoad(loads);
    if (easy < 0) return 1;
    Print((std::string("Easy page load (best), ") + how).c_str(), easy,
          static_cast<double>(std::size(kEasyPage)) * kExchangeMs, paced);

    if (copies == 0) return 0;
    if (paced) StallProbe(10);
    const CopyTime copy = CopyToPc(copies);
    if (copy.ms < 0) return 1;
    Print((std::string("Camera->PC copy (1024 exch.), ") + how).c_str(), copy.ms,
          kEepromWords * kExchangeMs, paced);
    if (paced) {
        // How much of the gap to the wire the machine's stalls explain.
        char count[32];
        std::snprintf(count, sizeof count, "%d exch.", copy.stalls.count);
        // Stalls are the exception: were most exchanges late, the lateness would be the tool's.
        const double net = 100.0 * kEepromWords * kExchangeMs / (copy.ms - copy.stalls.lostMs);
        const bool credible = copy.stalls.count < kEepromWords / 4;
        bench::Row("  exchanges stalled > 2 ms; without the stalls", count,
                   bench::Fixed(copy.stalls.lostMs, 0, "ms") + " lost in them",
                   bench::Fixed(net, 2, "%"), ">= 99 %", bench::Verdict(credible && net >= 99.0));
    }
    const double batch = BatchWrite(copies);
    if (batch < 0) return 1;
    Print((std::string("PC->Camera batch write, ") + how).c_str(), batch, kBatchMs, paced);
    return 0;
}
